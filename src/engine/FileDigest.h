#pragma once

#include "engine/PairReader.h"
#include "sums/DigestKind.h"

#include <string>

struct evp_md_ctx_st;

namespace ovik {

// A file's digest of one kind, computed by OpenSSL as the reader takes the
// bytes in.
class FileDigest final : public StreamDigest {
 public:
  // Throws when OpenSSL cannot compute that kind here.
  explicit FileDigest(DigestKind kind);
  ~FileDigest() override;
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  void Update(const std::byte* data, std::size_t size) override;
  std::string Finish() override;

 private:
  evp_md_ctx_st* context_ = nullptr;
};

}  // namespace ovik
