#pragma once

#include <QListWidget>

#include <string>

namespace ovik {

class ContentsListBox;

// The chain of folders from the root down to the current folder, indented,
// then the current folder's sub-folders. A double-click opens a row.
class FolderListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderListBox(QWidget* parent = nullptr);

  // The list hands every folder it changes into to `contents`.
  void SetContentsList(ContentsListBox* contents);
  // Stands on the process's current folder without reporting a change, as
  // the list does before its first showing.
  void StartAtProcessFolder();

  // A full path, no trailing separator except on the root.
  const std::string& Folder() const { return folder_; }
  // Changes into `text` unless it is empty or exactly the folder shown; a
  // folder that cannot be listed leaves the list where it is.
  void SetFolder(const std::string& text);
  // Reads the disk again and reports a change without a new folder.
  void RebuildAndReport();

 signals:
  // The list now stands on a new folder; the drive list follows it.
  void folderEntered();
  // Reported after every change of folder, and by RebuildAndReport.
  void changed();

 private:
  void Rebuild();
  void AddRow(const std::string& path, const std::string& text, int depth, bool current, bool below);
  void OpenRow(QListWidgetItem* item);

  std::string folder_ = "/";
  ContentsListBox* contents_ = nullptr;
};

}  // namespace ovik
