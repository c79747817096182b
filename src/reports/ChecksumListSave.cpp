#include "reports/ChecksumListSave.h"

#include "platform/files/ReplacingFile.h"

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

int WriteLines(ReplacingFile& file, const ChecksumList& list) {
  for (const std::size_t index : ByName(list)) {
    const ListedFile listed = list[index];
    std::string line = FormatChecksumLine(ToHex(listed.digest), listed.name);
    line += '\n';
    if (const int code = file.Write(line); code != 0) return code;
  }
  return file.Flush();
}

}  // namespace

bool SaveChecksumList(const std::string& path, const ChecksumList& list, const FileFailureHandler& onFailure) {
  ReplacingFile file;
  if (const int code = file.Create(path); code != 0) {
    onFailure({code, FileAction::Creating});
    return false;
  }
  if (const int code = WriteLines(file, list); code != 0) {
    onFailure({code, FileAction::Writing});
    return false;
  }
  if (const int code = file.Replace(); code != 0) {
    onFailure({code, FileAction::Replacing});
    return false;
  }
  return true;
}

}  // namespace ovik
