#include "ui/browse/BrowseDialog.h"

#include "ui/browse/BrowseContentsList.h"
#include "ui/browse/BrowseDriveList.h"
#include "ui/browse/BrowseDriveProbe.h"
#include "ui/browse/BrowseFolderList.h"
#include "ui/browse/BrowsePaths.h"

#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace ovik {

namespace {

constexpr QSize kDesignClientSize{673, 346};

QString Shown(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top) {
  widget->setObjectName(name);
  widget->move(left, top);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
  auto* label = Place(new QLabel(caption, parent), name, left, top);
  label->adjustSize();
  return label;
}

}  // namespace

TfrmBrowse::TfrmBrowse(QWidget* parent, DriveSystem& system) : QDialog(parent), system_(system) {
  setObjectName("frmBrowse");
  setWindowTitle("Browse");
  setSizeGripEnabled(true);
  CreateControls();
  ConnectHandlers();
  SetTabOrder();
  fldFolders_->StartAtProcessFolder();
  resize(kDesignClientSize);
}

void TfrmBrowse::CreateControls() {
  lblDrives_ = MakeLabel(this, "lblDrives", "Drives", 8, 7);
  drvDrives_ = Place(new DriveListBox(this), "drvDrives", 8, 23);
  drvDrives_->resize(283, drvDrives_->sizeHint().height());
  lblFolders_ = MakeLabel(this, "lblFolders", "Folders (double-click to select)", 8, 54);
  fldFolders_ = Place(new FolderListBox(this), "fldFolders", 8, 70);
  fldFolders_->resize(321, 164);
  lblContents_ = MakeLabel(this, "lblContents", "Contents", 344, 7);
  filFiles_ = Place(new ContentsListBox(this), "filFiles", 344, 23);
  filFiles_->resize(321, 212);
  filFiles_->setFocusPolicy(Qt::ClickFocus);
  lblFolder_ = MakeLabel(this, "lblFolder", "Current Source:", 8, 263);
  QFont bold = lblFolder_->font();
  bold.setBold(true);
  lblFolder_->setFont(bold);
  lblFolder_->adjustSize();
  lblSelFolder_ = MakeLabel(this, "lblSelFolder", "Folder name", 112, 263);
  btnSelect_ = Place(new QPushButton("Ok", this), "btnSelect", 8, 288);
  btnSelect_->resize(73, 23);
  btnSelect_->setDefault(true);
  btnCancel_ = Place(new QPushButton("&Cancel", this), "btnCancel", 104, 288);
  btnCancel_->resize(57, 23);
  drvDrives_->SetFolderList(fldFolders_);
  fldFolders_->SetContentsList(filFiles_);
}

void TfrmBrowse::ConnectHandlers() {
  connect(drvDrives_, &DriveListBox::picked, this, &TfrmBrowse::drvDrivesClick);
  connect(drvDrives_, &DriveListBox::driveChanged, this, &TfrmBrowse::drvDrivesChange);
  connect(fldFolders_, &FolderListBox::changed, this, &TfrmBrowse::fldFoldersChange);
  connect(filFiles_, &QListWidget::itemDoubleClicked, this, &TfrmBrowse::filFilesDblClick);
  connect(btnSelect_, &QPushButton::clicked, this, &TfrmBrowse::btnSelectClick);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmBrowse::SetTabOrder() {
  setTabOrder(fldFolders_, drvDrives_);
  setTabOrder(drvDrives_, btnSelect_);
  setTabOrder(btnSelect_, btnCancel_);
}

bool TfrmBrowse::event(QEvent* event) {
  const bool handled = QDialog::event(event);
  if (event->type() == QEvent::WindowActivate) FormActivate();
  return handled;
}

// Each showing is handled here and not only on activation, which some
// window managers deliver late or not at all.
void TfrmBrowse::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shownBefore_) {
    shownBefore_ = true;
    CentreOnScreen();
    drvDrives_->FillOnce(ListDrives(system_));
  }
  FormActivate();
}

void TfrmBrowse::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

void TfrmBrowse::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FormResize();
}

void TfrmBrowse::FormActivate() {
  const QString side = IsSrc ? "Source" : "Destn";
  setWindowTitle("Browse " + side + " folder");
  btnSelect_->setText(side + " &Ok");
  lblFolder_->setText("Current " + side + ":");
  lblFolder_->adjustSize();
  lblContents_->setText(side + " contents");
  lblContents_->adjustSize();
  FormResize();
  fldFolders_->SetFolder(SelFolder);
  drvDrives_->SetDriveOfFolder(fldFolders_->Folder());
  fldFolders_->RebuildAndReport();
  fldFolders_->setFocus();
}

void TfrmBrowse::fldFoldersChange() {
  SelFolder = filFiles_->Folder();
  lblSelFolder_->setText(Shown(SelFolder));
}

void TfrmBrowse::filFilesDblClick() {
  const std::string path = filFiles_->SelectedPath();
  if (path.empty()) return;
  const std::string::size_type slash = path.rfind('/');
  const std::string name = path.substr(slash + 1);
  const std::string parent = path.substr(0, slash + 1);
  // Only real folders are opened: a file may be named "[x]" too.
  if (!filFiles_->SelectedIsFolder() || name.size() < 2 || name.front() != '[' || name.back() != ']') return;
  fldFolders_->SetFolder(parent + name.substr(1, name.size() - 2));
}

void TfrmBrowse::drvDrivesClick() {
  const std::string mountPoint = drvDrives_->MountPointAt(drvDrives_->currentIndex());
  if (mountPoint.empty() || DriveAnswersInTime(mountPoint, system_, DriveAnswerTimeout)) return;
  QMessageBox box(QMessageBox::Warning, "Warning", "Unable to access media on drive " + Shown(mountPoint),
                  QMessageBox::Ok, this);
  box.exec();
  drvDrives_->setCurrentIndex(IsSrc ? LastSrcDriveIndex : LastDstDriveIndex);
}

void TfrmBrowse::drvDrivesChange() { (IsSrc ? LastSrcDriveIndex : LastDstDriveIndex) = drvDrives_->currentIndex(); }

void TfrmBrowse::btnSelectClick() {
  SelFolder = fldFolders_->Folder();
  done(QDialog::Accepted);
}

}  // namespace ovik
