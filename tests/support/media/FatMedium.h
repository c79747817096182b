#pragma once

#include "support/media/LoopMount.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

namespace ovik::testing {

// The file systems of USB sticks and memory cards, as Windows writes them.
enum class FatKind { Fat32, Exfat };

const char* FatName(FatKind kind);
inline void PrintTo(FatKind kind, std::ostream* out) { *out << FatName(kind); }

// Why this machine cannot mount an image of `kind`, by the kernel's driver
// or else by a FUSE driver; empty when it can.
std::string FatMissing(FatKind kind);

// A new, empty image of `kind` on a loop device, mounted by the kernel's
// driver where the kernel has one and by the FUSE driver otherwise, until
// the object goes.
class FatMedium {
 public:
  explicit FatMedium(FatKind kind);
  ~FatMedium();
  FatMedium(const FatMedium&) = delete;
  FatMedium& operator=(const FatMedium&) = delete;

  std::string root() const { return work_.Path("mnt"); }
  // Why setting it up failed; empty when it worked.
  const std::string& error() const { return error_; }

 private:
  void MountByFuse(FatKind kind, const std::string& image);

  TempTree work_;
  std::unique_ptr<LoopMount> loop_;
  bool fuseMounted_ = false;
  std::string error_;
};

}  // namespace ovik::testing

// Skips the test when this machine cannot mount the image, or fails it
// where OVIK_REQUIRE_LOOP_TEST is set.
#define OVIK_REQUIRE_FAT(kind)                                                                           \
  do {                                                                                                   \
    const std::string ovikFatMissing = ::ovik::testing::FatMissing(kind);                                \
    if (ovikFatMissing.empty()) break;                                                                   \
    if (std::getenv("OVIK_REQUIRE_LOOP_TEST") != nullptr) FAIL() << ::ovik::testing::FatName(kind) << ": " << ovikFatMissing; \
    GTEST_SKIP() << ::ovik::testing::FatName(kind) << ": " << ovikFatMissing;                            \
  } while (false)
