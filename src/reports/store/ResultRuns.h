#pragma once

#include "common/ResultLine.h"
#include "reports/store/DetailCollator.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovik {

// The details lines of a run that prints them at its end, sorted, with a
// memory that does not grow with their number: the lines are gathered a
// few megabytes at a time, each batch sorted and written to a temporary
// file that has no name, and the batches are merged when the lines are
// read. The order is that of SortDetailLines.
class ResultRuns {
 public:
  ResultRuns();
  ~ResultRuns();
  ResultRuns(const ResultRuns&) = delete;
  ResultRuns& operator=(const ResultRuns&) = delete;

  void Append(const ResultLine& line);
  void Clear();
  std::size_t Count() const { return count_; }

  struct Visited {
    const std::string& text;
    ResultKind kind;
    std::string_view note;
  };
  // Calls `visit` with every line in the details order until it returns
  // false; can be called again. Throws when what was written out cannot be
  // read back.
  void ForEach(const std::function<bool(const Visited& line)>& visit);

  // A batch is written out when its lines hold this many bytes.
  static constexpr std::size_t kBatchBytes = std::size_t{2} << 20;

 private:
  struct Entry {
    std::string key;  // the collation key of the text
    std::string text;
    std::string note;
    ResultKind kind;
  };
  struct Run {
    long begin;
    long end;
  };
  class RunReader;

  void SortBatch();
  void WriteBatch();
  static bool Less(const Entry& a, const Entry& b);

  Collator collator_;
  std::vector<Entry> batch_;
  std::size_t batchBytes_ = 0;
  std::size_t count_ = 0;
  std::u16string wide_;
  std::FILE* spill_ = nullptr;
  bool spillFailed_ = false;
  std::vector<Run> runs_;
};

}  // namespace ovik
