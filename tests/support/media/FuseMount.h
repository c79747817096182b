#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ovik::testing {

// The path of the test FUSE file system's program; empty when it was not built.
std::string FaultFsProgram();

// One operation that ovik-test-faultfs served, from the file it writes with --log.
struct FaultFsOperation {
  std::string operation;  // "getattr", "open", "read" or "readdir"
  long long result;       // 0, a byte count or minus the error number
  std::string name;       // relative to the backing folder
};

std::vector<FaultFsOperation> ReadFaultFsLog(const std::string& logFile);

// `backing` served at `mountPoint` by ovik-test-faultfs with `options`, its
// messages in `logFile`. Taking it down never waits for the file system:
// a read stalled in it fails instead. The daemon ends with the thread that
// made the mount.
class FuseMount {
 public:
  FuseMount(const std::string& backing, const std::string& mountPoint, const std::vector<std::string>& options,
            const std::string& logFile);
  ~FuseMount() { TearDown(); }
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;

  // Why the file system did not come up; empty when it did.
  const std::string& error() const { return error_; }
  // Aborts the connection, detaches the mount, kills and reaps the daemon.
  void TearDown();

 private:
  bool WaitForMount(const std::string& logFile);

  std::string mountPoint_;
  std::string connection_;  // the connection's folder under /sys/fs/fuse/connections
  pid_t daemon_ = -1;
  bool mounted_ = false;
  std::string error_;
};

}  // namespace ovik::testing
