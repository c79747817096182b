#pragma once

#include "sums/ChecksumLine.h"
#include "sums/DigestKind.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ovik {

// A file of a checksum list, as the list holds it.
struct ListedFile {
  DigestKind kind;
  std::string_view digest;  // bytes
  std::string_view name;
  std::uint32_t lineNumber;  // 1-based; 0 for a list recorded by Ovik
};

// The files of a checksum list and the numbers of its lines that could not
// be understood, in the list's order. Stored compactly: a list of a million
// lines takes a few dozen bytes per file besides its name.
class ChecksumList {
 public:
  ChecksumList() = default;
  ChecksumList(ChecksumList&&) noexcept = default;
  ChecksumList& operator=(ChecksumList&&) noexcept = default;

  void Add(DigestKind kind, std::string_view digest, std::string_view name, std::uint32_t lineNumber);
  void AddBadLine(std::uint32_t lineNumber) { badLines_.push_back(lineNumber); }
  void Clear();

  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }
  ListedFile operator[](std::size_t index) const;
  const std::vector<std::uint32_t>& BadLines() const { return badLines_; }

 private:
  // Digest bytes, then name bytes, in a block of the arena.
  struct Record {
    const char* bytes;
    std::uint32_t nameSize;
    std::uint32_t lineNumber;
    DigestKind kind;
  };

  char* Allocate(std::size_t size);

  std::deque<Record> records_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockLeft_ = 0;
  char* blockFree_ = nullptr;
  std::vector<std::uint32_t> badLines_;
};

// Splits the bytes of a checksum list into lines as they come and adds each
// to a list. A line longer than any a list of real names holds is bad, and
// only its end is looked for.
class ChecksumListReader {
 public:
  // `listFileName`: may tell whether untagged hashes of 128 digits are
  // SHA-512 or BLAKE2b; `untagged`, when given, is the kind of them all.
  ChecksumListReader(ChecksumList& list, std::string_view listFileName,
                     std::optional<DigestKind> untagged = std::nullopt);

  void Feed(std::string_view bytes);
  // Takes the last line when the list does not end with a line feed.
  void Finish();

  std::uint32_t LinesRead() const { return lineNumber_; }

 private:
  void TakeLine(std::string_view line);

  ChecksumList& list_;
  ChecksumLineParser parser_;
  ChecksumLine scratch_;
  std::string partial_;  // the start of a line whose end has not come yet
  bool overlong_ = false;
  std::uint32_t lineNumber_ = 0;
};

}  // namespace ovik
