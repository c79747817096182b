#include "platform/files/NameRules.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace ovik {

namespace {

constexpr unsigned long kNtfsMagic = 0x5346544e;  // "NTFS", of the ntfs and ntfs3 drivers

// The type that the file system's magic number tells; empty where the
// mount table has to tell (FUSE) or nothing is known of it.
std::string TypeOfMagic(unsigned long magic) {
  switch (magic) {
    case MSDOS_SUPER_MAGIC: return "vfat";
    case EXFAT_SUPER_MAGIC: return "exfat";
    case kNtfsMagic: return "ntfs3";
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC: return "cifs";
    default: return {};
  }
}

std::string FileText(const char* path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  if (!in) return text;
  if (limit == 0) return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  text.resize(limit);
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

// A FUSE driver of a block device that gives no subtype is known by the
// boot sector of its device.
std::string TypeOfMount(const MountTableEntry& mount) {
  if (mount.type == "fuseblk" && mount.source.starts_with("/dev/"))
    if (std::string type = FileSystemOfBootSector(FileText(mount.source.c_str(), 512)); !type.empty()) return type;
  return mount.type;
}

bool IsCaseFolded(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  const bool folded = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
  close(fd);
  return folded;
}

std::string ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

NameRules DescribeNamesOf(const std::string& folder) {
  std::string path = folder.empty() ? "/" : folder;
  struct stat st {};
  while (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    const std::string parent = ParentFolder(path);
    if (parent == path) return {};
    path = parent;
  }

  const MountTableEntry mount =
      FindMountOfDevice(FileText("/proc/self/mountinfo", 0), major(st.st_dev), minor(st.st_dev));
  struct statfs fs {};
  std::string type = statfs(path.c_str(), &fs) == 0 ? TypeOfMagic(static_cast<unsigned long>(fs.f_type)) : "";
  if (type.empty()) type = TypeOfMount(mount);
  NameRules rules = RulesOfFileSystem(type, mount.options);

  if (IsCaseFolded(path)) {
    if (rules.fileSystem.empty()) rules.fileSystem = type;
    rules.fileSystem += ", case-folded folder";
    rules.ignoresCase = true;
    rules.ignoresUnicodeForm = true;
  }
  return rules;
}

}  // namespace ovik
