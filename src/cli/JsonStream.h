#pragma once

#include "cli/TransferRate.h"
#include "common/ResultLine.h"
#include "engine/VerifyTotals.h"
#include "platform/Clock.h"
#include "reports/ReportFilter.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace ovik {

class VerifyEngine;

// The version of the stream's fields: it changes when a field changes its
// meaning or goes; fields may be added without it.
inline constexpr int kJsonStreamVersion = 1;

// The result stream of ovik-verify --json: one JSON object per line, a
// "start", the results as they come, a "progress" at most once a second
// and a "summary" last.
class JsonStream {
 public:
  // `checkedBytes` gives the bytes checked so far, the file in hand
  // included.
  JsonStream(std::FILE* out, const VerifyEngine& engine, std::function<std::int64_t()> checkedBytes,
             Clock& clock = SystemClock());

  void Start(const std::string& source, const std::string& destination);
  // A result that `filter` lets through.
  void Result(const ResultLine& line, ReportFilter filter);
  // Writes a progress event when a second has passed since the last one.
  void Progress();
  void Summary(const std::string& status, int exitStatus);
  // A run that could not go on.
  void Failure(const std::string& message, int exitStatus);

 private:
  std::FILE* out_;
  const VerifyEngine& engine_;
  std::function<std::int64_t()> checkedBytes_;
  Clock& clock_;
  TransferRate rate_;
  double lastProgress_;
};

}  // namespace ovik
