#pragma once

#include "platform/files/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ovik {

// A source file and its destination twin as the comparison meets them: the
// two opens, the existence test of a destination that could not be opened,
// and their blocks, in the order the comparison asks for them. What is done
// with them stays with the comparison.
class FilePair {
 public:
  virtual ~FilePair() = default;
  // True when the file opened; its identity in `id`, and for the source its
  // length when it was opened in `size`.
  virtual bool OpenSource(FileId& id, std::int64_t& size) = 0;
  virtual bool OpenDestination(FileId& id) = 0;
  // The entry of the destination's path, asked after its open failed.
  virtual EntryLookup LookUpDestination() = 0;
  // The next block of up to `blockSize` bytes (fewer only at the end), in
  // `data` until the next call. -1 with the error number on failure.
  virtual std::int64_t ReadSourceBlock(const std::byte*& data, int& error) = 0;
  virtual std::int64_t ReadDestinationBlock(const std::byte*& data, int& error) = 0;
};

// A pair read straight from the file system when the comparison asks,
// into two buffers of `blockSize` bytes that the caller owns.
class DirectFilePair final : public FilePair {
 public:
  DirectFilePair(FileSystem& fileSystem, const std::string& srcPath, const std::string& dstPath,
                 ReadRole dstRole, std::byte* srcBuffer, std::byte* dstBuffer, std::size_t blockSize);

  bool OpenSource(FileId& id, std::int64_t& size) override;
  bool OpenDestination(FileId& id) override;
  EntryLookup LookUpDestination() override { return fileSystem_.LookUp(dstPath_); }
  std::int64_t ReadSourceBlock(const std::byte*& data, int& error) override;
  std::int64_t ReadDestinationBlock(const std::byte*& data, int& error) override;

 private:
  FileSystem& fileSystem_;
  const std::string& srcPath_;
  const std::string& dstPath_;
  ReadRole dstRole_;
  std::byte* srcBuffer_;
  std::byte* dstBuffer_;
  std::size_t blockSize_;
  std::unique_ptr<ReadableFile> src_;
  std::unique_ptr<ReadableFile> dst_;
};

}  // namespace ovik
