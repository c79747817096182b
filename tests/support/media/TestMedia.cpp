#include "support/media/TestMedia.h"

#include "support/media/MountNamespace.h"
#include "support/SystemCommands.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ovik::testing {

namespace fs = std::filesystem;

namespace {

struct KindFacts {
  const char* name;
  const char* type;  // the kernel's name of the file system
  const char* tool;  // what makes its image; null when it needs none
  std::uintmax_t imageBytes;
};

// btrfs takes no device under 114,294,784 bytes; images are sparse, so only
// what the file system writes takes room.
const KindFacts& Facts(MediumKind kind) {
  static const KindFacts facts[] = {
      {"tmpfs", "tmpfs", nullptr, 0},
      {"ext4", "ext4", "mkfs.ext4", 16u << 20},
      {"xfs", "xfs", "mkfs.xfs", 16u << 20},
      {"btrfs", "btrfs", "mkfs.btrfs", 112u << 20},
      {"squashfs", "squashfs", "mksquashfs", 0},
      {"erofs", "erofs", "mkfs.erofs", 0},
      {"overlay", "overlay", nullptr, 0},
      {"fuse", "fuse", nullptr, 0},
      {"fuse_direct_io", "fuse", nullptr, 0},
      {"fuse_direct_io_sync", "fuse", nullptr, 0},
  };
  return facts[static_cast<std::size_t>(kind)];
}

bool IsLoopImage(MediumKind kind) { return Facts(kind).tool != nullptr; }
bool IsReadOnlyImage(MediumKind kind) { return kind == MediumKind::Squashfs || kind == MediumKind::Erofs; }

bool KernelListsFileSystem(const std::string& type) {
  std::ifstream list("/proc/filesystems");
  for (std::string line; std::getline(list, line);)
    if (line.size() > type.size() && line.compare(line.size() - type.size() - 1, std::string::npos, "\t" + type) == 0)
      return true;
  return false;
}

std::string MakeImageCommand(MediumKind kind, const std::string& image, const std::string& content) {
  switch (kind) {
    case MediumKind::Ext4: return "mkfs.ext4 -q -F " + Quoted(image);
    // mkfs.xfs refuses file systems under 300 MB unless it runs under the
    // file-system test suite, which these variables tell it.
    case MediumKind::Xfs: return "TEST_DIR=1 TEST_DEV=1 QA_CHECK_FS=1 mkfs.xfs -q -f " + Quoted(image);
    case MediumKind::Btrfs: return "mkfs.btrfs -q -f " + Quoted(image);
    case MediumKind::Squashfs: return "mksquashfs " + Quoted(content) + " " + Quoted(image) + " -noappend -quiet -no-progress";
    case MediumKind::Erofs: return "mkfs.erofs --quiet " + Quoted(image) + " " + Quoted(content);
    default: return {};
  }
}

std::vector<std::string> FuseOptions(MediumKind kind, const std::vector<std::string>& faultOptions) {
  std::vector<std::string> options;
  if (kind == MediumKind::FuseDirectIo || kind == MediumKind::FuseDirectIoSync) options.push_back("--direct-io");
  if (kind == MediumKind::FuseDirectIoSync) options.push_back("--no-async-dio");
  options.insert(options.end(), faultOptions.begin(), faultOptions.end());
  return options;
}

}  // namespace

bool KernelHasFileSystem(const std::string& type) {
  if (KernelListsFileSystem(type)) return true;
  RunCommand("modprobe -q " + Quoted(type));
  return KernelListsFileSystem(type);
}

const char* MediumName(MediumKind kind) { return Facts(kind).name; }

bool IsFuse(MediumKind kind) { return std::strcmp(Facts(kind).type, "fuse") == 0; }

std::string MediumMissing(MediumKind kind) {
  if (geteuid() != 0) return "needs root to mount it";
  if (IsFuse(kind)) {
    if (FaultFsProgram().empty()) return "ovik-test-faultfs was not built (libfuse3-dev is missing)";
    if (access("/dev/fuse", R_OK | W_OK) != 0) return "this machine has no /dev/fuse";
  }
  if (IsLoopImage(kind)) {
    if (access("/dev/loop-control", F_OK) != 0) return "this machine has no loop devices (/dev/loop-control)";
    for (const char* tool : {"losetup", Facts(kind).tool})
      if (!ToolExists(tool)) return std::string("needs ") + tool;
  }
  if (!KernelHasFileSystem(Facts(kind).type)) return std::string("the kernel has no ") + Facts(kind).type + " file system";
  return {};
}

bool MediumRequired(MediumKind kind) {
  return std::getenv(IsFuse(kind) ? "OVIK_REQUIRE_FUSE_TEST" : "OVIK_REQUIRE_LOOP_TEST") != nullptr;
}

TestMedium::TestMedium(MediumKind kind, const std::string& content, const std::vector<std::string>& faultOptions) {
  UsePrivateMounts();
  work_.MakeFolder("mnt");
  try {
    if (IsFuse(kind)) {
      fuse_ = std::make_unique<FuseMount>(content, root(), FuseOptions(kind, faultOptions), work_.Path("faultfs.log"));
      error_ = fuse_->error();
    } else if (IsLoopImage(kind)) {
      MakeImage(kind, content);
    } else if (kind == MediumKind::Tmpfs) {
      MountMemory(content);
    } else {
      MountOverlay(content);
    }
  } catch (const std::exception& problem) {
    error_ = std::string("copying the content failed: ") + problem.what();
  }
}

void TestMedium::MakeImage(MediumKind kind, const std::string& content) {
  const std::string image = work_.Path("medium.img");
  if (!IsReadOnlyImage(kind)) {
    work_.WriteFile("medium.img", "");
    fs::resize_file(image, Facts(kind).imageBytes);
  }
  const CommandResult made = RunCommand(MakeImageCommand(kind, image, content));
  if (made.status != 0) {
    error_ = std::string(Facts(kind).tool) + " failed: " + made.output;
    return;
  }
  loop_ = std::make_unique<LoopMount>(image, root(), Facts(kind).type, IsReadOnlyImage(kind));
  error_ = loop_->error();
  if (!error_.empty() || IsReadOnlyImage(kind)) return;
  // The medium holds the content and nothing else.
  fs::remove(fs::path(root()) / "lost+found");
  fs::copy(content, root(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void TestMedium::MountMemory(const std::string& content) {
  if (mount("ovik-test", root().c_str(), "tmpfs", 0, "size=64m,mode=0755") != 0) {
    error_ = std::string("mounting tmpfs failed: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
  fs::copy(content, root(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void TestMedium::MountOverlay(const std::string& content) {
  work_.MakeFolder("upper");
  work_.MakeFolder("work");
  const std::string options =
      "lowerdir=" + content + ",upperdir=" + work_.Path("upper") + ",workdir=" + work_.Path("work");
  if (mount("overlay", root().c_str(), "overlay", 0, options.c_str()) != 0) {
    error_ = std::string("mounting the overlay failed: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

void TestMedium::TearDown() {
  fuse_.reset();
  loop_.reset();
  if (mounted_) UnmountPatiently(root());
  mounted_ = false;
}

}  // namespace ovik::testing
