// The root of an ext4 file system holds its own lost+found, which only root
// may read: it is passed over as a system folder, while a folder of that
// name anywhere else is an ordinary one.

#include "support/EngineHarness.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace ovik {
namespace {

using testing::TempTree;
using testing::VerifyAsNobody;
using Lines = std::vector<std::string>;

// Runs a shell command with the system folders on the search path; true
// when it succeeds. Its output goes to `output`.
bool Run(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen(("PATH=\"$PATH:/usr/sbin:/sbin\"; " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  char chunk[4096];
  for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Why this machine cannot mount an image, or empty when it can.
std::string MissingRequirement() {
  std::string ignored;
  if (geteuid() != 0) return "needs root to mount a loop device";
  if (access("/dev/loop-control", F_OK) != 0) return "this machine has no loop devices (/dev/loop-control)";
  if (!Run("command -v mkfs.ext4", ignored)) return "needs mkfs.ext4";
  return {};
}

// A fresh ext4 image mounted through a loop device for as long as it lives;
// unmounting lets the loop device go.
class MountedImage {
 public:
  MountedImage(const std::string& image, const std::string& mountPoint) : mountPoint_(mountPoint) {
    if (truncate(image.c_str(), 32 << 20) != 0) error_ = "cannot size the image";
    else if (!Run("mkfs.ext4 -q -F '" + image + "'", error_)) error_ = "mkfs.ext4 failed: " + error_;
    else if (!Run("mount -o loop '" + image + "' '" + mountPoint + "'", error_)) error_ = "mount failed: " + error_;
    else mounted_ = true;
  }
  ~MountedImage() {
    if (!mounted_) return;
    // A probe of the new device may keep it busy for a moment.
    for (int attempt = 0; attempt < 50 && umount2(mountPoint_.c_str(), 0) != 0; ++attempt)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  MountedImage(const MountedImage&) = delete;
  MountedImage& operator=(const MountedImage&) = delete;

  const std::string& error() const { return error_; }

 private:
  std::string mountPoint_;
  std::string error_;
  bool mounted_ = false;
};

std::uint32_t AttributesOf(const std::string& folder, const std::string& name) {
  std::vector<DirEntry> entries;
  int error = 0;
  SystemFileSystem().ListEntries(folder, FileSizes::Read, entries, error);
  for (const DirEntry& entry : entries)
    if (entry.name == name) return entry.attributes;
  return 0;
}

TEST(VolumeRoot, ItsLostAndFoundIsASystemFolderOtherwiseOrdinary) {
  // CI sets OVIK_REQUIRE_LOOP_TEST so that a machine without loop devices
  // fails there instead of passing with the test skipped.
  const std::string missing = MissingRequirement();
  if (!missing.empty() && std::getenv("OVIK_REQUIRE_LOOP_TEST") != nullptr) FAIL() << missing;
  if (!missing.empty()) GTEST_SKIP() << "loop-device test skipped: " << missing;

  TempTree tree;  // declared first, so it goes after the image is unmounted
  tree.MakeFolder("volume");
  tree.WriteFile("volume.img", "");
  MountedImage mounted(tree.Path("volume.img"), tree.Path("volume"));
  ASSERT_EQ(mounted.error(), "");
  for (const char* side : {"volume/", "copy/"}) {
    tree.WriteFile(std::string(side) + "a", "1");
    tree.WriteFile(std::string(side) + "sub/lost+found/b", "2");
  }
  tree.WriteFile("volume/.trash/c", "3");
  for (const char* folder : {"", "copy", "copy/sub", "copy/sub/lost+found"})
    ASSERT_EQ(chmod(tree.Path(folder).c_str(), 0755), 0) << folder;

  EXPECT_EQ(AttributesOf(tree.Path("volume"), "lost+found"), faDirectory | faSysFile);
  EXPECT_EQ(AttributesOf(tree.Path("volume/sub"), "lost+found"), faDirectory);

  // An ordinary user may not read the file system's lost+found; it is no error.
  EXPECT_EQ(VerifyAsNobody(tree.Path("volume"), tree.Path("copy")),
            (Lines{"Hidden folder skipped: .trash/", "Ok: a", "Ok: sub/lost+found/b",
                   "System folder skipped: lost+found/", "Verified OK"}));

  // On request it is walked like any other folder.
  testing::RecordingView view;
  VerifyEngine engine(view);
  engine.includeHidden = true;
  engine.VerifyCommand(tree.Path("volume"), tree.Path("copy"));
  EXPECT_EQ(view.lines, (Lines{"!Destn file missing: .trash/c", "Folder missing in destination: lost+found/", "Ok: a",
                               "Ok: sub/lost+found/b"}));
  EXPECT_EQ(engine.totals.SrcFolderCount, 4) << "lost+found, .trash, sub and sub/lost+found";
}

}  // namespace
}  // namespace ovik
