#pragma once

#include <string>

namespace ovik {

// Keeps the computer from going to sleep while the object lives; the
// screen may still blank and lock. `why` says what is going on, for the
// system's list of the programs that hold sleep off. Where the system
// offers no such hold (no system bus, no login manager, no permission) the
// object holds nothing, in silence, and takes at most a few hundred
// milliseconds to find that out.
class PowerInhibit {
 public:
  explicit PowerInhibit(const std::string& why);
  ~PowerInhibit();
  PowerInhibit(const PowerInhibit&) = delete;
  PowerInhibit& operator=(const PowerInhibit&) = delete;

  bool held() const { return lock_ >= 0; }

 private:
  int lock_ = -1;
};

// The reason a run gives for holding sleep off, naming its folders:
// «Verifying /media/usb/backup against /home/ann/Archive», or for a
// checksum list «Checking /media/usb/backup against /media/usb/backup/SHA256SUMS».
std::string RunSleepReason(const std::string& source, const std::string& destination, bool checkingList);

}  // namespace ovik
