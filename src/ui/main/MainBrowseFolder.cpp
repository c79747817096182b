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

std::optional<std::string> ChooseFolder(bool isSource, const std::string& startText, BrowseFolderHost& host,
                                        TfrmBrowse& dialog) {
  host.ResetRunStateToIdle();
  dialog.IsSrc = isSource;
  dialog.SelFolder = BrowseStartFolder(startText, dialog.System());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return WithoutTrailingSeparator(dialog.SelFolder);
}

void BrowseFolder(bool isSource, BrowseFolderHost& host, TfrmBrowse& dialog) {
  if (const auto chosen = ChooseFolder(isSource, host.FolderFieldText(isSource), host, dialog))
    WriteChosenFolder(isSource, host, *chosen);
}

}  // namespace ovik
