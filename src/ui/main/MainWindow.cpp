#include "ui/main/MainWindow.h"

#include "common/OnScopeExit.h"
#include "common/PathUtils.h"
#include "platform/ProcessLock.h"
#include "platform/desktop/PowerInhibit.h"
#include "platform/files/FolderCheck.h"
#include "ui/browse/BrowseDialog.h"
#include "ui/browse/BrowsePaths.h"
#include "ui/main/details/MainChecksumList.h"
#include "ui/main/details/MainDetailsExport.h"
#include "ui/main/details/MainDetailsModel.h"
#include "ui/main/MainFolderDrop.h"
#include "ui/main/look/MainFonts.h"
#include "ui/main/look/MainGroupFrame.h"
#include "ui/main/MainMessageBoxes.h"
#include "ui/main/MainRunAnnouncer.h"
#include "ui/main/MainSettings.h"
#include "ui/main/MainVerifyView.h"
#include "ui/usage/UsageAboutBox.h"
#include "ui/usage/UsageWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QMenuBar>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <exception>
#include <filesystem>

namespace ovik {
namespace {

QString Decode(const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); }

// The window's client area at design time: 6 + 595 + 6 pixels wide.
constexpr int kDesignClientWidth = 607;

bool IsDragOrDrop(QEvent::Type type) {
  return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

// The root folder "/" keeps its separator: stripped, it would read as no
// folder at all.
std::string ComparableFolder(const std::string& text) { return text == "/" ? text : StripTrailingBackslash(text); }

}  // namespace

TfrmMain::TfrmMain(QWidget* parent, FileSystem& fileSystem) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Ovik");
  setFont(MainWindowFont());
  BuildControls();
  announcer_ = std::make_unique<RunAnnouncer>(*this);
  view_ = std::make_unique<MainVerifyView>(*this);
  engine_ = std::make_unique<VerifyEngine>(*view_, fileSystem);
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
  // The sideways scroll bar comes and goes with the widest line.
  connect(lstResults->horizontalScrollBar(), &QScrollBar::rangeChanged, this, &TfrmMain::ArrangeMainWindow);
  connect(mnuFileSaveAll, &QAction::triggered, this, &TfrmMain::mnuFileSaveAllClick);
  connect(mnuFileSaveErrorsOnly, &QAction::triggered, this, &TfrmMain::mnuFileSaveErrorsOnlyClick);
  connect(mnuFileSaveNonErrorsOnly, &QAction::triggered, this, &TfrmMain::mnuFileSaveNonErrorsOnlyClick);
  connect(mnuFileSaveSelectedOnly, &QAction::triggered, this, &TfrmMain::mnuFileSaveSelectedOnlyClick);
  connect(mnuFileVerifyWithList, &QAction::triggered, this, &TfrmMain::mnuFileVerifyWithListClick);
  connect(mnuFileRecordChecksums, &QAction::triggered, this, &TfrmMain::mnuFileRecordChecksumsClick);
  connect(mnuFileSaveChecksums, &QAction::triggered, this, &TfrmMain::mnuFileSaveChecksumsClick);
  connect(mnuFileIncludeHidden, &QAction::triggered, this, &TfrmMain::mnuFileIncludeHiddenClick);
  connect(mnuFileKeepAwake, &QAction::triggered, this, &TfrmMain::mnuFileKeepAwakeClick);
  connect(mnuFileExit, &QAction::triggered, this, &TfrmMain::mnuFileExitClick);
  connect(mnuEditCopyAll, &QAction::triggered, this, &TfrmMain::mnuEditCopyAllClick);
  connect(mnuEditCopyErrorsOnly, &QAction::triggered, this, &TfrmMain::mnuEditCopyErrorsOnlyClick);
  connect(mnuEditCopyNonErrorsOnly, &QAction::triggered, this, &TfrmMain::mnuEditCopyNonErrorsOnlyClick);
  connect(mnuCopySelectedOnly, &QAction::triggered, this, &TfrmMain::mnuCopySelectedOnlyClick);
  connect(mnuHelpUsage, &QAction::triggered, this, &TfrmMain::mnuHelpUsageClick);
  connect(mnuHelpAbout, &QAction::triggered, this, &TfrmMain::mnuHelpAboutClick);
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

// A checksum list and its folder are never swapped.
void TfrmMain::UpdateButtons() {
  const std::string source = ComparableFolder(srcFolder_);
  const std::string destination = ComparableFolder(dstFolder_);
  const bool differ = source != destination;
  btnCompare->setEnabled(differ && !source.empty() && !destination.empty());
  btnSwap->setEnabled(differ && !(source.empty() && destination.empty()) && !checkingList_);
}

void TfrmMain::btnCompareClick() {
  if (engine_->runState == RunState::Verifying) return;
  // Copies: the fields cannot change during the run, but the engine must not
  // hold references into them.
  const std::string source = srcFolder_;
  const std::string destination = dstFolder_;
  // The results must match the choices they were made with.
  SetRunMenusEnabled(false);
  try {
    RunEngine(source, destination);
    view_->Flush();
  } catch (const std::exception& error) {
    // The engine has already restored the commands; the event loop cannot
    // carry an exception, so its message is shown here.
    view_->Flush();
    ShowError(QString::fromLocal8Bit(error.what()));
  }
  SetRunMenusEnabled(true);
}

// Sleep is held off and the desktop hears of the run from its start to its
// end, however it ends.
void TfrmMain::RunEngine(const std::string& source, const std::string& destination) {
  HoldSleepOff(mnuFileKeepAwake->isChecked());
  announcer_->RunStarted();
  const OnScopeExit runEnded([this] {
    HoldSleepOff(false);
    AnnounceRunEnd();
  });
  if (checkingList_) engine_->CheckCommand(source, destination);
  else engine_->VerifyCommand(source, destination);
}

void TfrmMain::HoldSleepOff(bool hold) {
  if (!hold) sleepLock_.reset();
  else if (sleepLock_ == nullptr) sleepLock_ = std::make_unique<PowerInhibit>(RunSleepReason(srcFolder_, dstFolder_, checkingList_));
}

void TfrmMain::AnnounceRunEnd() {
  view_->Flush();
  const Verdict verdict = engine_->verdict;
  const VerifyTotals& totals = engine_->totals;
  const std::string line = RunTotalsLine(totals.DstFileCount, totals.DstByteTotal,
                                         lblElapsedTime->text().toStdString(), totals.ErrorCount);
  announcer_->RunEnded(verdict == Verdict::None ? std::string() : VerdictText(verdict), line);
}

// The File items that start a run or change what a run does, and the list
// a run recorded.
void TfrmMain::SetRunMenusEnabled(bool enabled) {
  for (QAction* item : {mnuFileVerifyWithList, mnuFileRecordChecksums, mnuFileIncludeHidden})
    item->setEnabled(enabled);
  mnuFileSaveChecksums->setEnabled(enabled && engine_->HasRecordedSums());
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

void TfrmMain::FormResize() { ArrangeMainWindow(); }

void TfrmMain::btnDetailsClick() { ToggleDetails(); }

// A new source is a folder again; a new destination is checked against the
// same list.
void TfrmMain::edtSrcChange() {
  checkingList_ = false;
  edtDstChange();
}

void TfrmMain::edtDstChange() {
  engine_->ResetResults();
  mnuFileSaveChecksums->setEnabled(false);
  UpdateButtons();
  view_->Flush();
}

// The folder fields as shown and the list in its order, with its selection.
DetailsContext TfrmMain::CurrentDetails() const {
  const QItemSelectionModel* selection = lstResults->selectionModel();
  const DetailsListModel* model = detailsModel_;
  return {srcFolder_, dstFolder_, model->Details(),
          [selection, model](std::size_t row) { return selection->isSelected(model->index(static_cast<int>(row))); },
          model->HasNotes()};
}

// A note shows when exactly one line is selected and it has one. The
// selection is counted by its ranges: a selection of every line of a long
// list is one range.
void TfrmMain::ShowSelectedNote() {
  const QItemSelection selection = lstResults->selectionModel()->selection();
  std::string_view note;
  if (selection.size() == 1 && selection.front().height() == 1) note = detailsModel_->NoteAt(selection.front().top());
  const QString text = QFile::decodeName(QByteArray(note.data(), static_cast<qsizetype>(note.size())));
  if (memLineNote->toPlainText() != text) memLineNote->setPlainText(text);
  if (memLineNote->isHidden() != text.isEmpty()) {
    memLineNote->setVisible(!text.isEmpty());
    ArrangeMainWindow();
  }
}

void TfrmMain::SaveDetails(ReportFilter filter) { ovik::SaveDetails(this, CurrentDetails(), filter); }

void TfrmMain::CopyDetails(ReportFilter filter) { ovik::CopyDetails(CurrentDetails(), filter); }

void TfrmMain::mnuFileSaveAllClick() { SaveDetails(ReportFilter::All); }
void TfrmMain::mnuFileSaveErrorsOnlyClick() { SaveDetails(ReportFilter::ErrorsOnly); }
void TfrmMain::mnuFileSaveNonErrorsOnlyClick() { SaveDetails(ReportFilter::NonErrorsOnly); }
void TfrmMain::mnuFileSaveSelectedOnlyClick() { SaveDetails(ReportFilter::SelectedOnly); }
// Results of the other choice no longer match it: they go, as with a new
// folder.
void TfrmMain::mnuFileIncludeHiddenClick() {
  engine_->includeHidden = mnuFileIncludeHidden->isChecked();
  edtDstChange();
}

// Remembered for the next start, and in force at once, also for a run
// under way.
void TfrmMain::mnuFileKeepAwakeClick() {
  SaveKeepAwakeSetting(mnuFileKeepAwake->isChecked());
  HoldSleepOff(mnuFileKeepAwake->isChecked() && engine_->runState == RunState::Verifying);
}

void TfrmMain::mnuFileVerifyWithListClick() { VerifyWithChecksumList(); }

// Takes effect with the next run; the results stand.
void TfrmMain::mnuFileRecordChecksumsClick() { engine_->recordSums = mnuFileRecordChecksums->isChecked(); }

void TfrmMain::mnuFileSaveChecksumsClick() { SaveChecksumList(); }

void TfrmMain::VerifyWithChecksumList() {
  if (engine_->runState == RunState::Verifying) return;
  const auto list = AskListToCheck(this);
  if (!list) return;
  const auto folder = ChooseFolder(false, FolderOf(*list), *this, BrowseWindow());
  if (!folder) return;
  SetFolderFieldText(true, *list);
  SetFolderFieldText(false, *folder);
  checkingList_ = true;
  UpdateButtons();
  btnCompareClick();
}

void TfrmMain::SaveChecksumList() {
  if (!engine_->HasRecordedSums()) return;
  if (const auto path = AskListFile(this, ComparableFolder(dstFolder_)))
    SaveListTo(this, *path, engine_->RecordedSums());
}

void TfrmMain::mnuEditCopyAllClick() { CopyDetails(ReportFilter::All); }
void TfrmMain::mnuEditCopyErrorsOnlyClick() { CopyDetails(ReportFilter::ErrorsOnly); }
void TfrmMain::mnuEditCopyNonErrorsOnlyClick() { CopyDetails(ReportFilter::NonErrorsOnly); }
void TfrmMain::mnuCopySelectedOnlyClick() { CopyDetails(ReportFilter::SelectedOnly); }

void TfrmMain::mnuHelpUsageClick() { UsageWindow().exec(); }

void TfrmMain::mnuHelpAboutClick() { ShowAboutBox(this); }

void TfrmMain::mnuFileExitClick() { close(); }

void TfrmMain::OpenStartFolders(const std::vector<std::string>& folders) {
  if (folders.empty()) return;
  if (folders.size() > 2) {
    ShowError("Ovik takes a source folder and a destination folder, not " + QString::number(folders.size()) +
              " names");
    return;
  }
  std::vector<std::string> chosen;
  const std::string current = std::filesystem::current_path().native();
  for (const std::string& folder : folders) {
    const std::string problem = FolderProblem(folder);
    if (!problem.empty()) {
      ShowError(Decode(folder) + ": " + QString::fromLocal8Bit(problem));
      return;
    }
    chosen.push_back(NormalizedFolderPath(folder, current));
  }
  for (std::size_t side = 0; side < chosen.size(); ++side) WriteChosenFolder(side == 0, *this, chosen[side]);
}

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

// The colours of the status line, the counters and the bar depend on the
// palette, so a new palette (the desktop turning dark) shows them anew.
void TfrmMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  const bool paletteChanged =
      event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange;
  if (paletteChanged && view_ != nullptr) view_->ReapplyColours();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == clientArea && event->type() == QEvent::Resize) {
    FormResize();
  } else if (event->type() == QEvent::MouseButtonDblClick && (watched == edtSrc || watched == edtDst)) {
    if (engine_->runState != RunState::Verifying) BrowseFolder(watched == edtSrc);
    return true;
  } else if (IsDragOrDrop(event->type()) && (watched == edtSrc || watched == edtDst)) {
    // A folder dropped from the file manager counts as chosen in the browser.
    auto& drag = static_cast<QDropEvent&>(*event);
    if (const auto folder = AnswerFolderDrag(drag, engine_->runState == RunState::Verifying))
      WriteChosenFolder(watched == edtSrc, *this, *folder);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace ovik
