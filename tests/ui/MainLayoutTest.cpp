#include "MainTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QProgressBar>
#include <QScrollBar>

#include <gtest/gtest.h>

namespace ovik::testing {
namespace {

void ResizeClient(TfrmMain& window, int width, int height) {
  const QSize frame = window.size() - window.clientArea->size();
  window.resize(width + frame.width(), height + frame.height());
  QApplication::processEvents();
}

void ExpectWidthsFollow(const TfrmMain& window, int clientWidth) {
  SCOPED_TRACE(clientWidth);
  EXPECT_EQ(window.clientArea->width(), clientWidth);
  EXPECT_EQ(window.grpSelect->width(), clientWidth - 12);
  EXPECT_EQ(window.edtSrc->width(), window.grpSelect->width() - 168 - 6);
  EXPECT_EQ(window.edtDst->width(), window.edtSrc->width());
  EXPECT_EQ(window.lblStretch->geometry().right(), window.edtSrc->geometry().right());
  EXPECT_EQ(window.grpResults->width(), window.grpSelect->width());
  EXPECT_EQ(window.pbrVerifyProgress->width(), window.grpResults->width() - 241 - 6);
}

TEST(MainWindowLayout, OpensAtTheDesignWidthWithTheFixedHeight) {
  auto window = MakeMainWindow();
  ExpectWidthsFollow(*window, 607);
  EXPECT_EQ(window->clientArea->height(), 206);
}

TEST(MainWindowLayout, WithoutDetailsOnlyTheWidthFollowsTheWindow) {
  auto window = MakeMainWindow();
  for (int width : {900, 650, 600}) {
    ResizeClient(*window, width, 500);
    ExpectWidthsFollow(*window, width);
    EXPECT_EQ(window->clientArea->height(), 206);
  }
  ResizeClient(*window, 400, 100);
  ExpectWidthsFollow(*window, 600);
  EXPECT_EQ(window->clientArea->height(), 206);
}

TEST(MainWindowLayout, DetailsNeedAtLeast400AndTheListShowsWholeLines) {
  auto window = MakeMainWindow();
  window->btnDetails->click();
  QApplication::processEvents();
  EXPECT_EQ(window->btnDetails->text(), "&Less details");
  EXPECT_TRUE(window->grpDetails->isVisible());
  EXPECT_EQ(window->clientArea->height(), 400);

  for (const QSize client : {QSize(700, 400), QSize(800, 611), QSize(600, 999), QSize(650, 300)}) {
    ResizeClient(*window, client.width(), client.height());
    const int height = std::max(client.height(), 400);
    SCOPED_TRACE(height);
    ExpectWidthsFollow(*window, client.width());
    EXPECT_EQ(window->clientArea->height(), height);
    EXPECT_EQ(window->grpDetails->height(), height - 200 - 8);
    EXPECT_EQ(window->grpDetails->width(), window->grpResults->width());
    EXPECT_EQ(window->lstResults->width(), window->grpResults->width() - 6 - 6);
    const int rows = window->lstResults->height() - 2 * window->lstResults->frameWidth();
    const int rowHeight = std::max(window->lstResults->fontMetrics().height(), 13);
    EXPECT_EQ(rows % rowHeight, 0);
    EXPECT_LE(window->lstResults->geometry().bottom(), window->grpDetails->height() - 4);
    const int gapBelow = window->grpDetails->height() - 4 - (window->lstResults->geometry().bottom() + 1);
    EXPECT_GE(gapBelow, 0);
    EXPECT_LT(gapBelow, rowHeight);
  }

  window->btnDetails->click();
  QApplication::processEvents();
  EXPECT_EQ(window->btnDetails->text(), "&More details");
  EXPECT_FALSE(window->grpDetails->isVisible());
  EXPECT_EQ(window->clientArea->height(), 206);
}

TEST(MainWindowLayout, TheListKeepsWholeLinesAboveItsSidewaysScrollBar) {
  auto window = MakeMainWindow();
  window->btnDetails->click();
  const std::string longName(400, 'w');
  ovik::ResultLine line;
  line.name = longName;
  window->View().AppendResult(line);
  window->View().SetResultsSorted(true);
  QApplication::processEvents();
  const QScrollBar* sideways = window->lstResults->horizontalScrollBar();
  ASSERT_GT(sideways->maximum(), 0);
  const int rowHeight = std::max(window->lstResults->fontMetrics().height(), 13);
  EXPECT_EQ(window->lstResults->viewport()->height() % rowHeight, 0);
}

TEST(MainWindowLayout, RowHeadsEndBeforeTheFirstColumnAndCaptionsFit) {
  auto window = MakeMainWindow();
  for (const QLabel* head : {window->lblFiles, window->lblFolders, window->lblBytes})
    EXPECT_LT(head->geometry().right(), 241) << head->objectName().toStdString();
  for (const QPushButton* button : {window->btnCompare, window->btnAbort, window->btnBrowseSrc,
                                    window->btnBrowseDst, window->btnSwap, window->btnDetails}) {
    const int textWidth = button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&'));
    EXPECT_LE(textWidth + 4, button->width()) << button->objectName().toStdString();
  }
  EXPECT_LT(window->lblStatus->fontInfo().pixelSize(), 20);
  const QList<const QLabel*> captionRow = {window->lblErrorDetails, window->lblDstFilesMissing,
                                           window->lblSrcReadErrs, window->lblDstReadErrs, window->lblMismatches};
  for (qsizetype i = 1; i < captionRow.size(); ++i)
    EXPECT_LT(captionRow[i - 1]->geometry().right(), captionRow[i]->x()) << captionRow[i]->objectName().toStdString();
  const QList<const QLabel*> columnHeads = {window->lblTotals, window->lblSrc, window->lblDst, window->lblErrors};
  for (qsizetype i = 1; i < columnHeads.size(); ++i)
    EXPECT_LT(columnHeads[i - 1]->geometry().right(), columnHeads[i]->x()) << columnHeads[i]->objectName().toStdString();
  EXPECT_LT(window->lblElapsed->geometry().right() + 3, window->lblElapsedTime->x());
  EXPECT_LT(window->lblFileBytes->geometry().right() + 3, window->lblNumFileBytes->x());
  EXPECT_LT(window->lblFile->geometry().right() + 3, window->lblCurrFileName->x());
}

}  // namespace
}  // namespace ovik::testing
