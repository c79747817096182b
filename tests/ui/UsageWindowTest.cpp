#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include "UsageQtApplication.h"
#include "ui/usage/UsageLayout.h"
#include "ui/usage/UsageWindow.h"

namespace ovik {
namespace {

class UsageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureUsageTestApplication();
    window = std::make_unique<TfrmUsage>();
    memo = window->findChild<QPlainTextEdit*>(QStringLiteral("memUsage"));
    button = window->findChild<QPushButton*>(QStringLiteral("btnClose"));
    ASSERT_NE(memo, nullptr);
    ASSERT_NE(button, nullptr);
  }

  void ShowAndResize(int width, int height) {
    window->show();
    window->resize(width, height);
    QApplication::processEvents();
  }

  std::unique_ptr<TfrmUsage> window;
  QPlainTextEdit* memo = nullptr;
  QPushButton* button = nullptr;
};

TEST(UsageLayoutTest, MemoAndButtonFollowTheClientHeight) {
  const UsageLayout tall = UsageLayoutFor(400);
  EXPECT_EQ(tall.memo, QRect(4, 8, 497, 355));
  EXPECT_EQ(tall.closeButton, QRect(440, 371, 65, 23));

  const UsageLayout lowest = UsageLayoutFor(100);
  EXPECT_EQ(lowest.memo.height(), 55);
  EXPECT_EQ(lowest.closeButton.top(), 71);
}

TEST(UsageLayoutTest, HeightsBelowTheFloorAreLaidOutAsTheFloor) {
  EXPECT_EQ(UsageLayoutFor(40).memo, UsageLayoutFor(100).memo);
  EXPECT_EQ(UsageLayoutFor(-5).closeButton, UsageLayoutFor(100).closeButton);
}

TEST_F(UsageWindowTest, ResizingMovesTheMemoBottomAndTheButton) {
  ShowAndResize(512, 400);
  EXPECT_EQ(memo->geometry(), QRect(4, 8, 497, 355));
  EXPECT_EQ(button->geometry(), QRect(440, 371, 65, 23));

  ShowAndResize(512, 100);
  EXPECT_EQ(memo->height(), 55);
  EXPECT_EQ(button->y(), 71);
}

TEST_F(UsageWindowTest, ClientHeightNeverGoesBelowOneHundred) {
  ShowAndResize(512, 30);
  EXPECT_EQ(window->height(), 100);
  EXPECT_EQ(memo->height(), 55);
  EXPECT_EQ(button->y(), 71);
}

TEST_F(UsageWindowTest, ClientWidthStaysAt512) {
  ShowAndResize(700, 300);
  EXPECT_EQ(window->width(), 512);
  ShowAndResize(200, 300);
  EXPECT_EQ(window->width(), 512);
  EXPECT_EQ(memo->geometry().right(), 500);
  EXPECT_EQ(button->geometry().right(), 504);
}

TEST_F(UsageWindowTest, StartsHiddenAsAToolWindowWithOnlyACloseBox) {
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Ovik Usage"));
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
}

TEST_F(UsageWindowTest, MemoIsAReadOnlyWrappedTextOfEightyTwoLines) {
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->document()->blockCount(), 82);
  EXPECT_EQ(memo->document()->firstBlock().text(), QStringLiteral("--- Ovik"));
  EXPECT_EQ(memo->font().pixelSize(), 13);
}

TEST_F(UsageWindowTest, CloseButtonIsTheDefaultAndEndsWithResultOne) {
  EXPECT_EQ(button->text(), QStringLiteral("&Close"));
  EXPECT_TRUE(button->isDefault());
  test::AnswerNextModal([](QWidget* modal) {
    modal->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
  });
  EXPECT_EQ(window->exec(), TfrmUsage::kCloseResult);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(UsageWindowTest, EscapeClosesLikeTheCloseButton) {
  test::AnswerNextModal([](QWidget* modal) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(modal, &escape);
  });
  EXPECT_EQ(window->exec(), TfrmUsage::kCloseResult);
}

TEST_F(UsageWindowTest, EnterInTheMemoPressesTheDefaultButton) {
  test::AnswerNextModal([](QWidget* modal) {
    auto* memo = modal->findChild<QPlainTextEdit*>(QStringLiteral("memUsage"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(memo, &enter);
  });
  EXPECT_EQ(window->exec(), TfrmUsage::kCloseResult);
}

TEST_F(UsageWindowTest, CanBeShownAgainAfterClosing) {
  for (int round = 0; round < 2; ++round) {
    test::AnswerNextModal([](QWidget* modal) {
      modal->findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    });
    EXPECT_EQ(window->exec(), TfrmUsage::kCloseResult);
  }
  EXPECT_EQ(memo->document()->blockCount(), 82);
}

}  // namespace
}  // namespace ovik
