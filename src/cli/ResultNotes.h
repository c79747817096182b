#pragma once

#include "common/ResultLine.h"

#include <cstdio>
#include <string>
#include <unordered_map>

namespace ovik {

// The notes of the result lines, kept by the line's text, so that each can
// be printed under its line once the lines are sorted.
class ResultNotes {
 public:
  void Keep(const ResultLine& line);
  // Each line of the note of `line`, indented, with control characters
  // escaped; nothing when it has none.
  void Print(std::FILE* out, const std::string& line) const;

 private:
  std::unordered_map<std::string, std::string> notes_;
};

}  // namespace ovik
