#pragma once

#include <string>

namespace ovik::testing {

// Unmounts `mountPoint`, waiting a while for whoever keeps it busy, and
// detaches it lazily when that does not end.
void UnmountPatiently(const std::string& mountPoint);

// A file-system image attached to a loop device and mounted. Whatever was
// set up is taken down when the object goes, also when a test fails half way.
class LoopMount {
 public:
  LoopMount(const std::string& image, const std::string& mountPoint, const std::string& type, bool readOnly,
            bool directIo = false);
  ~LoopMount() { TearDown(); }
  LoopMount(const LoopMount&) = delete;
  LoopMount& operator=(const LoopMount&) = delete;

  // Why attaching or mounting failed; empty when both worked.
  const std::string& error() const { return error_; }
  // True when the loop device reads its image with direct I/O.
  bool UsesDirectIo() const;
  // Unmounts (lazily when the file system stays busy) and detaches the device.
  void TearDown();

 private:
  std::string mountPoint_;
  std::string device_;
  std::string error_;
  bool mounted_ = false;
};

}  // namespace ovik::testing
