#pragma once

#include "common/ResultLine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ovik {

// The results of a run, a few bytes a line: the kind, the folder by its
// number (every folder's bytes are kept once, shared by its files) and a
// reference to the rest of the name in blocks of bytes. The offset of a
// content mismatch and a line's note are kept aside, for the few lines that
// have them. The text of a line is made when it is asked for.
class ResultStore {
 public:
  using Line = std::uint32_t;

  void Append(const ResultLine& line);
  void Clear();

  std::size_t Count() const { return kinds_.size(); }
  ResultKind Kind(Line line) const { return static_cast<ResultKind>(kinds_[line]); }
  std::uint32_t FolderOf(Line line) const { return folders_[line]; }
  std::size_t FolderCount() const { return folderNames_.size(); }
  // The part of the relative name up to and with its last "/"; empty at
  // the root.
  std::string_view Folder(std::uint32_t folder) const { return folderNames_[folder]; }
  // The rest of the relative name.
  std::string_view Name(Line line) const;
  std::int64_t Offset(Line line) const;
  // Empty for a line without a note.
  std::string_view Note(Line line) const;
  bool HasNotes() const { return !notes_.empty(); }

  // The line's text, prefix + ": " + relative name, made into `out`.
  void Text(Line line, std::string& out) const;
  std::string Text(Line line) const;
  std::size_t TextLength(Line line) const;
  // The prefix + ": ", the part every line of one group shares.
  std::string GroupText(Line line) const;

 private:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
  static constexpr std::uint64_t kLengthBits = 24;
  static constexpr std::uint64_t kOversize = (std::uint64_t{1} << kLengthBits) - 1;

  std::uint32_t FolderId(std::string_view folder);
  std::uint64_t KeepName(std::string_view name);

  std::vector<std::uint8_t> kinds_;
  std::vector<std::uint32_t> folders_;
  // Where a name lies: its place in the blocks (high bits) and its length
  // (low kLengthBits bits); a name too long for a block is kept whole in
  // oversize_, by its number.
  std::vector<std::uint64_t> names_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = kBlockBytes;
  std::vector<std::string> oversize_;

  // The nodes of the map do not move, so the views stay good.
  std::unordered_map<std::string, std::uint32_t> folderIds_;
  std::vector<std::string_view> folderNames_;
  std::uint32_t lastFolder_ = 0;

  // In line order: the lines that have an offset or a note.
  std::vector<std::pair<Line, std::int64_t>> offsets_;
  std::vector<std::pair<Line, std::pair<std::size_t, std::size_t>>> notes_;
  std::string noteBytes_;
};

}  // namespace ovik
