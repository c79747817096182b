#include "platform/Environment.h"
#include "platform/ProcessLock.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace ovik {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name), saved_(GetEnvironmentValue(name)) {
    setenv(name, value.c_str(), 1);
  }
  ~ScopedVariable() {
    if (saved_) setenv(name_, saved_->c_str(), 1);
    else unsetenv(name_);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

TEST(ProcessLock, HeldInTheRuntimeFolderForTheLifeOfTheObject) {
  testing::TempTree tree;
  ScopedVariable runtime("XDG_RUNTIME_DIR", tree.root() + "/");
  const std::string path = tree.Path("Ovik-Test");
  {
    ProcessLock lock("Ovik-Test");
    EXPECT_EQ(lock.path(), path);
    const int other = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), -1) << "the lock is held";
    EXPECT_EQ(errno, EWOULDBLOCK);
    close(other);
  }
  const int after = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(after, 0);
  EXPECT_EQ(flock(after, LOCK_EX | LOCK_NB), 0) << "released with the object";
  close(after);
}

TEST(Environment, UnsetAndEmptyDiffer) {
  ScopedVariable empty("OVIK_TEST_EMPTY", "");
  EXPECT_EQ(GetEnvironmentValue("OVIK_TEST_EMPTY"), std::optional<std::string>(""));
  EXPECT_EQ(GetEnvironmentValue("OVIK_TEST_SURELY_UNSET_VARIABLE"), std::nullopt);
}

}  // namespace
}  // namespace ovik
