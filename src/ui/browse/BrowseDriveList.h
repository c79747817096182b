#pragma once

#include "platform/drives/Drives.h"

#include <QComboBox>

#include <map>
#include <string>
#include <vector>

namespace ovik {

class FolderListBox;

// The mounted drives in a drop-down list, filled once. Its selected item is
// the drive of the folder list's folder; picking another drive moves the
// folder list to the last folder it showed on that drive (first the mount
// point).
class DriveListBox : public QComboBox {
  Q_OBJECT

 public:
  explicit DriveListBox(QWidget* parent = nullptr);

  void SetFolderList(FolderListBox* folders);
  // Fills the items and selects the folder list's drive; later calls do nothing.
  void FillOnce(const std::vector<DriveInfo>& drives);
  bool IsFilled() const { return filled_; }
  std::string MountPointAt(int index) const;
  // Selects the drive that holds `folder`; nothing, and no change reported,
  // when it is already the selected one.
  void SetDriveOfFolder(const std::string& folder);

 signals:
  // The user picked an item. Receivers may select another item before the
  // list acts on the pick.
  void picked();
  // The selected drive changed, or the list filled its items.
  void driveChanged();

 private:
  void OnActivated();
  void ActOnSelection();
  void FollowFolderList();
  std::string FolderToOpenOn(int index) const;

  std::vector<DriveInfo> drives_;
  std::map<std::string, std::string> lastFolderOnDrive_;
  FolderListBox* folders_ = nullptr;
  int shownIndex_ = -1;
  bool filled_ = false;
};

}  // namespace ovik
