#include "ui/main/details/MainChecksumList.h"

#include "reports/ChecksumListSave.h"
#include "ui/main/MainFileError.h"

#include <QFile>
#include <QFileDialog>

namespace ovik {
namespace {

QString Shown(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

std::string Bytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

QString& LastListFile() {
  static QString last;
  return last;
}

}  // namespace

std::optional<std::string> AskListToCheck(QWidget* parent) {
  QFileDialog dialog(parent, "Verify with checksum list");
  dialog.setObjectName("dlgOpenSums");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({"Checksum lists (*SUMS *sums *.sha256 *.sha512 *.sha1 *.md5 *.b2 *.txt)", "All files (*)"});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Bytes(dialog.selectedFiles().first());
}

std::optional<std::string> AskListFile(QWidget* parent, const std::string& folder) {
  QFileDialog dialog(parent, "Save checksum list");
  dialog.setObjectName("dlgSaveSums");
  // Qt's own dialog, as for the details.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({"Checksum lists (*SUMS *.sha256)", "All files (*)"});
  dialog.selectFile(LastListFile().isEmpty() ? Shown(folder + "/SHA256SUMS") : LastListFile());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  LastListFile() = dialog.selectedFiles().first();
  return Bytes(LastListFile());
}

void SaveListTo(QWidget* parent, const std::string& path, const ChecksumList& list) {
  SaveChecksumList(path, list,
                   [&](const FileFailure& failure) { ShowFileError(parent, path, failure.code, failure.action); });
}

}  // namespace ovik
