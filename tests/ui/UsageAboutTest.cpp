#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "UsageQtApplication.h"
#include "Version.h"
#include "ui/usage/UsageAboutBox.h"
#include "ui/usage/UsageAboutText.h"

namespace ovik {
namespace {

const QStringList kExpectedAboutLines = {
    "Ovik V2.03",
    "",
    "Verifies an archive/file transfer",
    "by comparing the contents of two folders",
    "Click Help, Usage for more details",
    "",
    "Copyright (C) 2026 the Ovik developers",
    "Updates and contact details on https://ovik.example.org",
};

TEST(UsageAboutTextTest, HasExactlyEightLinesJoinedByCrLf) {
  const QString text = AboutText();
  EXPECT_EQ(text.split(QStringLiteral("\r\n")), kExpectedAboutLines);
  EXPECT_EQ(text.count(QLatin1Char('\n')), 7);
  EXPECT_EQ(text.count(QLatin1Char('\r')), 7);
  EXPECT_FALSE(text.endsWith(QLatin1Char('\n')));
  EXPECT_FALSE(text.endsWith(QLatin1Char('\r')));
}

TEST(UsageAboutTextTest, PartsComeFromTheBuildsVersionAndAddress) {
  EXPECT_TRUE(AboutProductText().startsWith(QStringLiteral("Ovik V") + kVersionText + "\r\n"));
  EXPECT_TRUE(AboutProductText().endsWith(QStringLiteral("\r\n\r\n")));
  EXPECT_TRUE(MakerNotice().contains(QString::fromLatin1(kCopyrightYear)));
  EXPECT_FALSE(MakerNotice().contains(QLatin1Char('\n')));
  EXPECT_TRUE(AboutText().endsWith(QString::fromLatin1(kWebAddress)));
}

TEST(UsageAboutBoxTest, ShowsAnApplicationModalInformationBoxWithOneOk) {
  test::EnsureUsageTestApplication();
  bool answered = false;
  test::AnswerNextModal([&answered](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
      ADD_FAILURE() << "the active modal window is not a message box";
      modal->close();
      return;
    }
    answered = true;
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Program Information"));
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text().split(QLatin1Char('\n')), kExpectedAboutLines);
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    box->buttons().first()->click();
  });
  ShowAboutBox(nullptr);
  EXPECT_TRUE(answered);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace ovik
