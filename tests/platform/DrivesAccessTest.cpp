#include "platform/drives/DriveAccess.h"
#include "platform/EnvVar.h"
#include "platform/drives/FolderEntries.h"

#include "support/FakeDriveSystem.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace ovik {
namespace {

using namespace std::chrono_literals;
using testing::FakeDriveSystem;
using testing::TempTree;

TEST(DriveAccess, AnswersWhetherTheMediumReportsItsSize) {
  FakeDriveSystem system;
  system.deadMounts.insert("/mnt/cd");
  EXPECT_TRUE(DriveIsAccessible("/", system));
  EXPECT_FALSE(DriveIsAccessible("/mnt/cd", system));
}

TEST(DriveAccess, ADriveThatDoesNotAnswerInTimeIsNotAccessible) {
  FakeDriveSystem system;  // may go before the abandoned worker ends
  system.hangingMounts.insert("/mnt/dead-nfs");
  system.hangFor = 2s;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(DriveIsAccessible("/mnt/dead-nfs", system, 100ms));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(DriveAccess, TheRealRootIsAccessible) { EXPECT_TRUE(DriveIsAccessible("/")); }

class EnvVarTest : public ::testing::Test {
 protected:
  FakeDriveSystem system;
};

TEST_F(EnvVarTest, MapsTheProfileToHomeAndHasNoWindowsFolder) {
  system.environment["HOME"] = "/home/anna";
  system.environment["WinDir"] = "/windows";
  EXPECT_EQ(GetEnvVar("UserProfile", system), "/home/anna");
  EXPECT_EQ(GetEnvVar("WinDir", system), "");
  EXPECT_EQ(GetEnvVar("", system), "");
  EXPECT_EQ(GetEnvVar("NOT_SET", system), "");
}

TEST_F(EnvVarTest, AValueOf255CharactersOrMoreCountsAsNotSet) {
  system.environment["HOME"] = "/" + std::string(253, 'h');
  EXPECT_EQ(GetEnvVar("UserProfile", system).size(), 254u);
  system.environment["HOME"] = "/" + std::string(254, 'h');
  EXPECT_EQ(GetEnvVar("UserProfile", system), "");
  system.environment["HOME"] = "";
  EXPECT_EQ(GetEnvVar("UserProfile", system), "");
}

TEST_F(EnvVarTest, DocumentsFolderComesFromTheUserDirsFile) {
  system.files["/home/anna/.config/user-dirs.dirs"] =
      "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(DocumentsFolder("/home/anna", system), "/home/anna/Dokumente");
  system.files["/home/anna/.config/user-dirs.dirs"] = "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
  EXPECT_EQ(DocumentsFolder("/home/anna", system), "/srv/docs");
}

TEST_F(EnvVarTest, DocumentsFolderFollowsTheConfigHomeAndFallsBack) {
  system.environment["XDG_CONFIG_HOME"] = "/cfg";
  system.files["/cfg/user-dirs.dirs"] = "XDG_DOCUMENTS_DIR=\"$HOME\"\n";
  EXPECT_EQ(DocumentsFolder("/home/bo", system), "/home/bo");
  system.files["/cfg/user-dirs.dirs"] = "XDG_DOCUMENTS_DIR=\"relative/ignored\"\n";
  EXPECT_EQ(DocumentsFolder("/home/bo", system), "/home/bo/Documents");
  system.environment["XDG_DOCUMENTS_DIR"] = "/home/bo/Papers";
  EXPECT_EQ(DocumentsFolder("/home/bo", system), "/home/bo/Papers");
}

class FolderEntriesTest : public ::testing::Test {
 protected:
  TempTree tree;
  FakeDriveSystem system;
};

TEST_F(FolderEntriesTest, AnEmptyFolderPassesThroughItsDotEntries) {
  tree.MakeFolder("empty");
  EXPECT_TRUE(FolderHasEntries(tree.Path("empty"), system));
  EXPECT_TRUE(FolderHasEntries(tree.Path("empty") + "/", system));
}

TEST_F(FolderEntriesTest, EmptyOrMissingPathsFail) {
  EXPECT_FALSE(FolderHasEntries("", system));
  EXPECT_FALSE(FolderHasEntries(tree.Path("missing"), system));
  tree.WriteFile("file", "x");
  EXPECT_FALSE(FolderHasEntries(tree.Path("file"), system));
}

TEST_F(FolderEntriesTest, AnEmptyMediumRootFailsAndAFilledOnePasses) {
  tree.MakeFolder("blank");
  tree.WriteFile("filled/a.txt", "a");
  system.Mount(tree.Path("blank"), "udf", "/dev/sr0");
  system.Mount(tree.Path("filled"), "vfat", "/dev/sdc1");
  EXPECT_FALSE(FolderHasEntries(tree.Path("blank"), system));
  EXPECT_FALSE(FolderHasEntries(tree.Path("blank") + "/", system));
  EXPECT_TRUE(FolderHasEntries(tree.Path("filled"), system));
  EXPECT_TRUE(FolderHasEntries("/", system));
}

}  // namespace
}  // namespace ovik
