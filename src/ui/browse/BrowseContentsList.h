#pragma once

#include <QListWidget>

#include <string>

namespace ovik {

// The contents of one folder: files by name, sub-folders as "[name]".
class ContentsListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit ContentsListBox(QWidget* parent = nullptr);

  const std::string& Folder() const { return folder_; }
  // Reads the disk only when the folder actually changes.
  void SetFolder(const std::string& folder);
  // The folder, a separator and the selected entry's text; empty when no
  // entry is selected.
  std::string SelectedPath() const;
  bool SelectedIsFolder() const;

 private:
  void ReadFolder();

  std::string folder_;
};

}  // namespace ovik
