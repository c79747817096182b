#include "ui/browse/BrowseDriveList.h"

#include "platform/files/FolderContents.h"
#include "ui/browse/BrowseFolderList.h"
#include "ui/browse/BrowseGlyphs.h"

#include <QFile>

namespace ovik {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
  connect(this, &QComboBox::activated, this, &DriveListBox::OnActivated);
}

void DriveListBox::SetFolderList(FolderListBox* folders) {
  folders_ = folders;
  connect(folders_, &FolderListBox::folderEntered, this, &DriveListBox::FollowFolderList);
}

void DriveListBox::FillOnce(const std::vector<DriveInfo>& drives) {
  if (filled_) return;
  filled_ = true;
  drives_ = drives;
  for (const DriveInfo& drive : drives_)
    addItem(DriveGlyph(drive.kind), QFile::decodeName(QByteArray::fromStdString(DriveItemText(drive))));
  shownIndex_ = folders_ != nullptr ? DriveIndexOfFolder(drives_, folders_->Folder()) : -1;
  setCurrentIndex(shownIndex_);
  emit driveChanged();
}

std::string DriveListBox::MountPointAt(int index) const {
  if (index < 0 || index >= static_cast<int>(drives_.size())) return {};
  return drives_[static_cast<std::size_t>(index)].mountPoint;
}

void DriveListBox::SetDriveOfFolder(const std::string& folder) {
  const int index = DriveIndexOfFolder(drives_, folder);
  if (index < 0 || index == shownIndex_) return;
  shownIndex_ = index;
  setCurrentIndex(index);
  emit driveChanged();
}

void DriveListBox::OnActivated() {
  emit picked();
  ActOnSelection();
}

void DriveListBox::ActOnSelection() {
  const int index = currentIndex();
  if (index < 0 || index == shownIndex_ || folders_ == nullptr) {
    setCurrentIndex(shownIndex_);
    return;
  }
  shownIndex_ = index;
  folders_->SetFolder(FolderToOpenOn(index));
  // When the drive's folder could not be opened the list stays on the drive
  // it really shows.
  const int actual = DriveIndexOfFolder(drives_, folders_->Folder());
  if (actual != shownIndex_) {
    shownIndex_ = actual;
    setCurrentIndex(actual);
  }
  emit driveChanged();
}

void DriveListBox::FollowFolderList() {
  const std::string& folder = folders_->Folder();
  const int index = DriveIndexOfFolder(drives_, folder);
  if (index >= 0) lastFolderOnDrive_[drives_[static_cast<std::size_t>(index)].mountPoint] = folder;
  SetDriveOfFolder(folder);
}

std::string DriveListBox::FolderToOpenOn(int index) const {
  const std::string mountPoint = MountPointAt(index);
  const auto last = lastFolderOnDrive_.find(mountPoint);
  if (last != lastFolderOnDrive_.end() && FolderCanBeListed(last->second)) return last->second;
  return mountPoint;
}

}  // namespace ovik
