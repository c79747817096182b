#include "ui/main/MainVerifyView.h"

#include "ui/main/look/MainColours.h"
#include "ui/main/details/DetailsListView.h"
#include "ui/main/details/MainDetailsModel.h"
#include "ui/main/MainMessageBoxes.h"
#include "ui/main/MainRunAnnouncer.h"
#include "ui/main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace ovik {
namespace {

QString Decode(std::string_view bytes) {
  return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

void SetTextColour(QWidget& widget, const QColor& wanted) {
  if (widget.palette().color(QPalette::WindowText) == wanted) return;
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, wanted);
  widget.setPalette(palette);
}

void SetLabelTextAndSize(QLabel& label, const QString& text) {
  if (label.text() == text) return;
  label.setText(text);
  label.adjustSize();
}

}  // namespace

MainVerifyView::MainVerifyView(TfrmMain& window) : window_(window) { sinceFlush_.start(); }

QLabel* MainVerifyView::LabelOf(ViewLabel label) const {
  TfrmMain& w = window_;
  switch (label) {
    case ViewLabel::NumSrcFiles: return w.lblNumSrcFiles;
    case ViewLabel::NumSrcFolders: return w.lblNumSrcFolders;
    case ViewLabel::NumSrcBytes: return w.lblNumSrcBytes;
    case ViewLabel::NumDstFiles: return w.lblNumDstFiles;
    case ViewLabel::NumDstFolders: return w.lblNumDstFolders;
    case ViewLabel::NumDstBytes: return w.lblNumDstBytes;
    case ViewLabel::NumErrors: return w.lblNumErrors;
    case ViewLabel::NumDstFilesMissing: return w.lblNumDstFilesMissing;
    case ViewLabel::NumSrcReadErrs: return w.lblNumSrcReadErrs;
    case ViewLabel::NumDstReadErrs: return w.lblNumDstReadErrs;
    case ViewLabel::NumMismatches: return w.lblNumMismatches;
    case ViewLabel::CurrFileName: return w.lblCurrFileName;
    case ViewLabel::NumFileBytes: return w.lblNumFileBytes;
    case ViewLabel::ElapsedTime: return w.lblElapsedTime;
    case ViewLabel::Progress: return w.lblProgress;
    case ViewLabel::FileBytes: return w.lblFileBytes;
    case ViewLabel::File: return w.lblFile;
    case ViewLabel::Elapsed: return w.lblElapsed;
  }
  return nullptr;
}

void MainVerifyView::SetStatus(std::string_view text, Colour colour) {
  SetLabelTextAndSize(*window_.lblStatus, Decode(text));
  statusColour_ = colour;
  SetTextColour(*window_.lblStatus, ShownTextColour(colour, window_.palette()));
  // A new status is a new phase: show everything that led up to it, and let
  // the pump that follows reach the screen, since the phase (sorting a long
  // list, say) may keep the window busy for a while.
  Flush();
  sinceEvents_.invalidate();
}

void MainVerifyView::SetLabelText(ViewLabel label, std::string_view text) {
  heldTexts_[static_cast<std::size_t>(label)].emplace(text);
  holding_ = true;
}

void MainVerifyView::SetLabelColour(ViewLabel label, Colour colour) {
  labelColours_[static_cast<std::size_t>(label)] = colour;
  if (QLabel* widget = LabelOf(label)) SetTextColour(*widget, ShownTextColour(colour, window_.palette()));
}

void MainVerifyView::SetLabelVisible(ViewLabel label, bool visible) {
  QLabel* widget = LabelOf(label);
  if (widget != nullptr && widget->isVisibleTo(widget->parentWidget()) != visible) widget->setVisible(visible);
}

void MainVerifyView::SetProgress(int position) {
  const int clamped = std::clamp(position, 0, 100);
  if (window_.pbrVerifyProgress->value() != clamped) window_.pbrVerifyProgress->setValue(clamped);
  window_.announcer_->ProgressShown(clamped);
}

// The bar turns red at the first error.
void MainVerifyView::SetProgressColour(Colour colour) {
  barColour_ = colour;
  if (colour == Colour::Red) window_.announcer_->ErrorShown();
  QProgressBar& bar = *window_.pbrVerifyProgress;
  const QColor wanted = ShownBarColour(colour, window_.palette());
  if (bar.palette().color(QPalette::Highlight) == wanted) return;
  QPalette palette = bar.palette();
  palette.setColor(QPalette::Active, QPalette::Highlight, wanted);
  palette.setColor(QPalette::Inactive, QPalette::Highlight, wanted);
  palette.setColor(QPalette::Disabled, QPalette::Highlight, wanted);
  bar.setPalette(palette);
}

void MainVerifyView::AppendResult(const ResultLine& line) {
  window_.detailsModel_->Append(line);
  holding_ = true;
}

void MainVerifyView::ScrollResultsAlong() {
  ++heldScrollSteps_;
  holding_ = true;
}

void MainVerifyView::ScrollResultsToTop() {
  FlushResults();
  window_.lstResults->scrollToTop();
}

void MainVerifyView::ClearResults() {
  heldScrollSteps_ = 0;
  window_.detailsModel_->Clear();
}

void MainVerifyView::SetResultsSorted(bool sorted) {
  FlushResults();
  // A long sort runs aside while the window goes on answering.
  window_.detailsModel_->SetSorted(sorted, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
}

void MainVerifyView::SetResultsVisible(bool visible) {
  FlushResults();
  window_.lstResults->setVisible(visible);
}

std::size_t MainVerifyView::ResultCount() const { return window_.detailsModel_->LineCount(); }

void MainVerifyView::SetSaveAndCopyEnabled(bool enabled) {
  TfrmMain& w = window_;
  for (QAction* item : {w.mnuFileSaveAll, w.mnuFileSaveErrorsOnly, w.mnuFileSaveNonErrorsOnly,
                        w.mnuFileSaveSelectedOnly, w.mnuEditCopyAll, w.mnuEditCopyErrorsOnly,
                        w.mnuEditCopyNonErrorsOnly, w.mnuCopySelectedOnly})
    item->setEnabled(enabled);
  w.mnuEdit->menuAction()->setEnabled(enabled);
  w.mnuEdit->setEnabled(enabled);
}

void MainVerifyView::SetButtonEnabled(ViewButton button, bool enabled) {
  TfrmMain& w = window_;
  QPushButton* widget = nullptr;
  switch (button) {
    case ViewButton::Compare: widget = w.btnCompare; break;
    case ViewButton::Abort: widget = w.btnAbort; break;
    case ViewButton::BrowseSrc: widget = w.btnBrowseSrc; break;
    case ViewButton::BrowseDst: widget = w.btnBrowseDst; break;
    case ViewButton::Swap: widget = w.btnSwap; break;
  }
  if (widget != nullptr) widget->setEnabled(enabled);
}

void MainVerifyView::UpdateButtons() { window_.UpdateButtons(); }

void MainVerifyView::SetApplicationTitle(std::string_view title) {
  // The task bar of a Linux desktop shows the main window's title.
  window_.setWindowTitle(Decode(title));
}

void MainVerifyView::Pump() {
  if (holding_ && sinceFlush_.elapsed() >= kRepaintIntervalMs) Flush();
  if (sinceEvents_.isValid() && sinceEvents_.nsecsElapsed() < kEventIntervalNs) return;
  QCoreApplication::processEvents();
  sinceEvents_.start();
}

bool MainVerifyView::ConfirmAbort() { return AskConfirm("Abort Ovik?"); }

void MainVerifyView::ReapplyColours() {
  if (statusColour_) SetTextColour(*window_.lblStatus, ShownTextColour(*statusColour_, window_.palette()));
  for (std::size_t i = 0; i < kLabelCount; ++i) {
    QLabel* widget = LabelOf(static_cast<ViewLabel>(i));
    if (labelColours_[i] && widget != nullptr)
      SetTextColour(*widget, ShownTextColour(*labelColours_[i], window_.palette()));
  }
  if (barColour_) SetProgressColour(*barColour_);
}

void MainVerifyView::Flush() {
  FlushLabels();
  FlushResults();
  holding_ = false;
  sinceFlush_.restart();
}

void MainVerifyView::FlushLabels() {
  for (std::size_t i = 0; i < kLabelCount; ++i) {
    if (!heldTexts_[i]) continue;
    if (QLabel* widget = LabelOf(static_cast<ViewLabel>(i))) SetLabelTextAndSize(*widget, Decode(*heldTexts_[i]));
    heldTexts_[i].reset();
  }
}

void MainVerifyView::FlushResults() {
  DetailsListModel& model = *window_.detailsModel_;
  model.CommitAppends();
  if (heldScrollSteps_ == 0) return;
  // The top line moves on by one per line added, as far as the last page.
  // The view takes in the new rows now rather than later, so it can scroll
  // to them.
  DetailsListView& list = *window_.lstResults;
  list.doItemsLayout();
  const int rowHeight = std::max(1, list.sizeHintForRow(0));
  const int pageRows = std::max(1, list.viewport()->height() / rowHeight);
  const int lastTop = std::max(0, model.rowCount() - pageRows);
  const QModelIndex topIndex = list.indexAt(QPoint(1, 1));
  const int top = topIndex.isValid() ? topIndex.row() : 0;
  const int wanted = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(top) + heldScrollSteps_,
                                                            static_cast<std::size_t>(lastTop)));
  heldScrollSteps_ = 0;
  if (wanted != top) list.scrollTo(model.index(wanted), QAbstractItemView::PositionAtTop);
}

}  // namespace ovik
