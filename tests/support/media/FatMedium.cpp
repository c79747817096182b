#include "support/media/FatMedium.h"

#include "support/media/MountNamespace.h"
#include "support/SystemCommands.h"
#include "support/media/TestMedia.h"

#include <unistd.h>

#include <filesystem>

namespace ovik::testing {

namespace {

struct FatFacts {
  const char* name;
  const char* kernelType;
  const char* makeTool;
  const char* fuseTool;
};

const FatFacts& Facts(FatKind kind) {
  static const FatFacts facts[] = {
      {"fat32", "vfat", "mkfs.vfat", "fusefat"},
      {"exfat", "exfat", "mkfs.exfat", "mount.exfat-fuse"},
  };
  return facts[static_cast<std::size_t>(kind)];
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

const char* FatName(FatKind kind) { return Facts(kind).name; }

std::string FatMissing(FatKind kind) {
  if (geteuid() != 0) return "needs root to mount it";
  if (access("/dev/loop-control", F_OK) != 0) return "this machine has no loop devices (/dev/loop-control)";
  for (const char* tool : {"losetup", Facts(kind).makeTool})
    if (!ToolExists(tool)) return std::string("needs ") + tool;
  if (KernelHasFileSystem(Facts(kind).kernelType)) return {};
  if (!ToolExists(Facts(kind).fuseTool))
    return std::string("the kernel has no ") + Facts(kind).kernelType + " file system and " + Facts(kind).fuseTool +
           " is missing";
  if (access("/dev/fuse", R_OK | W_OK) != 0) return "this machine has no /dev/fuse";
  return {};
}

FatMedium::FatMedium(FatKind kind) {
  UsePrivateMounts();
  work_.MakeFolder("mnt");
  const std::string image = work_.Path("medium.img");
  work_.WriteFile("medium.img", "");
  std::filesystem::resize_file(image, 64u << 20);
  const CommandResult made = RunCommand(std::string(Facts(kind).makeTool) + (kind == FatKind::Fat32 ? " -F 32 " : " ") +
                                        Quoted(image));
  if (made.status != 0) {
    error_ = std::string(Facts(kind).makeTool) + " failed: " + made.output;
    return;
  }
  if (KernelHasFileSystem(Facts(kind).kernelType)) {
    loop_ = std::make_unique<LoopMount>(image, root(), Facts(kind).kernelType, false);
    error_ = loop_->error();
  } else {
    MountByFuse(kind, image);
  }
}

// The FUSE driver of FAT32 reads the image itself; that of exFAT wants a
// block device, which goes once the driver lets go of it.
void FatMedium::MountByFuse(FatKind kind, const std::string& image) {
  std::string device = image;
  if (kind == FatKind::Exfat) {
    const CommandResult attach = RunCommand("losetup --find --show " + Quoted(image));
    if (attach.status != 0 || attach.output.rfind("/dev/", 0) != 0) {
      error_ = "losetup failed: " + attach.output;
      return;
    }
    device = Trimmed(attach.output);
  }
  const std::string options = kind == FatKind::Fat32 ? " -o rw+ " : " ";
  const CommandResult mounted = RunCommand(std::string(Facts(kind).fuseTool) + options + Quoted(device) + " " + Quoted(root()));
  if (kind == FatKind::Exfat) RunCommand("losetup -d " + Quoted(device));
  if (mounted.status != 0) {
    error_ = std::string(Facts(kind).fuseTool) + " failed: " + mounted.output;
    return;
  }
  fuseMounted_ = true;
}

FatMedium::~FatMedium() {
  loop_.reset();
  if (fuseMounted_) UnmountPatiently(root());
}

}  // namespace ovik::testing
