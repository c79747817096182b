#include "engine/FilePair.h"

namespace ovik {

DirectFilePair::DirectFilePair(FileSystem& fileSystem, const std::string& srcPath, const std::string& dstPath,
                               ReadRole dstRole, std::byte* srcBuffer, std::byte* dstBuffer, std::size_t blockSize)
    : fileSystem_(fileSystem),
      srcPath_(srcPath),
      dstPath_(dstPath),
      dstRole_(dstRole),
      srcBuffer_(srcBuffer),
      dstBuffer_(dstBuffer),
      blockSize_(blockSize) {}

bool DirectFilePair::OpenSource(FileId& id, std::int64_t& size) {
  OpenResult opened = fileSystem_.OpenForRead(srcPath_, ReadRole::Source);
  src_ = std::move(opened.file);
  id = opened.id;
  size = opened.size;
  return src_ != nullptr;
}

bool DirectFilePair::OpenDestination(FileId& id) {
  OpenResult opened = fileSystem_.OpenForRead(dstPath_, dstRole_);
  dst_ = std::move(opened.file);
  id = opened.id;
  return dst_ != nullptr;
}

std::int64_t DirectFilePair::ReadSourceBlock(const std::byte*& data, int& error) {
  data = srcBuffer_;
  return src_->ReadBlock(srcBuffer_, blockSize_, error);
}

std::int64_t DirectFilePair::ReadDestinationBlock(const std::byte*& data, int& error) {
  data = dstBuffer_;
  return dst_->ReadBlock(dstBuffer_, blockSize_, error);
}

}  // namespace ovik
