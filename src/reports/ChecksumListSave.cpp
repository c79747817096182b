#include "reports/ChecksumListSave.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace ovik {
namespace {

std::vector<std::size_t> ByName(const ChecksumList& list) {
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return list[a].name < list[b].name; });
  return order;
}

int WriteLines(OutputFile& file, const ChecksumList& list) {
  for (const std::size_t index : ByName(list)) {
    const ListedFile listed = list[index];
    std::string line = FormatChecksumLine(ToHex(listed.digest), listed.name);
    line += '\n';
    if (const int code = file.Write(line); code != 0) return code;
  }
  return 0;
}

}  // namespace

bool SaveChecksumList(const std::string& path, const ChecksumList& list, const FileFailureHandler& onFailure) {
  return SaveOutput(path, [&](OutputFile& file) { return WriteLines(file, list); }, onFailure);
}

}  // namespace ovik
