#pragma once

#include "platform/drives/Drives.h"

#include <QDialog>

#include <chrono>
#include <string>

class QLabel;
class QPushButton;

namespace ovik {

class ContentsListBox;
class DriveListBox;
class FolderListBox;

// The folder browser, one instance for both sides: a drive list steering a
// folder list steering a contents list.
class TfrmBrowse : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmBrowse(QWidget* parent = nullptr, DriveSystem& system = SystemDrives());

  // In: the start folder. While shown: the folder the lists show. Out: the
  // chosen folder.
  std::string SelFolder;
  bool IsSrc = true;
  // The drive list's selected index at the last drive change of each side.
  int LastSrcDriveIndex = 0;
  int LastDstDriveIndex = 0;
  // How long a drive may take to answer before it counts as inaccessible.
  std::chrono::milliseconds DriveAnswerTimeout{3000};

  DriveSystem& System() const { return system_; }

  void FormActivate();
  void FormResize();
  void fldFoldersChange();
  void filFilesDblClick();
  void drvDrivesClick();
  void drvDrivesChange();
  void btnSelectClick();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void ConnectHandlers();
  void SetTabOrder();
  void CentreOnScreen();
  void KeepMinimumOuterSize();

  DriveSystem& system_;
  bool resizing_ = false;
  bool shownBefore_ = false;

  QLabel* lblDrives_ = nullptr;
  DriveListBox* drvDrives_ = nullptr;
  QLabel* lblFolders_ = nullptr;
  FolderListBox* fldFolders_ = nullptr;
  QLabel* lblContents_ = nullptr;
  ContentsListBox* filFiles_ = nullptr;
  QLabel* lblFolder_ = nullptr;
  QLabel* lblSelFolder_ = nullptr;
  QPushButton* btnSelect_ = nullptr;
  QPushButton* btnCancel_ = nullptr;
};

}  // namespace ovik
