#include "cli/ResultNotes.h"

#include "reports/EscapedText.h"

#include <string_view>

namespace ovik {

void ResultNotes::Keep(const ResultLine& line) {
  if (!line.note.empty()) notes_[ResultText(line)] = std::string(line.note);
}

void ResultNotes::Print(std::FILE* out, const std::string& line) const {
  const auto found = notes_.find(line);
  if (found == notes_.end()) return;
  std::string_view rest = found->second;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string text = "    " + EscapedLine(std::string(rest.substr(0, end))) + "\n";
    std::fwrite(text.data(), 1, text.size(), out);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
}

}  // namespace ovik
