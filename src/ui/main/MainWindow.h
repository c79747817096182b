#pragma once

#include "engine/VerifyEngine.h"
#include "reports/ReportFilter.h"
#include "ui/main/MainBrowseFolder.h"
#include "ui/main/details/DetailsListView.h"
#include "ui/main/details/MainDetailsExport.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QStyle;

namespace ovik {

class DetailsListModel;
class GroupFrame;
class MainVerifyView;
class PowerInhibit;
class ProcessLock;
class RunAnnouncer;
class TfrmBrowse;
class TfrmUsage;

// The program's main window: the folder fields, the commands, the totals,
// the status line, the progress bar, the details list and the menus. It is
// the display of the verify engine it owns.
class TfrmMain : public QMainWindow, public BrowseFolderHost {
  Q_OBJECT

 public:
  // Tests hand in a file system of their own.
  explicit TfrmMain(QWidget* parent = nullptr, FileSystem& fileSystem = SystemFileSystem());
  ~TfrmMain() override;

  // The folder browser and the usage window, created after this window.
  void AttachWindows(TfrmBrowse* browse, TfrmUsage* usage);

  // Folder fields as bytes.
  std::string FolderFieldText(bool isSource) const override;
  void SetFolderFieldText(bool isSource, const std::string& text) override;
  void ResetRunStateToIdle() override;

  VerifyEngine& Engine() { return *engine_; }
  VerifyView& View();
  const DetailsListModel& DetailsModel() const { return *detailsModel_; }

  void UpdateButtons();
  void ArrangeMainWindow();
  void ToggleDetails();
  void BrowseFolder(bool isSource);
  void SaveDetails(ReportFilter filter);
  void CopyDetails(ReportFilter filter);
  // Asks for a checksum list and the folder it describes, shows them in the
  // two fields and checks the folder against the list.
  void VerifyWithChecksumList();
  void SaveChecksumList();
  // Fills the folder fields with the folders the program was started
  // with, SOURCE [DESTINATION]; when one cannot be used, fills nothing and
  // says why in an error box.
  void OpenStartFolders(const std::vector<std::string>& folders);
  // The close rules; true when the window may close.
  bool FormCloseQuery();

  // Event handlers.
  void btnCompareClick();
  void btnAbortClick();
  void btnBrowseSrcClick();
  void btnBrowseDstClick();
  void btnSwapClick();
  void btnDetailsClick();
  void edtSrcChange();
  void edtDstChange();
  void FormResize();
  void mnuFileSaveAllClick();
  void mnuFileSaveErrorsOnlyClick();
  void mnuFileSaveNonErrorsOnlyClick();
  void mnuFileSaveSelectedOnlyClick();
  void mnuFileVerifyWithListClick();
  void mnuFileRecordChecksumsClick();
  void mnuFileSaveChecksumsClick();
  void mnuFileIncludeHiddenClick();
  void mnuFileKeepAwakeClick();
  void mnuEditCopyAllClick();
  void mnuEditCopyErrorsOnlyClick();
  void mnuEditCopyNonErrorsOnlyClick();
  void mnuCopySelectedOnlyClick();
  void mnuHelpUsageClick();
  void mnuHelpAboutClick();
  void mnuFileExitClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class MainVerifyView;

  void FormCreate();
  void BuildControls();
  void BuildSelectFrame();
  void BuildResultsFrame();
  void BuildDetailsFrame();
  void BuildMenu();
  void SetTabOrder();
  void ConnectHandlers();
  QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top);
  static QLabel* SetLabelFont(QLabel* label, const QFont& font);
  QPushButton* AddButton(QWidget* parent, const char* name, const QString& text, QRect geometry);
  QAction* AddMenuItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut);
  void PlaceRowHead(QLabel* label, int rightEdge);
  void PlaceAfterCaption(QLabel* value, const QLabel* caption);
  int ListRowHeight() const;
  DetailsContext CurrentDetails() const;
  void ShowSelectedNote();
  void SetRunMenusEnabled(bool enabled);
  void RunEngine(const std::string& source, const std::string& destination);
  void HoldSleepOff(bool hold);
  void AnnounceRunEnd();
  TfrmBrowse& BrowseWindow();
  TfrmUsage& UsageWindow();

 public:
  // Controls, named as their objectName.
  QWidget* clientArea = nullptr;
  GroupFrame* grpSelect = nullptr;
  GroupFrame* grpResults = nullptr;
  GroupFrame* grpDetails = nullptr;
  QPushButton* btnCompare = nullptr;
  QPushButton* btnAbort = nullptr;
  QPushButton* btnBrowseSrc = nullptr;
  QPushButton* btnBrowseDst = nullptr;
  QPushButton* btnSwap = nullptr;
  QPushButton* btnDetails = nullptr;
  QLineEdit* edtSrc = nullptr;
  QLineEdit* edtDst = nullptr;
  QLabel* lblStretch = nullptr;
  QLabel* lblStatus = nullptr;
  QLabel* lblTotals = nullptr;
  QLabel* lblSrc = nullptr;
  QLabel* lblDst = nullptr;
  QLabel* lblErrors = nullptr;
  QLabel* lblFiles = nullptr;
  QLabel* lblFolders = nullptr;
  QLabel* lblBytes = nullptr;
  QLabel* lblNumSrcFiles = nullptr;
  QLabel* lblNumDstFiles = nullptr;
  QLabel* lblNumErrors = nullptr;
  QLabel* lblNumSrcFolders = nullptr;
  QLabel* lblNumDstFolders = nullptr;
  QLabel* lblNumSrcBytes = nullptr;
  QLabel* lblNumDstBytes = nullptr;
  QLabel* lblElapsed = nullptr;
  QLabel* lblElapsedTime = nullptr;
  QLabel* lblProgress = nullptr;
  QLabel* lblFileBytes = nullptr;
  QLabel* lblNumFileBytes = nullptr;
  QLabel* lblFile = nullptr;
  QLabel* lblCurrFileName = nullptr;
  QProgressBar* pbrVerifyProgress = nullptr;
  QLabel* lblErrorDetails = nullptr;
  QLabel* lblDstFilesMissing = nullptr;
  QLabel* lblNumDstFilesMissing = nullptr;
  QLabel* lblSrcReadErrs = nullptr;
  QLabel* lblNumSrcReadErrs = nullptr;
  QLabel* lblDstReadErrs = nullptr;
  QLabel* lblNumDstReadErrs = nullptr;
  QLabel* lblMismatches = nullptr;
  QLabel* lblNumMismatches = nullptr;
  QLabel* lblList = nullptr;
  DetailsListView* lstResults = nullptr;
  // The note of the one selected line, under the list; hidden otherwise.
  QPlainTextEdit* memLineNote = nullptr;
  QMenu* mnuFile = nullptr;
  QMenu* mnuEdit = nullptr;
  QMenu* mnuHelp = nullptr;
  QAction* mnuFileSaveAll = nullptr;
  QAction* mnuFileSaveErrorsOnly = nullptr;
  QAction* mnuFileSaveNonErrorsOnly = nullptr;
  QAction* mnuFileSaveSelectedOnly = nullptr;
  QAction* mnuFileVerifyWithList = nullptr;
  QAction* mnuFileRecordChecksums = nullptr;
  QAction* mnuFileSaveChecksums = nullptr;
  QAction* mnuFileKeepAwake = nullptr;
  QAction* mnuFileIncludeHidden = nullptr;
  QAction* mnuFileExit = nullptr;
  QAction* mnuEditCopyAll = nullptr;
  QAction* mnuEditCopyErrorsOnly = nullptr;
  QAction* mnuEditCopyNonErrorsOnly = nullptr;
  QAction* mnuCopySelectedOnly = nullptr;
  QAction* mnuHelpUsage = nullptr;
  QAction* mnuHelpAbout = nullptr;

 private:
  std::string srcFolder_;
  std::string dstFolder_;
  // The source field holds a checksum list, and Verify checks the
  // destination folder against it.
  bool checkingList_ = false;
  DetailsListModel* detailsModel_ = nullptr;
  std::unique_ptr<MainVerifyView> view_;
  std::unique_ptr<VerifyEngine> engine_;
  std::unique_ptr<ProcessLock> processLock_;
  std::unique_ptr<RunAnnouncer> announcer_;
  // Held while a run lasts and File, Keep the computer awake is ticked.
  std::unique_ptr<PowerInhibit> sleepLock_;
  TfrmBrowse* frmBrowse_ = nullptr;
  TfrmUsage* frmUsage_ = nullptr;
};

}  // namespace ovik
