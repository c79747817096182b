#pragma once

#include "support/media/FuseMount.h"
#include "support/media/LoopMount.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace ovik::testing {

// How soon a run must answer Abort while a read stalls: within a second, or
// five under a sanitizer, which slows every step.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr std::chrono::seconds kPromptly{5};
#else
inline constexpr std::chrono::seconds kPromptly{1};
#endif

// Where a test can put a folder's content. Loop images (ext4, xfs, btrfs
// writable; squashfs and erofs read-only, like a disc), tmpfs, an overlay
// (the content as its lower layer, the upper one empty), and the test FUSE
// file system through the page cache or with direct_io; FuseDirectIoSync
// also forgoes asynchronous direct reads, as servers on libfuse 2 do.
enum class MediumKind { Tmpfs, Ext4, Xfs, Btrfs, Squashfs, Erofs, Overlay, Fuse, FuseDirectIo, FuseDirectIoSync };

const char* MediumName(MediumKind kind);
inline void PrintTo(MediumKind kind, std::ostream* out) { *out << MediumName(kind); }
bool IsFuse(MediumKind kind);

// Whether the kernel has the file system `type`, once its module is loaded.
bool KernelHasFileSystem(const std::string& type);

// Why this machine cannot provide `kind`; empty when it can.
std::string MediumMissing(MediumKind kind);
// Whether a missing `kind` fails the test rather than skipping it:
// OVIK_REQUIRE_FUSE_TEST for FUSE, OVIK_REQUIRE_LOOP_TEST for the others.
bool MediumRequired(MediumKind kind);

// A copy of `content` on a medium of `kind`, mounted until the object goes
// or TearDown. FUSE media serve `content` itself, with `faultOptions`
// (options of ovik-test-faultfs, names relative to `content`).
class TestMedium {
 public:
  TestMedium(MediumKind kind, const std::string& content, const std::vector<std::string>& faultOptions = {});
  ~TestMedium() { TearDown(); }
  TestMedium(const TestMedium&) = delete;
  TestMedium& operator=(const TestMedium&) = delete;

  // Where the content is.
  std::string root() const { return work_.Path("mnt"); }
  // Why setting the medium up failed; empty when it worked.
  const std::string& error() const { return error_; }
  // Unmounts and removes everything the medium needed; a read stalled in a
  // FUSE medium fails instead of holding it up. Safe to call again.
  void TearDown();

 private:
  void MakeImage(MediumKind kind, const std::string& content);
  void MountMemory(const std::string& content);
  void MountOverlay(const std::string& content);

  TempTree work_;  // declared first, so it is removed after everything is taken down
  std::unique_ptr<LoopMount> loop_;
  std::unique_ptr<FuseMount> fuse_;
  bool mounted_ = false;  // tmpfs or overlay
  std::string error_;
};

}  // namespace ovik::testing

// Skips the test when this machine cannot provide the medium, or fails it
// where the environment requires the medium.
#define OVIK_REQUIRE_MEDIUM(kind)                                                                              \
  do {                                                                                                         \
    const std::string ovikMediumMissing = ::ovik::testing::MediumMissing(kind);                                \
    if (ovikMediumMissing.empty()) break;                                                                      \
    if (::ovik::testing::MediumRequired(kind)) FAIL() << ::ovik::testing::MediumName(kind) << ": " << ovikMediumMissing; \
    GTEST_SKIP() << ::ovik::testing::MediumName(kind) << " medium skipped: " << ovikMediumMissing;            \
  } while (false)
