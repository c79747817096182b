#pragma once

#include "engine/ReaderPool.h"
#include "sums/DigestKind.h"

#include <atomic>
#include <cstdint>

struct evp_md_ctx_st;

namespace ovik {

// A file's digest of one kind, computed by OpenSSL as the reader takes the
// bytes in. Counts them, so that the comparison can show how far a file it
// does not read itself has come.
class FileDigest final : public StreamDigest {
 public:
  // Throws when OpenSSL cannot compute that kind here.
  explicit FileDigest(DigestKind kind);
  ~FileDigest() override;
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  void Update(const std::byte* data, std::size_t size) override;
  std::string Finish() override;

  // From any thread.
  std::int64_t BytesTaken() const { return bytes_.load(std::memory_order_relaxed); }

 private:
  evp_md_ctx_st* context_ = nullptr;
  std::atomic<std::int64_t> bytes_{0};
};

}  // namespace ovik
