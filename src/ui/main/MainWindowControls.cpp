// Construction of the main window's frames, controls and menu.
#include "ui/main/details/MainDetailsModel.h"
#include "ui/main/look/MainFonts.h"
#include "ui/main/look/MainGroupFrame.h"
#include "ui/main/MainSettings.h"
#include "ui/main/MainWindow.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>

#include <algorithm>

namespace ovik {
namespace {

// Right edge of the row heads "Files", "Sub-folders", "Bytes": they end
// just before the "Source" column at 241.
constexpr int kRowHeadRightEdge = 236;

GroupFrame* AddGroup(QWidget* parent, const char* name, QRect geometry) {
  auto* group = new GroupFrame(parent);
  group->setObjectName(name);
  group->setGeometry(geometry);
  return group;
}

QLineEdit* AddFolderField(QWidget* parent, const char* name, QRect geometry) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  // A folder dragged from the file manager may be dropped on it.
  field->setAcceptDrops(true);
  field->setGeometry(geometry);
  return field;
}

}  // namespace

QLabel* TfrmMain::AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->move(left, top);
  label->adjustSize();
  return label;
}

QLabel* TfrmMain::SetLabelFont(QLabel* label, const QFont& font) {
  label->setFont(font);
  label->adjustSize();
  return label;
}

QPushButton* TfrmMain::AddButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  // Enter presses the button that has the focus.
  button->setAutoDefault(true);
  return button;
}

QAction* TfrmMain::AddMenuItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& shortcut) {
  QAction* item = menu->addAction(text);
  item->setObjectName(name);
  item->setShortcut(shortcut);
  return item;
}

void TfrmMain::PlaceRowHead(QLabel* label, int rightEdge) { label->move(rightEdge - label->width(), label->y()); }

// A value label starts where its design puts it, or a little after its
// caption when the face writes the caption wider than that.
void TfrmMain::PlaceAfterCaption(QLabel* value, const QLabel* caption) {
  value->move(std::max(value->x(), caption->geometry().right() + 5), value->y());
}

void TfrmMain::BuildControls() {
  clientArea = new QWidget(this);
  clientArea->setObjectName("clientArea");
  setCentralWidget(clientArea);
  clientArea->installEventFilter(this);
  BuildSelectFrame();
  BuildResultsFrame();
  BuildDetailsFrame();
  // Later frames lie over the bottom edge of the earlier ones.
  grpSelect->lower();
  grpDetails->raise();
  BuildMenu();
  SetTabOrder();
}

void TfrmMain::BuildSelectFrame() {
  grpSelect = AddGroup(clientArea, "grpSelect", {6, 0, 595, 89});
  btnCompare = AddButton(grpSelect, "btnCompare", "&Verify", {8, 15, 57, 23});
  btnCompare->setDefault(true);
  btnAbort = AddButton(grpSelect, "btnAbort", "&Abort", {8, 56, 57, 23});
  btnAbort->setEnabled(false);
  btnBrowseSrc = AddButton(grpSelect, "btnBrowseSrc", "Browse &source...", {75, 15, 89, 23});
  btnBrowseDst = AddButton(grpSelect, "btnBrowseDst", "Browse &destn...", {75, 56, 89, 23});
  edtSrc = AddFolderField(grpSelect, "edtSrc", {168, 16, 417, 21});
  edtDst = AddFolderField(grpSelect, "edtDst", {168, 57, 417, 21});
  edtSrc->installEventFilter(this);
  edtDst->installEventFilter(this);
  btnSwap = AddButton(grpSelect, "btnSwap", "S&wap", {170, 39, 41, 17});
  lblStretch = SetLabelFont(AddLabel(grpSelect, "lblStretch", "Stretch window as reqd -->", 456, 40), ItalicFont());
}

void TfrmMain::BuildResultsFrame() {
  grpResults = AddGroup(clientArea, "grpResults", {6, 80, 595, 123});
  lblStatus = SetLabelFont(AddLabel(grpResults, "lblStatus", "Status", 11, 21), StatusLineFont());
  lblTotals = SetLabelFont(AddLabel(grpResults, "lblTotals", "Totals", 194, 15), BoldFont());
  lblSrc = AddLabel(grpResults, "lblSrc", "Source", 241, 15);
  lblDst = AddLabel(grpResults, "lblDst", "Checked", 354, 15);
  lblErrors = AddLabel(grpResults, "lblErrors", "Errors", 469, 15);
  lblFiles = AddLabel(grpResults, "lblFiles", "Files", 209, 31);
  lblFolders = AddLabel(grpResults, "lblFolders", "Sub-folders", 177, 47);
  lblBytes = AddLabel(grpResults, "lblBytes", "Bytes", 204, 63);
  // Right-aligned, so the heads end before the first column whatever the
  // face's widths.
  for (QLabel* head : {lblFiles, lblFolders, lblBytes}) PlaceRowHead(head, kRowHeadRightEdge);
  lblNumSrcFiles = AddLabel(grpResults, "lblNumSrcFiles", "-", 241, 31);
  lblNumDstFiles = AddLabel(grpResults, "lblNumDstFiles", "-", 354, 31);
  lblNumErrors = AddLabel(grpResults, "lblNumErrors", "-", 469, 31);
  lblNumErrors->setFont(BoldFont());
  lblNumSrcFolders = AddLabel(grpResults, "lblNumSrcFolders", "-", 241, 47);
  lblNumDstFolders = AddLabel(grpResults, "lblNumDstFolders", "-", 354, 47);
  lblNumSrcBytes = AddLabel(grpResults, "lblNumSrcBytes", "-", 241, 63);
  lblNumDstBytes = AddLabel(grpResults, "lblNumDstBytes", "-", 354, 63);
  lblElapsed = AddLabel(grpResults, "lblElapsed", "Elapsed time:", 11, 47);
  lblElapsedTime = AddLabel(grpResults, "lblElapsedTime", "", 79, 47);
  btnDetails = AddButton(grpResults, "btnDetails", "&More details", {469, 50, 73, 23});
  lblProgress = SetLabelFont(AddLabel(grpResults, "lblProgress", "Current file", 11, 70), BoldFont());
  lblFileBytes = AddLabel(grpResults, "lblFileBytes", "Bytes checked:", 11, 86);
  lblNumFileBytes = AddLabel(grpResults, "lblNumFileBytes", "", 92, 86);
  pbrVerifyProgress = new QProgressBar(grpResults);
  pbrVerifyProgress->setObjectName("pbrVerifyProgress");
  pbrVerifyProgress->setGeometry(241, 88, 336, 8);
  pbrVerifyProgress->setRange(0, 100);
  pbrVerifyProgress->setTextVisible(false);
  // Fusion paints the bar in the palette's highlight colour, which is how
  // the bar takes the verdict's colour.
  // The window owns the style and, having made it after the client area,
  // deletes it after the bar.
  QStyle* barStyle = QStyleFactory::create("Fusion");
  barStyle->setParent(this);
  pbrVerifyProgress->setStyle(barStyle);
  lblFile = AddLabel(grpResults, "lblFile", "Name:", 11, 102);
  lblCurrFileName = AddLabel(grpResults, "lblCurrFileName", "", 49, 102);
  PlaceAfterCaption(lblElapsedTime, lblElapsed);
  PlaceAfterCaption(lblNumFileBytes, lblFileBytes);
  PlaceAfterCaption(lblCurrFileName, lblFile);
}

void TfrmMain::BuildDetailsFrame() {
  grpDetails = AddGroup(clientArea, "grpDetails", {6, 200, 595, 177});
  grpDetails->hide();
  lblErrorDetails = SetLabelFont(AddLabel(grpDetails, "lblErrorDetails", "Error details", 53, 11), BoldFont());
  lblDstFilesMissing = AddLabel(grpDetails, "lblDstFilesMissing", "Destn files missing", 128, 11);
  lblNumDstFilesMissing = AddLabel(grpDetails, "lblNumDstFilesMissing", "-", 128, 27);
  lblSrcReadErrs = AddLabel(grpDetails, "lblSrcReadErrs", "Source read errors", 241, 11);
  lblNumSrcReadErrs = AddLabel(grpDetails, "lblNumSrcReadErrs", "-", 241, 27);
  lblDstReadErrs = AddLabel(grpDetails, "lblDstReadErrs", "Destn read errors", 354, 11);
  lblNumDstReadErrs = AddLabel(grpDetails, "lblNumDstReadErrs", "-", 354, 27);
  lblMismatches = AddLabel(grpDetails, "lblMismatches", "Mismatches", 469, 11);
  lblNumMismatches = AddLabel(grpDetails, "lblNumMismatches", "-", 469, 27);
  lblList = SetLabelFont(AddLabel(grpDetails, "lblList", "File details", 8, 32), BoldFont());

  lstResults = new DetailsListView(grpDetails);
  detailsModel_ = new DetailsListModel(lstResults->fontMetrics(), this);
  lstResults->setObjectName("lstResults");
  lstResults->setGeometry(6, 48, 579, 108);
  lstResults->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  lstResults->setModel(detailsModel_);

  memLineNote = new QPlainTextEdit(grpDetails);
  memLineNote->setObjectName("memLineNote");
  memLineNote->setReadOnly(true);
  memLineNote->hide();
  connect(lstResults->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfrmMain::ShowSelectedNote);
  connect(detailsModel_, &QAbstractItemModel::modelReset, this, &TfrmMain::ShowSelectedNote);
}

void TfrmMain::BuildMenu() {
  menuBar()->setObjectName("mnuMain");
  mnuFile = menuBar()->addMenu("&File");
  mnuFile->setObjectName("mnuFile");
  mnuFileSaveAll = AddMenuItem(mnuFile, "mnuFileSaveAll", "Save all details", Qt::CTRL | Qt::Key_S);
  mnuFileSaveErrorsOnly = AddMenuItem(mnuFile, "mnuFileSaveErrorsOnly", "Save errors only", Qt::SHIFT | Qt::Key_F1);
  mnuFileSaveNonErrorsOnly =
      AddMenuItem(mnuFile, "mnuFileSaveNonErrorsOnly", "Save non-errors only", Qt::SHIFT | Qt::Key_F2);
  mnuFileSaveSelectedOnly =
      AddMenuItem(mnuFile, "mnuFileSaveSelectedOnly", "Save selected only", Qt::SHIFT | Qt::Key_F3);
  mnuFile->addSeparator();
  mnuFileVerifyWithList = AddMenuItem(mnuFile, "mnuFileVerifyWithList", "Verify with checksum list...", {});
  mnuFileRecordChecksums = AddMenuItem(mnuFile, "mnuFileRecordChecksums", "Record checksums", {});
  mnuFileRecordChecksums->setCheckable(true);
  mnuFileSaveChecksums = AddMenuItem(mnuFile, "mnuFileSaveChecksums", "Save checksum list...", {});
  mnuFileSaveChecksums->setEnabled(false);
  mnuFile->addSeparator();
  mnuFileKeepAwake = AddMenuItem(mnuFile, "mnuFileKeepAwake", "Keep the computer awake during a run", {});
  mnuFileKeepAwake->setCheckable(true);
  mnuFileKeepAwake->setChecked(KeepAwakeSetting());
  mnuFileIncludeHidden = AddMenuItem(mnuFile, "mnuFileIncludeHidden", "Include hidden folders", {});
  mnuFileIncludeHidden->setCheckable(true);
  mnuFile->addSeparator();
  mnuFileExit = AddMenuItem(mnuFile, "mnuFileExit", "E&xit", {});

  mnuEdit = menuBar()->addMenu("&Edit");
  mnuEdit->setObjectName("mnuEdit");
  mnuEditCopyAll = AddMenuItem(mnuEdit, "mnuEditCopyAll", "Copy all details", Qt::CTRL | Qt::Key_C);
  mnuEditCopyErrorsOnly = AddMenuItem(mnuEdit, "mnuEditCopyErrorsOnly", "Copy errors only", Qt::CTRL | Qt::Key_F1);
  mnuEditCopyNonErrorsOnly =
      AddMenuItem(mnuEdit, "mnuEditCopyNonErrorsOnly", "Copy non-errors only", Qt::CTRL | Qt::Key_F2);
  mnuCopySelectedOnly = AddMenuItem(mnuEdit, "mnuCopySelectedOnly", "Copy selected only", Qt::CTRL | Qt::Key_F3);

  mnuHelp = menuBar()->addMenu("&Help");
  mnuHelp->setObjectName("mnuHelp");
  mnuHelpUsage = AddMenuItem(mnuHelp, "mnuHelpUsage", "&Usage", {});
  mnuHelp->addSeparator();
  mnuHelpAbout = AddMenuItem(mnuHelp, "mnuHelpAbout", "&About", {});
}

// Frames in the order results, select, details; the focus starts on
// btnDetails.
void TfrmMain::SetTabOrder() {
  for (QWidget* passive : {static_cast<QWidget*>(pbrVerifyProgress), static_cast<QWidget*>(lblStatus)})
    passive->setFocusPolicy(Qt::NoFocus);
  const QList<QWidget*> order = {btnDetails,   edtSrc,     edtDst,  btnBrowseSrc, btnBrowseDst,
                                 btnCompare,   btnAbort,   btnSwap, lstResults};
  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
  btnDetails->setFocus();
}

}  // namespace ovik
