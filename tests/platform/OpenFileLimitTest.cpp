#include "platform/OpenFileLimit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace ovik {
namespace {

// The size of this process's table of open files, as the kernel says.
std::size_t DescriptorTableSize() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("FDSize:", 0) == 0) return std::stoul(line.substr(7));
  return 0;
}

// A table that grows while readers open a batch holds every one of them up.
TEST(OpenFileLimit, TheTableHoldsABatchOfFilesFromTheStart) {
  if (DescriptorTableSize() == 0) GTEST_SKIP() << "/proc/self/status gives no FDSize";
  RaiseOpenFileLimit();
  EXPECT_GE(OpenFilesAllowed(), 1024u);
  EXPECT_GE(DescriptorTableSize(), std::min<std::size_t>(OpenFilesAllowed(), 16384));
}

}  // namespace
}  // namespace ovik
