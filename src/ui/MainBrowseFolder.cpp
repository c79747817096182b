#include "ui/MainBrowseFolder.h"

#include "ui/BrowseDialog.h"

#include <QFileDialog>

namespace ovik {

// Stand-in until the folder browser exists: Qt's own folder picker.
void BrowseFolder(bool isSource, BrowseFolderHost& host, TfrmBrowse& dialog) {
  host.ResetRunStateToIdle();
  const QString start = QFile::decodeName(QByteArray::fromStdString(host.FolderFieldText(isSource)));
  const QString chosen = QFileDialog::getExistingDirectory(dialog.parentWidget(), QString(), start);
  if (chosen.isEmpty()) return;
  const std::string text = QFile::encodeName(chosen).toStdString();
  if (text != host.FolderFieldText(isSource)) host.SetFolderFieldText(isSource, text);
}

}  // namespace ovik
