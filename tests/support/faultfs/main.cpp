// A read-only FUSE file system over a backing folder that injects faults:
// failing reads and opens, reads, opens, stats and listings that stall,
// slow or short reads and a drive that is pulled out after a number of
// reads; it can note what it served, and serve reads at the pace of one
// spinning head. Tests start it as a child process.

#define FUSE_USE_VERSION 35

#include "FaultOptions.h"
#include "OneHead.h"
#include "SortedListing.h"

#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace ovik::faultfs {
namespace {

FaultOptions options;
int backingFolder = -1;
std::atomic<std::int64_t> readsDone{0};
int logFile = -1;
std::mutex stallsMutex;
std::set<std::string> refusedOpens;  // names whose open failed by injection
std::set<std::string> lookedUp;      // stalled-stat names whose first lookup was served
std::unique_ptr<OneHead> head;       // with --spin

// The name below the backing folder; "." for its root.
const char* Relative(const char* path) { return path[1] == '\0' ? "." : path + 1; }

// Notes the operation and its result (0, a byte count or minus the error
// number) in the log, one line each: "OPERATION RESULT NAME".
int Logged(const char* operation, const char* path, int result) {
  if (logFile >= 0) {
    const std::string line = std::string(operation) + " " + std::to_string(result) + " " + Relative(path) + "\n";
    (void)!write(logFile, line.data(), line.size());
  }
  return result;
}

bool Pulled() { return options.readsBeforePull && readsDone.load() >= *options.readsBeforePull; }

bool Covers(off_t offset, std::size_t size, std::int64_t byte) {
  return byte >= offset && byte < offset + static_cast<std::int64_t>(size);
}

int ReadFaultError(const std::string& name, off_t offset, std::size_t size) {
  const auto [first, last] = options.failedReads.equal_range(name);
  for (auto it = first; it != last; ++it)
    if (Covers(offset, size, it->second.offset)) return it->second.error;
  return 0;
}

bool Stalls(const std::string& name, off_t offset, std::size_t size) {
  const auto [first, last] = options.stalledReads.equal_range(name);
  for (auto it = first; it != last; ++it)
    if (Covers(offset, size, it->second)) return true;
  return false;
}

// A stalled call ends only when the kernel interrupts it, as a call to a
// network share whose server went away ends when its process is killed.
int StallUntilInterrupted() {
  while (!fuse_interrupted()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return -EINTR;
}

// The first stat of a name is the lookup that makes it known, and is
// served: a lookup that stalled would hold up every other lookup in its
// folder. Of a name whose open is to fail, the stats stall only after that
// open, so that the stat which tests for the file's existence is held up.
bool StatStalls(const std::string& name) {
  if (!options.stalledStats.contains(name)) return false;
  std::lock_guard lock(stallsMutex);
  if (lookedUp.insert(name).second) return false;
  return !options.failedOpens.contains(name) || refusedOpens.contains(name);
}

void* Init(fuse_conn_info* connection, fuse_config* config) {
  if (!options.asyncDirectIo) connection->want &= ~FUSE_CAP_ASYNC_DIO;
  config->use_ino = 1;
  config->intr = 1;
  // Names and attributes stay cached as a disk's would: what was looked at
  // before a drive is pulled out needs no request afterwards, and neither
  // does reading to the end of a file whose length is known.
  config->entry_timeout = 86400;
  config->attr_timeout = 86400;
  config->negative_timeout = 0;
  // A stat that is to stall must reach this server whenever it is made.
  if (!options.stalledStats.empty()) config->attr_timeout = 0;
  config->direct_io = options.directIo ? 1 : 0;
  return nullptr;
}

int GetAttr(const char* path, struct stat* attributes, fuse_file_info*) {
  if (Pulled()) return Logged("getattr", path, -EIO);
  if (StatStalls(Relative(path))) return Logged("getattr", path, StallUntilInterrupted());
  if (fstatat(backingFolder, Relative(path), attributes, AT_SYMLINK_NOFOLLOW) != 0) return Logged("getattr", path, -errno);
  if (head && S_ISREG(attributes->st_mode)) attributes->st_ino = head->InodeOf(Relative(path));
  return Logged("getattr", path, 0);
}

int ReadLink(const char* path, char* buffer, std::size_t size) {
  if (Pulled()) return -EIO;
  const ssize_t length = readlinkat(backingFolder, Relative(path), buffer, size - 1);
  if (length < 0) return -errno;
  buffer[length] = '\0';
  return 0;
}

int OpenFile(const char* path, fuse_file_info* info) {
  if (Pulled()) return -EIO;
  if ((info->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
  if (options.stalledOpens.contains(Relative(path))) return StallUntilInterrupted();
  if (const auto late = options.lateOpens.find(Relative(path)); late != options.lateOpens.end())
    std::this_thread::sleep_for(std::chrono::milliseconds(late->second));
  const auto failure = options.failedOpens.find(Relative(path));
  if (failure != options.failedOpens.end()) {
    std::lock_guard lock(stallsMutex);
    refusedOpens.insert(failure->first);
    return -failure->second;
  }
  const int file = openat(backingFolder, Relative(path), O_RDONLY | O_CLOEXEC);
  if (file < 0) return -errno;
  info->fh = static_cast<std::uint64_t>(file);
  return 0;
}

int Open(const char* path, fuse_file_info* info) { return Logged("open", path, OpenFile(path, info)); }

int ReadFile(const char* path, char* buffer, std::size_t size, off_t offset, fuse_file_info* info) {
  if (options.slowReadMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(options.slowReadMs));
  const std::int64_t done = readsDone.fetch_add(1);
  if (options.readsBeforePull && done >= *options.readsBeforePull) return -EIO;
  const std::string name = Relative(path);
  if (Stalls(name, offset, size)) return StallUntilInterrupted();
  if (const int error = ReadFaultError(name, offset, size)) return -error;
  if (options.readPiece > 0) size = std::min(size, static_cast<std::size_t>(options.readPiece));
  const ssize_t count = pread(static_cast<int>(info->fh), buffer, size, offset);
  if (count < 0) return -errno;
  if (head) head->Read(name, offset, count);
  return static_cast<int>(count);
}

int Read(const char* path, char* buffer, std::size_t size, off_t offset, fuse_file_info* info) {
  return Logged("read", path, ReadFile(path, buffer, size, offset, info));
}

int Release(const char*, fuse_file_info* info) {
  close(static_cast<int>(info->fh));
  return 0;
}

bool Fill(void* buffer, fuse_fill_dir_t fill, const char* name, ino_t inode, unsigned char type) {
  struct stat attributes {};
  attributes.st_ino = inode;
  attributes.st_mode = static_cast<mode_t>(DTTOIF(type));
  return fill(buffer, name, &attributes, 0, static_cast<fuse_fill_dir_flags>(0)) == 0;
}

// A drive's folders list in name order, as a disc's do.
int ReadDirInNameOrder(const char* path, void* buffer, fuse_fill_dir_t fill) {
  const int folder = openat(backingFolder, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return -errno;
  const std::vector<ListedEntry> entries = SortedListing(folder);
  close(folder);
  if (!Fill(buffer, fill, ".", 0, DT_DIR) || !Fill(buffer, fill, "..", 0, DT_DIR)) return 0;
  for (const ListedEntry& entry : entries)
    if (!Fill(buffer, fill, entry.name.c_str(), entry.inode, entry.type)) break;
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) {
  if (Pulled()) return Logged("readdir", path, -EIO);
  if (options.stalledListings.contains(Relative(path))) return StallUntilInterrupted();
  if (head) return ReadDirInNameOrder(path, buffer, fill);
  const int folder = openat(backingFolder, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return -errno;
  DIR* listing = fdopendir(folder);
  if (listing == nullptr) {
    const int error = errno;
    close(folder);
    return -error;
  }
  while (const dirent* entry = readdir(listing))
    if (!Fill(buffer, fill, entry->d_name, entry->d_ino, entry->d_type)) break;
  closedir(listing);
  return 0;
}

int StatFs(const char*, struct statvfs* facts) {
  if (Pulled()) return -EIO;
  return fstatvfs(backingFolder, facts) == 0 ? 0 : -errno;
}

}  // namespace
}  // namespace ovik::faultfs

int main(int argc, char* argv[]) {
  using namespace ovik::faultfs;
  // A test that dies takes its file system with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  // The library wakes the thread serving an interrupted call with SIGUSR1,
  // but installs no handler when interrupts are turned on in Init: without
  // one, the first interrupt would end this process.
  struct sigaction wake {};
  wake.sa_handler = [](int) {};
  sigaction(SIGUSR1, &wake, nullptr);
  std::string error;
  const std::optional<FaultOptions> parsed = ParseFaultOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!parsed) {
    std::fprintf(stderr, "ovik-test-faultfs: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  options = *parsed;
  if (!options.logFile.empty()) {
    logFile = open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (logFile < 0) {
      std::perror(options.logFile.c_str());
      return 1;
    }
  }
  backingFolder = open(options.backing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (backingFolder < 0) {
    std::perror(options.backing.c_str());
    return 1;
  }
  if (!options.spin.empty())
    head = std::make_unique<OneHead>(*NamedDriveModel(options.spin), backingFolder, options.spinTimeScale,
                                     options.spinCounts);

  fuse_operations operations{};
  operations.init = Init;
  operations.getattr = GetAttr;
  operations.readlink = ReadLink;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;
  operations.readdir = ReadDir;
  operations.statfs = StatFs;

  std::string program = argv[0];
  std::string foreground = "-f";
  std::string dashO = "-o";
  std::string mountOptions = "ro,fsname=ovik-test-faultfs,subtype=ovik-test-faultfs";
  std::vector<char*> fuseArguments{program.data(), foreground.data(), dashO.data(), mountOptions.data(),
                                   options.mountPoint.data()};
  return fuse_main(static_cast<int>(fuseArguments.size()), fuseArguments.data(), &operations, nullptr);
}
