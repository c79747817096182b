#include "common/NumberFormat.h"
#include "common/PathUtils.h"

#include <gtest/gtest.h>

#include <limits>

namespace ovik {
namespace {

TEST(FormatThousands, GroupsOfThreeFromTheRight) {
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(7), "7");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1,000");
  EXPECT_EQ(FormatThousands(1234), "1,234");
  EXPECT_EQ(FormatThousands(100000), "100,000");
  EXPECT_EQ(FormatThousands(102400), "102,400");
  EXPECT_EQ(FormatThousands(1234567), "1,234,567");
}

TEST(FormatThousands, LargestAndSmallest64BitValues) {
  EXPECT_EQ(FormatThousands(std::numeric_limits<std::int64_t>::max()), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatThousands(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
  EXPECT_EQ(FormatThousands(-1234), "-1,234");
}

TEST(FormatByteSize, DecimalUnitsWithOneDecimal) {
  const struct {
    std::int64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 bytes"},           {1, "1 byte"},
      {999, "999 bytes"},       {1000, "1.0 kB"},
      {999'949, "999.9 kB"},    {999'950, "1.0 MB"},  // never «1000.0 kB»
      {1'234'567'890, "1.2 GB"}, {2'000'000'000'000, "2.0 TB"},
      {std::numeric_limits<std::int64_t>::max(), "9.2 EB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatByteSize(c.bytes), c.text) << c.bytes;
}

TEST(TrailingSeparator, AddAppendsOnlyWhenMissing) {
  EXPECT_EQ(AddTrailingBackslash(""), "/");
  EXPECT_EQ(AddTrailingBackslash("/"), "/");
  EXPECT_EQ(AddTrailingBackslash("/home"), "/home/");
  EXPECT_EQ(AddTrailingBackslash("/home/"), "/home/");
  EXPECT_EQ(AddTrailingBackslash("a//"), "a//");
}

TEST(TrailingSeparator, StripRemovesExactlyOne) {
  EXPECT_EQ(StripTrailingBackslash(""), "");
  EXPECT_EQ(StripTrailingBackslash("/"), "");
  EXPECT_EQ(StripTrailingBackslash("//"), "/");
  EXPECT_EQ(StripTrailingBackslash("/home/"), "/home");
  EXPECT_EQ(StripTrailingBackslash("/home//"), "/home/");
  EXPECT_EQ(StripTrailingBackslash("/home"), "/home");
}

TEST(TrailingSeparator, JoinAfterStripOfRootGivesAbsolutePath) {
  EXPECT_EQ(JoinPath(StripTrailingBackslash("/"), "etc"), "/etc");
  EXPECT_EQ(JoinPath("/a", "caf\xe9"), "/a/caf\xe9");
}

}  // namespace
}  // namespace ovik
