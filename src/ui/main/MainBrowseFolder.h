#pragma once

#include <optional>
#include <string>

namespace ovik {

class TfrmBrowse;

// What BrowseFolder needs of the main window.
class BrowseFolderHost {
 public:
  virtual ~BrowseFolderHost() = default;
  virtual std::string FolderFieldText(bool isSource) const = 0;
  // Replaces the field's text; the field's change handling runs only on a real change.
  virtual void SetFolderFieldText(bool isSource, const std::string& text) = 0;
  // RunState := Idle and the title follows.
  virtual void ResetRunStateToIdle() = 0;
};

// Writes a chosen folder into a field: without a trailing separator except
// for "/", and only when the text differs, so that the same folder keeps the
// results.
void WriteChosenFolder(bool isSource, BrowseFolderHost& host, const std::string& folder);

// Lets the user choose the source (isSource) or destination folder.
void BrowseFolder(bool isSource, BrowseFolderHost& host, TfrmBrowse& dialog);

// Lets the user choose a folder for the source or destination side, the
// browser starting as for a field that holds `startText`. The folder chosen
// is returned without a trailing separator (except "/"); nothing on Cancel.
std::optional<std::string> ChooseFolder(bool isSource, const std::string& startText, BrowseFolderHost& host,
                                        TfrmBrowse& dialog);

}  // namespace ovik
