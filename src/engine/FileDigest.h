#pragma once

#include "engine/ReaderPool.h"
#include "sums/DigestKind.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct evp_md_ctx_st;

namespace ovik {

// Which of SHA-512 and BLAKE2b-512 the untagged 128-digit hashes of a list
// turned out to be, once a file matched by one of them; shared by the
// digests of one check, on any thread.
class WideDigestChoice {
 public:
  // Sha512OrBlake2b while no file has matched.
  DigestKind Kind() const { return kind_.load(std::memory_order_relaxed); }
  void Settle(DigestKind kind) { kind_.store(kind, std::memory_order_relaxed); }

 private:
  std::atomic<DigestKind> kind_{DigestKind::Sha512OrBlake2b};
};

// A file's digest of one kind, computed by OpenSSL as the reader takes the
// bytes in. Counts them, so that the comparison can show how far a file it
// does not read itself has come.
class FileDigest final : public StreamDigest {
 public:
  // Throws when OpenSSL cannot compute that kind here.
  explicit FileDigest(DigestKind kind);
  // The digest of a listed file whose list gives `listedHex`. For
  // Sha512OrBlake2b both digests are computed, unless `choice` has settled
  // on one (or OpenSSL offers only one); Finish then gives the one that
  // equals the listed digest, and settles `choice` for the files after.
  // Either is a real match: a file whose bytes differ matches neither.
  FileDigest(DigestKind kind, std::string listedHex, std::shared_ptr<WideDigestChoice> choice);
  ~FileDigest() override;
  FileDigest(const FileDigest&) = delete;
  FileDigest& operator=(const FileDigest&) = delete;

  void Update(const std::byte* data, std::size_t size) override;
  std::string Finish() override;

  // From any thread.
  std::int64_t BytesTaken() const { return bytes_.load(std::memory_order_relaxed); }

 private:
  struct Computed {
    DigestKind kind;
    evp_md_ctx_st* context = nullptr;
  };
  void Start(DigestKind kind);

  Computed computed_[2];
  int count_ = 0;
  std::string listedHex_;
  std::shared_ptr<WideDigestChoice> choice_;
  std::atomic<std::int64_t> bytes_{0};
};

}  // namespace ovik
