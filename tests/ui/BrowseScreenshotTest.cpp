// Renders the folder browser over a small demo tree and, when
// OVIK_SCREENSHOT_DIR is set, saves the picture there for the docs.
#include "ui/browse/BrowseDialog.h"

#include "BrowseTestSupport.h"
#include "support/FakeDriveSystem.h"
#include "support/TempTree.h"

#include <QPixmap>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

namespace ovik {
namespace {

void MakeDemoTree(const testing::TempTree& tree) {
  for (const char* folder : {"Backup 2026/Documents", "Backup 2026/Music", "Backup 2026/Photos"})
    tree.MakeFolder(folder);
  for (const char* file : {"Backup 2026/notes.txt", "Backup 2026/report.pdf", "Backup 2026/setup.exe"})
    tree.WriteFile(file, "demo");
  tree.WriteFile("Backup 2026/restore.sh", "#!/bin/sh\n");
  chmod(tree.Path("Backup 2026/restore.sh").c_str(), 0755);
}

void MountDemoDrives(testing::FakeDriveSystem& system) {
  system.Mount("/", "ext4", "/dev/sda1");
  system.labels["/dev/sda1"] = "system";
  system.Mount("/home", "ext4", "/dev/sda2");
  system.labels["/dev/sda2"] = "home";
  system.Mount("/media/anna/STICK", "vfat", "/dev/sdc1");
  system.Mount("/mnt/disc", "iso9660", "/dev/sr0");
  system.labels["/dev/sr0"] = "ARCHIVE_2026";
  system.Mount("/mnt/nas", "nfs", "nas:/volume1/backup");
  system.Mount("/mnt/ram", "tmpfs", "tmpfs");
}

TEST(BrowseScreenshot, RendersTheDialog) {
  browse_test::EnsureApplication();
  testing::TempTree tree;
  testing::FakeDriveSystem system;
  MakeDemoTree(tree);
  MountDemoDrives(system);
  TfrmBrowse dialog(nullptr, system);
  dialog.IsSrc = true;
  dialog.SelFolder = tree.Path("Backup 2026") + "/";
  dialog.show();
  QApplication::processEvents();
  dialog.FormActivate();
  const QPixmap picture = dialog.grab();
  EXPECT_FALSE(picture.isNull());
  if (const char* folder = std::getenv("OVIK_SCREENSHOT_DIR")) {
    EXPECT_TRUE(picture.save(QString::fromLocal8Bit(folder) + "/screenshot-browse.png"));
  }
}

}  // namespace
}  // namespace ovik
