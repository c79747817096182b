#include <gtest/gtest.h>

#include "ui/usage/UsageText.h"

namespace ovik {
namespace {

QStringList LinesStartingWith(const QString& prefix) {
  QStringList found;
  for (const QString& line : UsageLines()) {
    if (line.startsWith(prefix)) found.append(line);
  }
  return found;
}

// The lines of one section: from its heading up to the next heading.
QString SectionText(const QString& heading) {
  const QStringList lines = UsageLines();
  const qsizetype start = lines.indexOf(heading);
  if (start < 0) return {};
  QStringList section;
  for (qsizetype i = start + 1; i < lines.size() && !lines[i].startsWith(u"--- "); ++i) {
    section.append(lines[i]);
  }
  return section.join(QLatin1Char('\n'));
}

// True when every phrase occurs in `text`, each one after the one before.
bool PhrasesInOrder(const QString& text, const QStringList& phrases) {
  qsizetype from = 0;
  for (const QString& phrase : phrases) {
    const qsizetype at = text.indexOf(phrase, from, Qt::CaseInsensitive);
    if (at < 0) {
      ADD_FAILURE() << "missing after position " << from << ": " << phrase.toStdString();
      return false;
    }
    from = at + phrase.size();
  }
  return true;
}

TEST(UsageTextTest, HasEightyTwoLinesAndNoFinalBreak) {
  EXPECT_EQ(UsageLines().size(), 82);
  EXPECT_EQ(UsageText().split(QLatin1Char('\n')).size(), 82);
  EXPECT_FALSE(UsageText().endsWith(QLatin1Char('\n')));
  EXPECT_FALSE(UsageText().contains(QLatin1Char('\r')));
}

TEST(UsageTextTest, SectionHeadingsComeInOrderAtTheirLines) {
  const QStringList headings = {
      "--- Ovik",
      "--- Usage",
      "--- Practical examples/advantages",
      "--- Verifying CD/DVD burning",
      "--- Verifying transfers to external USB discs",
      "--- Alternatives",
      "--- Uninstalling",
  };
  EXPECT_EQ(LinesStartingWith("--- "), headings);

  const QStringList lines = UsageLines();
  const QList<qsizetype> firstLines = {1, 15, 45, 47, 54, 61, 79};
  for (qsizetype i = 0; i < headings.size(); ++i) {
    EXPECT_EQ(lines.indexOf(headings[i]) + 1, firstLines[i]) << headings[i].toStdString();
  }
}

TEST(UsageTextTest, OpensWithThePurposeAndPointsToTheAboutBox) {
  EXPECT_EQ(UsageLines().value(1), QStringLiteral("Verifies archives and other file transfers."));
  EXPECT_TRUE(SectionText("--- Ovik").contains(u"Help, About"));
  EXPECT_TRUE(SectionText("--- Usage").contains(u"Help, About"));
  EXPECT_TRUE(SectionText("--- Practical examples/advantages").trimmed().isEmpty());
}

TEST(UsageTextTest, UsageSectionMakesItsSixStatementsInOrder) {
  EXPECT_TRUE(PhrasesInOrder(SectionText("--- Usage"), {
      // Verifies rather than compares; extra destination files are not looked for.
      "does not compare folders", "does not look for extra files in the destination",
      "source and destination rather than first and second",
      // Appending transfers verify cleanly; Swap saves browsing again.
      "without false alarms", "Swap button exchanges the source and the destination",
      "do not have to browse",
      // A full comparison takes two passes.
      "two passes: Verify, Swap, Verify",
      // More details lists every file with its result, errors first.
      "More details button shows a list of all files checked", "errors at the top",
      // Copy and Save, as text or as CSV with two fields.
      "Copy items of the Edit menu", "Save items of the File menu", "plain text", "CSV",
      "two separate fields",
      // Hidden folders are skipped and named; the File menu includes them.
      "Hidden folders", "name each folder skipped", "Include hidden folders in the File menu",
      "clears the results",
  }));
}

TEST(UsageTextTest, HasTwoItemsDescribingTheLinuxTools) {
  EXPECT_EQ(LinesStartingWith("-- "), QStringList({"-- cmp", "-- diff -r"}));
  const QString alternatives = SectionText("--- Alternatives");
  EXPECT_TRUE(PhrasesInOrder(alternatives, {"-- cmp", "every differing byte",
                                            "cannot scan sub-folders", "-- diff -r",
                                            "sub-folders", "text files", "no folder browsing"}));
}

TEST(UsageTextTest, UninstallingNamesThePackageManagerAndAdminRights) {
  const QString uninstalling = SectionText("--- Uninstalling");
  EXPECT_TRUE(uninstalling.contains(u"package manager"));
  EXPECT_TRUE(uninstalling.contains(u"install step listed"));
  EXPECT_TRUE(uninstalling.contains(u"Administrator"));
}

}  // namespace
}  // namespace ovik
