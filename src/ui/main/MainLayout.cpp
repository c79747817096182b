// The main window's layout rules: the sizes that follow the window and the
// details frame that can be shown and hidden.
#include "ui/main/details/MainDetailsModel.h"
#include "ui/main/look/MainGroupFrame.h"
#include "ui/main/MainWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

namespace ovik {
namespace {

constexpr int kMinimumClientWidth = 600;
constexpr int kClientHeightWithoutDetails = 206;
constexpr int kMinimumClientHeightWithDetails = 400;
constexpr int kMargin = 6;

}  // namespace

int TfrmMain::ListRowHeight() const { return detailsModel_->RowHeight(); }

void TfrmMain::ToggleDetails() {
  if (grpDetails->isVisibleTo(this)) {
    grpDetails->hide();
    btnDetails->setText("&More details");
  } else {
    grpDetails->show();
    btnDetails->setText("&Less details");
  }
  ArrangeMainWindow();
}

void TfrmMain::ArrangeMainWindow() {
  // The limits are size constraints of the client area, so the window
  // manager enforces them while the user drags an edge.
  clientArea->setMinimumWidth(kMinimumClientWidth);
  const int clientWidth = std::max(clientArea->width(), kMinimumClientWidth);

  grpSelect->resize(clientWidth - grpSelect->x() - kMargin, grpSelect->height());
  edtSrc->resize(grpSelect->width() - edtSrc->x() - kMargin, edtSrc->height());
  edtDst->resize(edtSrc->width(), edtDst->height());
  lblStretch->move(edtSrc->x() + edtSrc->width() - lblStretch->width(), lblStretch->y());

  grpResults->resize(grpSelect->width(), grpResults->height());
  pbrVerifyProgress->resize(grpResults->width() - pbrVerifyProgress->x() - kMargin, pbrVerifyProgress->height());
  lblCurrFileName->setMaximumWidth(grpResults->width() - lblCurrFileName->x() - kMargin);

  // The window's own limits too: its layout passes on the client area's
  // minimum but not its maximum.
  const int menuHeight = menuBar()->sizeHint().height();
  if (!grpDetails->isVisibleTo(this)) {
    clientArea->setFixedHeight(kClientHeightWithoutDetails);
    setFixedHeight(kClientHeightWithoutDetails + menuHeight);
    return;
  }
  clientArea->setMinimumHeight(kMinimumClientHeightWithDetails);
  clientArea->setMaximumHeight(QWIDGETSIZE_MAX);
  setMinimumHeight(kMinimumClientHeightWithDetails + menuHeight);
  setMaximumHeight(QWIDGETSIZE_MAX);
  const int clientHeight = std::max(clientArea->height(), kMinimumClientHeightWithDetails);
  grpDetails->resize(grpResults->width(), clientHeight - grpDetails->y() - 8);

  // The list shows whole lines only, above its sideways scroll bar when
  // lines are wider than the list.
  const QScrollBar* sideways = lstResults->horizontalScrollBar();
  const int chrome = 2 * lstResults->frameWidth() + (sideways->maximum() > 0 ? sideways->sizeHint().height() : 0);
  const int rowHeight = ListRowHeight();
  const int noteHeight = memLineNote->isHidden() ? 0 : 3 * rowHeight + 2 * memLineNote->frameWidth() + 4;
  const int available = grpDetails->height() - lstResults->y() - 4 - chrome - noteHeight;
  const int listHeight = std::max(rowHeight, available / rowHeight * rowHeight) + chrome;
  const int width = grpResults->width() - lstResults->x() - kMargin;
  lstResults->resize(width, listHeight);
  if (noteHeight > 0) memLineNote->setGeometry(lstResults->x(), lstResults->y() + listHeight + 2, width, noteHeight - 2);
}

}  // namespace ovik
