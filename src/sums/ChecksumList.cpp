#include "sums/ChecksumList.h"

#include <algorithm>
#include <cstring>

namespace ovik {
namespace {

constexpr std::size_t kArenaBlock = 1 << 20;
// Twice the longest path, escaped, and a tag and a hash besides.
constexpr std::size_t kLongestLine = 32 * 1024;

}  // namespace

char* ChecksumList::Allocate(std::size_t size) {
  if (size > blockLeft_) {
    const std::size_t blockSize = std::max(size, kArenaBlock);
    blocks_.push_back(std::make_unique<char[]>(blockSize));
    blockFree_ = blocks_.back().get();
    blockLeft_ = blockSize;
  }
  char* place = blockFree_;
  blockFree_ += size;
  blockLeft_ -= size;
  return place;
}

void ChecksumList::Add(DigestKind kind, std::string_view digest, std::string_view name, std::uint32_t lineNumber) {
  char* bytes = Allocate(digest.size() + name.size());
  std::memcpy(bytes, digest.data(), digest.size());
  std::memcpy(bytes + digest.size(), name.data(), name.size());
  records_.push_back({bytes, static_cast<std::uint32_t>(name.size()), lineNumber, kind});
}

void ChecksumList::Clear() { *this = ChecksumList(); }

ListedFile ChecksumList::operator[](std::size_t index) const {
  const Record& record = records_[index];
  const std::size_t digestSize = DigestBytes(record.kind);
  return {record.kind, {record.bytes, digestSize}, {record.bytes + digestSize, record.nameSize}, record.lineNumber};
}

ChecksumListReader::ChecksumListReader(ChecksumList& list, std::string_view listFileName,
                                       std::optional<DigestKind> untagged)
    : list_(list), parser_(NamingOfList(listFileName), untagged) {}

void ChecksumListReader::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!overlong_ && partial_.size() + piece.size() > kLongestLine) {
      overlong_ = true;
      partial_.clear();
    }
    if (end == std::string_view::npos) {
      if (!overlong_) partial_.append(piece);
      return;
    }
    if (overlong_ || partial_.empty()) {
      TakeLine(piece);
    } else {
      partial_.append(piece);
      TakeLine(partial_);
      partial_.clear();
    }
    bytes.remove_prefix(end + 1);
  }
}

void ChecksumListReader::Finish() {
  if (!partial_.empty() || overlong_) TakeLine(partial_);
  partial_.clear();
}

void ChecksumListReader::TakeLine(std::string_view line) {
  ++lineNumber_;
  if (overlong_) {
    overlong_ = false;
    list_.AddBadLine(lineNumber_);
    return;
  }
  switch (parser_.Parse(line, scratch_)) {
    case LineVerdict::Entry: list_.Add(scratch_.kind, scratch_.digest, scratch_.name, lineNumber_); break;
    case LineVerdict::Bad: list_.AddBadLine(lineNumber_); break;
    case LineVerdict::Skipped: break;
  }
}

}  // namespace ovik
