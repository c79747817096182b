#pragma once

#include "Platter.h"
#include "SpinningDrive.h"

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>

namespace ovik::faultfs {

// Serves reads one at a time at the pace of a drive with one head: a read
// waits while the head serves another, and of the reads waiting the one
// nearest to the head goes next. Each read is held for its modelled time
// times `timeScale` (0: counted, never waited for). After every read the
// counts are written to `countsFile`, when given, as one line:
// "reads R bytes B seeks S busy_us U".
class OneHead {
 public:
  OneHead(const DriveModel& model, int backing, double timeScale, const std::string& countsFile);
  ~OneHead();
  OneHead(const OneHead&) = delete;
  OneHead& operator=(const OneHead&) = delete;

  // Returns once the head has read `length` bytes at `offset` of `name`.
  void Read(const std::string& name, std::int64_t offset, std::int64_t length);
  // An inode number that follows where the file's data lies, as a disc's
  // file system numbers its files.
  std::uint64_t InodeOf(const std::string& name);

 private:
  std::list<std::int64_t>::iterator Nearest();
  void WriteCounts();

  std::mutex mutex_;
  std::condition_variable headFree_;
  bool busy_ = false;
  std::list<std::int64_t> waiting_;  // the platter positions of the reads that wait
  SpinningDrive drive_;
  Platter platter_;
  double timeScale_;
  int countsFile_ = -1;
};

}  // namespace ovik::faultfs
