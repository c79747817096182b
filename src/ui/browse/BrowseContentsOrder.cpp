#include "ui/browse/BrowseContentsOrder.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace ovik {

namespace {

constexpr std::array kProgramExtensions = {".exe", ".com", ".bat", ".pif"};

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool ListedBefore(const ContentsEntry& a, const ContentsEntry& b) {
  if (a.isFolder != b.isFolder) return a.isFolder;
  const std::string la = Lowered(a.name);
  const std::string lb = Lowered(b.name);
  if (la != lb) return la < lb;
  return a.name < b.name;
}

}  // namespace

std::string ContentsText(const ContentsEntry& entry) { return entry.isFolder ? "[" + entry.name + "]" : entry.name; }

bool LooksExecutable(const ContentsEntry& entry) {
  if (entry.isFolder) return false;
  if (entry.isExecutable) return true;
  const std::string name = Lowered(entry.name);
  return std::any_of(kProgramExtensions.begin(), kProgramExtensions.end(),
                     [&](const char* extension) { return EndsWith(name, extension); });
}

void SortForContentsList(std::vector<ContentsEntry>& entries) {
  std::sort(entries.begin(), entries.end(), ListedBefore);
}

}  // namespace ovik
