#include "engine/VerifyEngine.h"

#include "common/NumberFormat.h"
#include "common/PathUtils.h"

#include <algorithm>

namespace ovik {
namespace {

bool IsSubFolder(const DirEntry& entry) {
  return (entry.attributes & faDirectory) != 0 && entry.name != "." && entry.name != "..";
}

}  // namespace

bool VerifyEngine::IsOnWalkedPath(const FileId& id) const {
  return std::find(walkedPath_.begin(), walkedPath_.end(), id) != walkedPath_.end();
}

void VerifyEngine::ScanSource(const std::string& folder) {
  view_.Pump();
  if (AbortRequested) return;

  DirEntry entry;
  if (auto folders = fileSystem_.List(folder, kFoldersFilter)) {
    while (folders->Next(entry)) {
      // A sub-folder reached again through a symbolic link above it would
      // never end; it is skipped.
      if (IsSubFolder(entry) && !IsOnWalkedPath(entry.id)) {
        ++totals.SrcFolderCount;
        WriteCount(ViewLabel::NumSrcFolders, totals.SrcFolderCount);
        walkedPath_.push_back(entry.id);
        ScanSource(JoinPath(folder, entry.name));
        walkedPath_.pop_back();
      }
      if (AbortRequested) break;
    }
  }
  if (AbortRequested) return;

  if (auto files = fileSystem_.List(folder, kFilesFilter)) {
    while (files->Next(entry)) {
      ++totals.SrcFileCount;
      WriteCount(ViewLabel::NumSrcFiles, totals.SrcFileCount);
      totals.SrcByteTotal += entry.size;
      WriteCount(ViewLabel::NumSrcBytes, totals.SrcByteTotal);
      if (AbortRequested) break;
    }
  }
}

void VerifyEngine::VerifyFolder(const std::string& srcFolder, const std::string& dstFolder) {
  view_.Pump();
  if (AbortRequested) return;

  DirEntry entry;
  if (auto folders = fileSystem_.List(srcFolder, kFoldersFilter)) {
    while (folders->Next(entry)) {
      if (IsSubFolder(entry) && !IsOnWalkedPath(entry.id)) {
        const std::string dstSub = JoinPath(dstFolder, entry.name);
        if (PathExists(dstSub)) {
          ++totals.DstFolderCount;
          WriteCount(ViewLabel::NumDstFolders, totals.DstFolderCount);
        }
        walkedPath_.push_back(entry.id);
        VerifyFolder(JoinPath(srcFolder, entry.name), dstSub);
        walkedPath_.pop_back();
      }
      if (AbortRequested) break;
    }
  }
  if (AbortRequested) return;

  if (auto files = fileSystem_.List(srcFolder, kFilesFilter)) {
    while (files->Next(entry)) {
      CompareFile(JoinPath(srcFolder, entry.name), JoinPath(dstFolder, entry.name), entry.size);
      if (AbortRequested) break;
    }
  }
}

bool VerifyEngine::PathExists(const std::string& path) {
  return fileSystem_.FindEntry(path, kAnythingFilter).has_value();
}

}  // namespace ovik
