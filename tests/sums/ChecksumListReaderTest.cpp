#include "sums/ChecksumList.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>

#include <string>
#include <vector>

namespace ovik {
namespace {

const std::string kHash(64, 'a');

// «line: name» for each file, «line: bad» for each line not understood, in
// line order.
std::vector<std::string> Described(const ChecksumList& list) {
  std::vector<std::pair<std::uint32_t, std::string>> lines;
  for (std::size_t i = 0; i < list.size(); ++i) lines.emplace_back(list[i].lineNumber, std::string(list[i].name));
  for (const std::uint32_t bad : list.BadLines()) lines.emplace_back(bad, "bad");
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> described;
  for (const auto& [number, what] : lines) described.push_back(std::to_string(number) + ": " + what);
  return described;
}

// Small blocks and those the allocator maps on their own.
[[maybe_unused]] std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

ChecksumList ReadInPieces(const std::string& text, std::size_t pieceSize) {
  ChecksumList list;
  ChecksumListReader reader(list, "SHA256SUMS");
  for (std::size_t at = 0; at < text.size(); at += pieceSize) reader.Feed(std::string_view(text).substr(at, pieceSize));
  reader.Finish();
  return list;
}

TEST(ChecksumListReader, ReadsTheSameWhereverTheBytesAreCut) {
  const std::string overlong(40000, 'x');
  const std::string text = kHash + "  one\r\n\r\n# note\n" + overlong + "\n\\" + kHash + "  two\\nlines\r\n" +
                           "garbage\n" + kHash + "  last";
  const std::vector<std::string> expected = {"1: one", "4: bad", "5: two\nlines", "6: bad", "7: last"};
  for (const std::size_t pieceSize : {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{4096}, text.size()})
    EXPECT_EQ(Described(ReadInPieces(text, pieceSize)), expected) << "pieces of " << pieceSize;
}

TEST(ChecksumListReader, AMillionLinesFitIn150MiB) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's allocator does not report the heap in use";
#else
  const std::size_t before = HeapInUse();
  ChecksumList list;
  {
    ChecksumListReader reader(list, "SHA256SUMS");
    std::string block;
    for (int i = 0; i < 1'000'000; ++i) {
      block += kHash + "  photos/" + std::to_string(2000 + i / 1000) + "/holiday-" + std::to_string(i) + ".jpg\n";
      if (block.size() > 1'000'000 || i == 999'999) {
        reader.Feed(block);
        block.clear();
      }
    }
    reader.Finish();
  }
  ASSERT_EQ(list.size(), 1'000'000u);
  EXPECT_EQ(list[999'999].name, "photos/2999/holiday-999999.jpg");
  EXPECT_LT(HeapInUse() - before, std::size_t{150} << 20);
#endif
}

}  // namespace
}  // namespace ovik
