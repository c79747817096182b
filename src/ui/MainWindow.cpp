#include "ui/MainWindow.h"

#include "common/PathUtils.h"
#include "platform/ProcessLock.h"
#include "ui/BrowseDialog.h"
#include "ui/MainDetailsExport.h"
#include "ui/MainDetailsModel.h"
#include "ui/MainFonts.h"
#include "ui/MainGroupFrame.h"
#include "ui/MainMessageBoxes.h"
#include "ui/MainVerifyView.h"
#include "ui/UsageAboutBox.h"
#include "ui/UsageWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <exception>

namespace ovik {
namespace {

QString Decode(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

// The window's client area at design time: 6 + 595 + 6 pixels wide.
constexpr int kDesignClientWidth = 607;

// The root folder "/" keeps its separator: stripped, it would read as no
// folder at all.
std::string ComparableFolder(const std::string& text) { return text == "/" ? text : StripTrailingBackslash(text); }

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Ovik");
  setFont(MainWindowFont());
  BuildControls();
  view_ = std::make_unique<MainVerifyView>(*this);
  engine_ = std::make_unique<VerifyEngine>(*view_);
  ConnectHandlers();
  FormCreate();
  ArrangeMainWindow();
  // The client area lies below the menu bar and fills the rest.
  resize(kDesignClientWidth, 206 + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

TfrmMain::~TfrmMain() = default;

VerifyView& TfrmMain::View() { return *view_; }

void TfrmMain::FormCreate() {
  processLock_ = std::make_unique<ProcessLock>("Ovik-Tarvex");
  engine_->ResetResults();
  UpdateButtons();
  engine_->runState = RunState::Idle;
  engine_->UpdateTitle();
  view_->Flush();
}

void TfrmMain::ConnectHandlers() {
  connect(btnCompare, &QPushButton::clicked, this, &TfrmMain::btnCompareClick);
  connect(btnAbort, &QPushButton::clicked, this, &TfrmMain::btnAbortClick);
  connect(btnBrowseSrc, &QPushButton::clicked, this, &TfrmMain::btnBrowseSrcClick);
  connect(btnBrowseDst, &QPushButton::clicked, this, &TfrmMain::btnBrowseDstClick);
  connect(btnSwap, &QPushButton::clicked, this, &TfrmMain::btnSwapClick);
  connect(btnDetails, &QPushButton::clicked, this, &TfrmMain::btnDetailsClick);
  const auto onTrigger = [this](QAction* item, auto handler) { connect(item, &QAction::triggered, this, handler); };
  onTrigger(mnuFileSaveAll, [this] { SaveDetails(ReportFilter::All); });
  onTrigger(mnuFileSaveErrorsOnly, [this] { SaveDetails(ReportFilter::ErrorsOnly); });
  onTrigger(mnuFileSaveNonErrorsOnly, [this] { SaveDetails(ReportFilter::NonErrorsOnly); });
  onTrigger(mnuFileSaveSelectedOnly, [this] { SaveDetails(ReportFilter::SelectedOnly); });
  onTrigger(mnuFileExit, [this] { mnuFileExitClick(); });
  onTrigger(mnuEditCopyAll, [this] { CopyDetails(ReportFilter::All); });
  onTrigger(mnuEditCopyErrorsOnly, [this] { CopyDetails(ReportFilter::ErrorsOnly); });
  onTrigger(mnuEditCopyNonErrorsOnly, [this] { CopyDetails(ReportFilter::NonErrorsOnly); });
  onTrigger(mnuCopySelectedOnly, [this] { CopyDetails(ReportFilter::SelectedOnly); });
  onTrigger(mnuHelpUsage, [this] { mnuHelpUsageClick(); });
  onTrigger(mnuHelpAbout, [this] { mnuHelpAboutClick(); });
}

void TfrmMain::AttachWindows(TfrmBrowse* browse, TfrmUsage* usage) {
  frmBrowse_ = browse;
  frmUsage_ = usage;
}

TfrmBrowse& TfrmMain::BrowseWindow() {
  if (frmBrowse_ == nullptr) frmBrowse_ = new TfrmBrowse(this);
  return *frmBrowse_;
}

TfrmUsage& TfrmMain::UsageWindow() {
  if (frmUsage_ == nullptr) frmUsage_ = new TfrmUsage(this);
  return *frmUsage_;
}

std::string TfrmMain::FolderFieldText(bool isSource) const { return isSource ? srcFolder_ : dstFolder_; }

// The fields show decoded text but keep the bytes, so a name that is not
// valid in the locale's encoding still reaches the engine unchanged. Only a
// real change of the bytes counts as a change.
void TfrmMain::SetFolderFieldText(bool isSource, const std::string& text) {
  std::string& folder = isSource ? srcFolder_ : dstFolder_;
  if (folder == text) return;
  folder = text;
  (isSource ? edtSrc : edtDst)->setText(Decode(text));
  if (isSource) edtSrcChange();
  else edtDstChange();
}

void TfrmMain::ResetRunStateToIdle() {
  engine_->runState = RunState::Idle;
  engine_->UpdateTitle();
}

void TfrmMain::UpdateButtons() {
  const std::string source = ComparableFolder(srcFolder_);
  const std::string destination = ComparableFolder(dstFolder_);
  const bool differ = source != destination;
  btnCompare->setEnabled(differ && !source.empty() && !destination.empty());
  btnSwap->setEnabled(differ && !(source.empty() && destination.empty()));
}

void TfrmMain::btnCompareClick() {
  if (engine_->runState == RunState::Verifying) return;
  // Copies: the fields cannot change during the run, but the engine must not
  // hold references into them.
  const std::string source = srcFolder_;
  const std::string destination = dstFolder_;
  try {
    engine_->VerifyCommand(source, destination);
    view_->Flush();
  } catch (const std::exception& error) {
    view_->Flush();
    ShowError(QString::fromLocal8Bit(error.what()));
  }
}

void TfrmMain::btnAbortClick() {
  engine_->AbortCommand();
  view_->Flush();
}

void TfrmMain::btnBrowseSrcClick() { BrowseFolder(true); }

void TfrmMain::btnBrowseDstClick() { BrowseFolder(false); }

void TfrmMain::BrowseFolder(bool isSource) { ovik::BrowseFolder(isSource, *this, BrowseWindow()); }

void TfrmMain::btnSwapClick() {
  const std::string oldSource = srcFolder_;
  const std::string oldDestination = dstFolder_;
  SetFolderFieldText(true, oldDestination);
  SetFolderFieldText(false, oldSource);
}

void TfrmMain::btnDetailsClick() { ToggleDetails(); }

void TfrmMain::edtSrcChange() {
  engine_->ResetResults();
  UpdateButtons();
  view_->Flush();
}

void TfrmMain::edtDstChange() { edtSrcChange(); }

void TfrmMain::SaveDetails(ReportFilter filter) {
  const QItemSelectionModel* selection = lstResults->selectionModel();
  const DetailsContext details{srcFolder_, dstFolder_, detailsModel_->Lines(), [selection, this](std::size_t row) {
                                 return selection->isSelected(detailsModel_->index(static_cast<int>(row)));
                               }};
  ovik::SaveDetails(this, details, filter);
}

void TfrmMain::CopyDetails(ReportFilter filter) {
  const QItemSelectionModel* selection = lstResults->selectionModel();
  const DetailsContext details{srcFolder_, dstFolder_, detailsModel_->Lines(), [selection, this](std::size_t row) {
                                 return selection->isSelected(detailsModel_->index(static_cast<int>(row)));
                               }};
  ovik::CopyDetails(details, filter);
}

void TfrmMain::mnuHelpUsageClick() { UsageWindow().exec(); }

void TfrmMain::mnuHelpAboutClick() { ShowAboutBox(this); }

void TfrmMain::mnuFileExitClick() { close(); }

bool TfrmMain::FormCloseQuery() {
  if (engine_->runState == RunState::Verifying) {
    ShowWarning("Verify in progress, click Abort before closing");
    return false;
  }
  return AskConfirm("Close Ovik?");
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery()) event->accept();
  else event->ignore();
}

// Enter reaches Verify when no button has the focus (a focused button takes
// Enter itself); Esc reaches Abort while Abort is enabled.
void TfrmMain::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
    if (btnCompare->isEnabled()) btnCompare->click();
    return;
  }
  if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (btnAbort->isEnabled()) btnAbort->click();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == clientArea && event->type() == QEvent::Resize) {
    ArrangeMainWindow();
  } else if (event->type() == QEvent::MouseButtonDblClick && (watched == edtSrc || watched == edtDst)) {
    if (engine_->runState != RunState::Verifying) BrowseFolder(watched == edtSrc);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace ovik
