#pragma once

#include "engine/reading/PairReader.h"
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
  // The digest of a listed file whose list gives `listedHex`. For
  // Sha512OrBlake2b both digests are computed (one where OpenSSL offers
  // only one); Finish then gives the one that equals the listed digest.
  // Either is a real match: a file whose bytes differ matches neither.
  FileDigest(DigestKind kind, std::string listedHex);
  ~FileDigest() override;
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  void Update(const std::byte* data, std::size_t size) override;
  std::string Finish() override;
  std::optional<DigestKind> KindGiven() const override { return kindGiven_; }

 private:
  struct Computed {
    DigestKind kind;
    evp_md_ctx_st* context = nullptr;
  };
  void Start(DigestKind kind);

  Computed computed_[2];
  int count_ = 0;
  std::string listedHex_;
  std::optional<DigestKind> kindGiven_;
};

}  // namespace ovik
