#include "MainTestSupport.h"

#include "ui/main/MainDetailsModel.h"

#include <QFont>

#include <gtest/gtest.h>

namespace ovik::testing {
namespace {

class DetailsModel : public ::testing::Test {
 protected:
  void SetUp() override { EnsureMainTestApplication(); }

  QFontMetrics metrics{QFont()};
  DetailsListModel model{metrics, nullptr};
};

TEST_F(DetailsModel, AppendedLinesReachTheViewOnlyWhenCommitted) {
  int batches = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&batches] { ++batches; });
  model.Append("Ok: a");
  model.Append("Ok: b");
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
    model.Append(line);
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
  model.Append(line);
  model.CommitAppends();
  EXPECT_EQ(model.Lines().front(), line);
  EXPECT_FALSE(model.data(model.index(0)).toString().isEmpty());
}

// A name's control characters show as their symbols, so that each file
// keeps one row; the bytes stay as they are for saving and copying.
TEST_F(DetailsModel, ControlCharactersShowAsVisibleSymbols) {
  const std::string line = "Ok: x\nOk: y\t\x1b[2J\x7f";
  model.Append(line);
  model.CommitAppends();
  EXPECT_EQ(model.Lines().front(), line);
  EXPECT_EQ(model.data(model.index(0)).toString(), QString::fromUtf8("Ok: x\u240aOk: y\u2409\u241b[2J\u2421"));
}

}  // namespace
}  // namespace ovik::testing
