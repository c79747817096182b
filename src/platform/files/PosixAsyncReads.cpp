#include "platform/files/PosixAsyncReads.h"

#if OVIK_HAVE_LIBURING

#include <fcntl.h>
#include <liburing.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

namespace ovik {
namespace {

constexpr std::uint64_t kInternal = ~std::uint64_t{0};      // a step whose result nobody needs
constexpr std::uint64_t kWakeUp = ~std::uint64_t{0} - 1;    // the wake-up descriptor became readable
constexpr unsigned kStepsPerSlot = 2;                        // the longest chain: open, read

class PosixAsyncReads final : public AsyncReads {
 public:
  PosixAsyncReads(FolderHandles& folders, std::size_t slots) : folders_(folders), slots_(slots) {}
  ~PosixAsyncReads() override {
    if (ready_) io_uring_queue_exit(&ring_);
    for (const Slot& slot : slots_)
      if (slot.fd >= 0) close(slot.fd);
    if (wakeFd_ >= 0) close(wakeFd_);
  }
  PosixAsyncReads(const PosixAsyncReads&) = delete;
  PosixAsyncReads& operator=(const PosixAsyncReads&) = delete;

  bool Start() {
    if (io_uring_queue_init(static_cast<unsigned>(slots_.size()) * kStepsPerSlot + 8, &ring_, 0) < 0) return false;
    ready_ = true;
    if (io_uring_register_files_sparse(&ring_, static_cast<unsigned>(slots_.size())) < 0) return false;
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return false;
    ListenForWakeUps();
    return true;
  }

  void LookAt(int slot, const std::string& path, std::uint64_t tag) override {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (!Locate(s, path)) return Fail(tag);
    io_uring_prep_statx(Next(tag), DirFd(s), s.name.c_str(), 0, STATX_TYPE | STATX_SIZE | STATX_INO, &s.statx);
  }

  const FileFacts& Facts(int slot) const override {
    Slot& s = const_cast<Slot&>(slots_[static_cast<std::size_t>(slot)]);
    s.facts.regular = S_ISREG(s.statx.stx_mode);
    s.facts.id = FileId{makedev(s.statx.stx_dev_major, s.statx.stx_dev_minor), s.statx.stx_ino};
    s.facts.size = static_cast<std::int64_t>(s.statx.stx_size);
    return s.facts;
  }

  void OpenAndRead(int slot, const std::string& path, ReadRole role, std::byte* buffer, std::size_t size,
                   std::uint64_t openTag, std::uint64_t readTag) override {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (!Locate(s, path)) {
      Fail(openTag);
      return Fail(readTag);
    }
    s.medium = role == ReadRole::DestinationMedium;
    if (s.medium) {
      // Writing out and dropping the cached pages wants a descriptor of the
      // process's own; done by this thread once the open completes, the
      // first read follows.
      s.openTag = openTag;
      s.readTag = readTag;
      s.buffer = buffer;
      s.size = size;
      io_uring_prep_openat(Next(MediumOpenTag(slot)), DirFd(s), s.name.c_str(),
                           O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0);
      return;
    }
    // A ring-owned descriptor is never inherited: O_CLOEXEC is not for it.
    // The read is linked, and fails by itself when the open did.
    io_uring_sqe* open = Next(openTag);
    io_uring_prep_openat_direct(open, DirFd(s), s.name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK, 0,
                                static_cast<unsigned>(slot));
    open->flags |= IOSQE_IO_HARDLINK;
    Read(slot, buffer, size, 0, readTag);
  }

  void Read(int slot, std::byte* buffer, std::size_t size, std::int64_t offset, std::uint64_t tag) override {
    const Slot& s = slots_[static_cast<std::size_t>(slot)];
    io_uring_sqe* read = Next(tag);
    io_uring_prep_read(read, s.medium ? s.fd : slot, buffer, static_cast<unsigned>(size),
                       static_cast<std::uint64_t>(offset));
    if (!s.medium) read->flags |= IOSQE_FIXED_FILE;
  }

  void Close(int slot, ReadRole, std::uint64_t tag) override {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s.folder.reset();
    if (!s.medium) return io_uring_prep_close_direct(Next(tag), static_cast<unsigned>(slot));
    // What the read brought into the cache goes.
    posix_fadvise(s.fd, 0, 0, POSIX_FADV_DONTNEED);
    io_uring_prep_close(Next(tag), s.fd);
    s.fd = -1;
    s.medium = false;
  }

  void Collect(std::vector<Completion>& completions, bool wait) override {
    completions.insert(completions.end(), failed_.begin(), failed_.end());
    const bool waitHere = wait && failed_.empty();
    failed_.clear();
    for (;;) {
      const int sent = waitHere ? io_uring_submit_and_wait(&ring_, 1) : io_uring_submit(&ring_);
      if (sent >= 0 || (sent != -EINTR && sent != -EAGAIN && sent != -EBUSY)) break;
    }
    unsigned head;
    unsigned seen = 0;
    io_uring_cqe* cqe;
    io_uring_for_each_cqe(&ring_, head, cqe) {
      ++seen;
      if (cqe->user_data == kInternal) continue;
      if (cqe->user_data == kWakeUp) {
        wakeArmed_ = false;
        continue;
      }
      if (IsMediumOpen(cqe->user_data)) {
        MediumOpened(static_cast<int>(cqe->user_data - kMediumOpenBase), cqe->res, completions);
        continue;
      }
      completions.push_back({cqe->user_data, cqe->res});
    }
    io_uring_cq_advance(&ring_, seen);
    if (!wakeArmed_) {
      eventfd_t count;
      eventfd_read(wakeFd_, &count);
      // Only now: a wake-up whose write was just drained still finds the
      // thread about to look at everything again.
      wakeSent_.exchange(false);
      ListenForWakeUps();
    }
  }

  // One write until the ring has seen it: the thread looks at everything
  // once it wakes, however many times it was woken.
  void Wake() override {
    if (!wakeSent_.exchange(true)) eventfd_write(wakeFd_, 1);
  }

 private:
  struct Slot {
    FolderRef folder;  // the folder of the file, open until its steps are sent
    std::string name;
    struct statx statx {};
    FileFacts facts;
    // A read from the medium: its own descriptor and its first read.
    bool medium = false;
    int fd = -1;
    std::uint64_t openTag = 0;
    std::uint64_t readTag = 0;
    std::byte* buffer = nullptr;
    std::size_t size = 0;
  };

  static constexpr std::uint64_t kMediumOpenBase = std::uint64_t{1} << 62;
  static std::uint64_t MediumOpenTag(int slot) { return kMediumOpenBase + static_cast<std::uint64_t>(slot); }
  static bool IsMediumOpen(std::uint64_t tag) { return tag >= kMediumOpenBase && tag < kWakeUp; }

  // The file's dirty pages are written out and waited for, its cached pages
  // dropped, and only then is its first block asked for: every byte read
  // comes from the device.
  void MediumOpened(int slot, std::int64_t result, std::vector<Completion>& completions) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    completions.push_back({s.openTag, result < 0 ? result : 0});
    if (result < 0) {
      s.medium = false;
      completions.push_back({s.readTag, -ECANCELED});
      return;
    }
    s.fd = static_cast<int>(result);
    sync_file_range(s.fd, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    posix_fadvise(s.fd, 0, 0, POSIX_FADV_DONTNEED);
    Read(slot, s.buffer, s.size, 0, s.readTag);
  }

  bool Locate(Slot& s, const std::string& path) {
    std::string parent;
    s.folder.reset();
    if (!SplitLastComponent(path, parent, s.name)) {
      s.name = path;
      return true;
    }
    int error = 0;
    s.folder = folders_.ForLookups(parent, error);
    lastError_ = error;
    return s.folder != nullptr;
  }

  int DirFd(const Slot& s) const { return s.folder ? s.folder->fd() : AT_FDCWD; }

  // A step that fails before it is sent, reported at the next Collect.
  void Fail(std::uint64_t tag) { failed_.push_back({tag, -static_cast<std::int64_t>(lastError_ ? lastError_ : ENOENT)}); }

  io_uring_sqe* Next(std::uint64_t tag) {
    io_uring_sqe* sqe = io_uring_get_sqe(&ring_);
    while (sqe == nullptr) {
      io_uring_submit(&ring_);
      sqe = io_uring_get_sqe(&ring_);
    }
    io_uring_sqe_set_data64(sqe, tag);
    return sqe;
  }

  void ListenForWakeUps() {
    io_uring_prep_poll_add(Next(kWakeUp), wakeFd_, POLLIN);
    wakeArmed_ = true;
  }

  FolderHandles& folders_;
  std::vector<Slot> slots_;
  io_uring ring_{};
  bool ready_ = false;
  int wakeFd_ = -1;
  bool wakeArmed_ = false;
  std::atomic<bool> wakeSent_{false};
  int lastError_ = 0;
  std::vector<Completion> failed_;
};

}  // namespace

std::unique_ptr<AsyncReads> StartPosixAsyncReads(FolderHandles& folders, std::size_t slots) {
  auto reads = std::make_unique<PosixAsyncReads>(folders, slots);
  if (!reads->Start()) return nullptr;
  return reads;
}

}  // namespace ovik

#else

namespace ovik {

std::unique_ptr<AsyncReads> StartPosixAsyncReads(FolderHandles&, std::size_t) { return nullptr; }

}  // namespace ovik

#endif
