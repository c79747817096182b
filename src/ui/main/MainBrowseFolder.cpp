#include "ui/main/MainBrowseFolder.h"

#include "common/PathUtils.h"
#include "ui/browse/BrowseDialog.h"
#include "ui/browse/BrowseStartFolder.h"

namespace ovik {

namespace {

std::string WithoutTrailingSeparator(const std::string& folder) {
  return folder == "/" ? folder : StripTrailingBackslash(folder);
}

}  // namespace

void WriteChosenFolder(bool isSource, BrowseFolderHost& host, const std::string& folder) {
  const std::string chosen = WithoutTrailingSeparator(folder);
  if (chosen != host.FolderFieldText(isSource)) host.SetFolderFieldText(isSource, chosen);
}

void BrowseFolder(bool isSource, BrowseFolderHost& host, TfrmBrowse& dialog) {
  host.ResetRunStateToIdle();
  dialog.IsSrc = isSource;
  dialog.SelFolder = BrowseStartFolder(host.FolderFieldText(isSource), dialog.System());
  if (dialog.exec() == QDialog::Accepted) WriteChosenFolder(isSource, host, dialog.SelFolder);
}

}  // namespace ovik
