#include "ui/browse/BrowsePaths.h"

#include <gtest/gtest.h>

namespace ovik {
namespace {

TEST(BrowsePaths, NormalisesWithoutLeavingTheRoot) {
  EXPECT_EQ(NormalizedFolderPath("/a//b/./c/", "/"), "/a/b/c");
  EXPECT_EQ(NormalizedFolderPath("/a/b/..", "/"), "/a");
  EXPECT_EQ(NormalizedFolderPath("/..", "/"), "/");
  EXPECT_EQ(NormalizedFolderPath("/a/../../..", "/"), "/");
  EXPECT_EQ(NormalizedFolderPath("///", "/"), "/");
  EXPECT_EQ(NormalizedFolderPath("x/../y", "/base"), "/base/y");
  EXPECT_EQ(NormalizedFolderPath("/with space/[x]", "/"), "/with space/[x]");
}

TEST(BrowsePaths, ChainsAndNames) {
  EXPECT_EQ(FolderChain("/"), (std::vector<std::string>{"/"}));
  EXPECT_EQ(FolderChain("/a/b"), (std::vector<std::string>{"/", "/a", "/a/b"}));
  EXPECT_EQ(LastPathComponent("/a/b"), "b");
  EXPECT_EQ(LastPathComponent("/"), "/");
  EXPECT_EQ(ChildPath("/", "a"), "/a");
  EXPECT_EQ(ChildPath("/a", "b"), "/a/b");
}

}  // namespace
}  // namespace ovik
