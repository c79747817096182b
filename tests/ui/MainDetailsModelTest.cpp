#include "MainTestSupport.h"

#include "ui/main/details/MainDetailsModel.h"

#include <QFont>
#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace ovik::testing {
namespace {

// The line of the given text, for the few prefixes used here.
void Append(DetailsListModel& model, const std::string& text) {
  for (ResultKind kind : {ResultKind::Ok, ResultKind::DstMissing, ResultKind::SizeMismatch}) {
    const std::string prefix = ResultPrefix(kind) + ": ";
    if (text.rfind(prefix, 0) == 0) return model.Append({kind, std::string_view(text).substr(prefix.size()), 0, {}});
  }
  FAIL() << text;
}

class DetailsModel : public ::testing::Test {
 protected:
  void SetUp() override { EnsureMainTestApplication(); }

  QFontMetrics metrics{QFont()};
  DetailsListModel model{metrics, nullptr};
};

TEST_F(DetailsModel, AppendedLinesReachTheViewOnlyWhenCommitted) {
  int batches = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&batches] { ++batches; });
  Append(model, "Ok: a");
  Append(model, "Ok: b");
  EXPECT_EQ(model.LineCount(), 2u);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_FALSE(model.data(model.index(0)).isValid());

  model.CommitAppends();
  model.CommitAppends();
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(batches, 1) << "one batch, and nothing for an empty one";
  EXPECT_EQ(model.data(model.index(1)).toString(), "Ok: b");
}

TEST_F(DetailsModel, SortingPutsErrorsFirstAndKeepsTheRowsWidthOfTheLongestLine) {
  const std::string longest = "Ok: a/very/long/path/that/is/the/widest/line/of/all.bin";
  for (const std::string& line : {std::string("Ok: b"), longest, std::string("!Destn file missing: c"),
                                  std::string("!Mismatched sizes: a")})
    Append(model, line);
  model.CommitAppends();
  const QSize before = model.data(model.index(0), Qt::SizeHintRole).toSize();
  EXPECT_GE(before.width(), metrics.horizontalAdvance(QString::fromStdString(longest)));
  EXPECT_EQ(before.height(), model.RowHeight());

  model.SetSorted(true);
  EXPECT_TRUE(model.IsSorted());
  EXPECT_EQ(model.Lines(),
            (std::vector<std::string>{"!Destn file missing: c", "!Mismatched sizes: a", longest, "Ok: b"}));
  EXPECT_EQ(model.rowCount(), 4);
  EXPECT_EQ(model.data(model.index(3), Qt::SizeHintRole).toSize(), before);
}

TEST_F(DetailsModel, LinesThatAreNotValidTextAreKeptAsBytes) {
  const std::string line = "Ok: caf\xe9.txt";
  Append(model, line);
  model.CommitAppends();
  EXPECT_EQ(model.Lines().front(), line);
  EXPECT_FALSE(model.data(model.index(0)).toString().isEmpty());
}

// A name's control characters show as their symbols, so that each file
// keeps one row; the bytes stay as they are for saving and copying.
TEST_F(DetailsModel, ControlCharactersShowAsVisibleSymbols) {
  const std::string line = "Ok: x\nOk: y\t\x1b[2J\x7f";
  Append(model, line);
  model.CommitAppends();
  EXPECT_EQ(model.Lines().front(), line);
  EXPECT_EQ(model.data(model.index(0)).toString(), QString::fromUtf8("Ok: x\u240aOk: y\u2409\u241b[2J\u2421"));
}

}  // namespace
}  // namespace ovik::testing

namespace ovik::testing {
namespace {

// Where a row lies follows from its number: the list scrolls to the end of
// many rows, finds the rows under the pointer and moves by pages.
TEST(DetailsListView, ManyRowsScrollSelectAndPageByRowNumber) {
  EnsureMainTestApplication();
  auto window = MakeMainWindow();
  window->ToggleDetails();
  VerifyView& view = window->View();
  constexpr int kRows = 200000;
  for (int i = 0; i < kRows; ++i) view.AppendResult({ResultKind::Ok, "f" + std::to_string(i), 0, {}});
  view.SetResultsVisible(true);
  QAbstractItemView& list = *window->lstResults;
  ASSERT_EQ(list.model()->rowCount(), kRows);
  list.scrollToBottom();
  const QModelIndex last = list.model()->index(kRows - 1, 0);
  ASSERT_TRUE(list.viewport()->rect().contains(list.visualRect(last))) << "the last row is shown whole";
  const QRect lastRect = list.visualRect(last);
  EXPECT_EQ(list.indexAt(lastRect.center()), last);
  EXPECT_FALSE(list.indexAt(lastRect.center() + QPoint(0, lastRect.height())).isValid()) << "below the last row";

  const QModelIndex above = list.indexAt(QPoint(1, lastRect.top() - 1));
  EXPECT_EQ(above.row(), kRows - 2);
  list.setCurrentIndex(list.model()->index(0, 0));
  const int pageRows = list.viewport()->height() / lastRect.height();
  QTest::keyClick(&list, Qt::Key_PageDown);
  EXPECT_EQ(list.currentIndex().row(), pageRows);
  EXPECT_EQ(list.indexAt(QPoint(1, 1)).row(), 1) << "scrolled by whole rows to show the new current row";
  QTest::keyClick(&list, Qt::Key_End);
  EXPECT_EQ(list.currentIndex().row(), kRows - 1);
  QTest::keyClick(&list, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(list.selectionModel()->selectedRows().size(), 2);
}

// A line's note shows as its tooltip and, with the line selected alone,
// in the field under the list; the line's own text stays as it was.
TEST(DetailsNotes, SelectedLineShowsItsNote) {
  EnsureMainTestApplication();
  auto window = MakeMainWindow();
  window->ToggleDetails();
  VerifyView& view = window->View();
  view.AppendResult({ResultKind::Ok, "a.txt", 0, {}});
  view.AppendResult({ResultKind::ContentMismatch, "b.bin", 4096, "4,096 bytes are zero"});
  view.SetResultsSorted(true);
  view.ScrollResultsToTop();
  auto* note = window->findChild<QPlainTextEdit*>("memLineNote");
  ASSERT_NE(note, nullptr);
  QAbstractItemView& list = *window->lstResults;
  const QModelIndex damaged = list.model()->index(0, 0);
  EXPECT_EQ(damaged.data().toString(), "!Mismatched contents at offset 4,096: b.bin");
  EXPECT_EQ(damaged.data(Qt::ToolTipRole).toString(), "4,096 bytes are zero");
  EXPECT_FALSE(list.model()->index(1, 0).data(Qt::ToolTipRole).isValid());

  list.selectionModel()->select(damaged, QItemSelectionModel::ClearAndSelect);
  EXPECT_FALSE(note->isHidden());
  EXPECT_EQ(note->toPlainText(), "4,096 bytes are zero");
  list.selectionModel()->select(list.model()->index(1, 0), QItemSelectionModel::Select);
  EXPECT_TRUE(note->isHidden()) << "two lines selected";
  list.selectionModel()->select(list.model()->index(1, 0), QItemSelectionModel::ClearAndSelect);
  EXPECT_TRUE(note->isHidden()) << "a line without a note";
}

}  // namespace
}  // namespace ovik::testing
