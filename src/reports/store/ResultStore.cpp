#include "reports/store/ResultStore.h"

#include <algorithm>
#include <cstring>

namespace ovik {
namespace {

template <typename Value>
const Value* FindByLine(const std::vector<std::pair<ResultStore::Line, Value>>& entries, ResultStore::Line line) {
  const auto at = std::lower_bound(entries.begin(), entries.end(), line,
                                   [](const auto& entry, ResultStore::Line wanted) { return entry.first < wanted; });
  return at != entries.end() && at->first == line ? &at->second : nullptr;
}

// The length of ResultPrefix(kind, offset), without making it.
std::size_t PrefixLength(ResultKind kind, std::int64_t offset) {
  if (kind != ResultKind::ContentMismatch) {
    static const auto lengths = [] {
      std::vector<std::size_t> all;
      for (int k = 0; k <= static_cast<int>(ResultKind::FolderMissing); ++k)
        all.push_back(ResultPrefix(static_cast<ResultKind>(k)).size());
      return all;
    }();
    return lengths[static_cast<std::size_t>(kind)];
  }
  std::size_t digits = 1;
  for (std::int64_t rest = offset; rest >= 10; rest /= 10) ++digits;
  return std::strlen(kPrefixContentMismatch) + digits + (digits - 1) / 3;
}

}  // namespace

void ResultStore::Append(const ResultLine& line) {
  const std::size_t split = line.name.rfind('/');
  const std::size_t nameStart = split == std::string_view::npos ? 0 : split + 1;
  const auto row = static_cast<Line>(kinds_.size());
  kinds_.push_back(static_cast<std::uint8_t>(line.kind));
  folders_.push_back(FolderId(line.name.substr(0, nameStart)));
  names_.push_back(KeepName(line.name.substr(nameStart)));
  if (line.kind == ResultKind::ContentMismatch) offsets_.emplace_back(row, line.offset);
  if (!line.note.empty()) {
    notes_.emplace_back(row, std::make_pair(noteBytes_.size(), line.note.size()));
    noteBytes_.append(line.note);
  }
}

void ResultStore::Clear() { *this = ResultStore(); }

std::uint32_t ResultStore::FolderId(std::string_view folder) {
  // The files of one folder mostly come one after the other.
  if (!folderNames_.empty() && folderNames_[lastFolder_] == folder) return lastFolder_;
  const auto [at, added] = folderIds_.try_emplace(std::string(folder), static_cast<std::uint32_t>(folderNames_.size()));
  if (added) folderNames_.emplace_back(at->first);
  lastFolder_ = at->second;
  return lastFolder_;
}

std::uint64_t ResultStore::KeepName(std::string_view name) {
  if (name.empty()) return 0;
  if (name.size() >= kBlockBytes) {
    oversize_.emplace_back(name);
    return (static_cast<std::uint64_t>(oversize_.size() - 1) << kLengthBits) | kOversize;
  }
  if (blockUsed_ + name.size() > kBlockBytes) {
    blocks_.push_back(std::make_unique<char[]>(kBlockBytes));
    blockUsed_ = 0;
  }
  const std::uint64_t place = (blocks_.size() - 1) * kBlockBytes + blockUsed_;
  std::memcpy(blocks_.back().get() + blockUsed_, name.data(), name.size());
  blockUsed_ += name.size();
  return (place << kLengthBits) | name.size();
}

std::string_view ResultStore::Name(Line line) const {
  const std::uint64_t ref = names_[line];
  const std::uint64_t length = ref & kOversize;
  const std::uint64_t place = ref >> kLengthBits;
  if (length == kOversize) return oversize_[place];
  if (length == 0) return {};
  return {blocks_[place / kBlockBytes].get() + place % kBlockBytes, length};
}

std::int64_t ResultStore::Offset(Line line) const {
  if (Kind(line) != ResultKind::ContentMismatch) return 0;
  const std::int64_t* offset = FindByLine(offsets_, line);
  return offset != nullptr ? *offset : 0;
}

std::string_view ResultStore::Note(Line line) const {
  const auto* note = FindByLine(notes_, line);
  if (note == nullptr) return {};
  return std::string_view(noteBytes_).substr(note->first, note->second);
}

void ResultStore::Text(Line line, std::string& out) const {
  out = ResultPrefix(Kind(line), Offset(line));
  out.append(": ").append(Folder(FolderOf(line))).append(Name(line));
}

std::string ResultStore::Text(Line line) const {
  std::string text;
  Text(line, text);
  return text;
}

std::size_t ResultStore::TextLength(Line line) const {
  return PrefixLength(Kind(line), Offset(line)) + 2 + Folder(FolderOf(line)).size() + Name(line).size();
}

std::string ResultStore::GroupText(Line line) const { return ResultPrefix(Kind(line), Offset(line)) + ": "; }

}  // namespace ovik
