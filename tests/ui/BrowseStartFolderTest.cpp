#include "ui/browse/BrowseStartFolder.h"

#include "support/FakeDriveSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace ovik {
namespace {

using testing::FakeDriveSystem;
using testing::TempTree;

class StartFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.WriteFile("home/Documents/letter.txt", "x");
    tree.WriteFile("data/a.bin", "y");
    system.environment["HOME"] = tree.Path("home");
  }
  TempTree tree;
  FakeDriveSystem system;
};

TEST_F(StartFolder, KeepsTheFieldsFolderWhenItListsEntries) {
  EXPECT_EQ(BrowseStartFolder(tree.Path("data"), system), tree.Path("data") + "/");
  EXPECT_EQ(BrowseStartFolder(tree.Path("data") + "/", system), tree.Path("data") + "/");
  EXPECT_EQ(BrowseStartFolder("/", system), "/");
}

TEST_F(StartFolder, AnEmptyButExistingFolderIsKept) {
  tree.MakeFolder("empty");
  EXPECT_EQ(BrowseStartFolder(tree.Path("empty"), system), tree.Path("empty") + "/");
}

TEST_F(StartFolder, EmptyOrMissingFieldGoesToTheDocumentsFolder) {
  EXPECT_EQ(BrowseStartFolder("", system), tree.Path("home/Documents") + "/");
  EXPECT_EQ(BrowseStartFolder(tree.Path("gone"), system), tree.Path("home/Documents") + "/");
}

TEST_F(StartFolder, AnEmptyMediumInTheFieldIsReplaced) {
  tree.MakeFolder("blank");
  system.Mount(tree.Path("blank"), "iso9660", "/dev/sr0");
  EXPECT_EQ(BrowseStartFolder(tree.Path("blank"), system), tree.Path("home/Documents") + "/");
}

TEST_F(StartFolder, WithoutADocumentsFolderTheHomeFolderIsUsed) {
  system.environment["HOME"] = tree.Path("data");
  EXPECT_EQ(BrowseStartFolder("", system), tree.Path("data") + "/");
}

TEST_F(StartFolder, TheRootIsTheLastResort) {
  system.environment["HOME"] = tree.Path("nobody");
  EXPECT_EQ(BrowseStartFolder("", system), "/");
  system.environment.erase("HOME");
  EXPECT_EQ(BrowseStartFolder("", system), "/");
  system.environment["HOME"] = "/" + std::string(300, 'h');
  EXPECT_EQ(BrowseStartFolder("", system), "/");
}

}  // namespace
}  // namespace ovik
