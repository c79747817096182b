#include "engine/notes/DamageClass.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace ovik {
namespace {

using testing::PatternBytes;

std::span<const std::byte> Bytes(const std::string& text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

Damage Classify(const std::string& src, const std::string& dst, const std::string& fileStart = "") {
  const auto first = static_cast<std::size_t>(std::mismatch(src.begin(), src.end(), dst.begin()).first - src.begin());
  return ClassifyDifference({Bytes(src), Bytes(dst), first, 1000, Bytes(fileStart)});
}

// The edges where a class could be taken wrongly: too few bytes left to
// believe a shift, bytes put in at the very start, a plain run that is
// neither zeros nor 0xFF, data from the file's start, bits at the limit.
TEST(DamageClass, EdgesOfEachClass) {
  const std::string src = PatternBytes(4096, 8);
  const std::string start = PatternBytes(4096, 9);
  const auto with = [&](std::size_t at, const std::string& bytes) {
    std::string copy = src;
    copy.replace(at, bytes.size(), bytes);
    return copy;
  };
  std::string eightBits = src;
  std::string nineBits = src;
  for (std::size_t i = 0; i < 9; ++i) {
    if (i < 8) eightBits[100 + 7 * i] ^= 1;
    nineBits[100 + 7 * i] ^= 1;
  }
  const struct {
    const char* what;
    std::string dst;
    DamageKind kind;
    int shiftOrBits;
    std::int64_t offset;
  } cases[] = {
      {"a shift with too few bytes left to tell", with(4066, src.substr(4067) + "z"), DamageKind::Other, 0, 5066},
      {"bytes put in at the block's start", "\x01\x02\x03" + src.substr(0, 4093), DamageKind::Shifted, -3, 1000},
      {"a plain run of one value", with(200, std::string(300, 'A')), DamageKind::Other, 0, 1200},
      {"data from the file's start", with(100, start.substr(500, 2000)), DamageKind::Repeated, 0, 1100},
      {"eight bits", eightBits, DamageKind::BitsFlipped, 8, 1100},
      {"nine bits", nineBits, DamageKind::Other, 0, 1100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Damage damage = Classify(src, c.dst, start);
    EXPECT_EQ(damage.kind, c.kind);
    EXPECT_EQ(damage.offset, c.offset);
    if (c.kind == DamageKind::Shifted) {
      EXPECT_EQ(damage.shift, c.shiftOrBits);
    } else if (c.kind == DamageKind::BitsFlipped) {
      EXPECT_EQ(damage.bits, c.shiftOrBits);
    } else if (c.kind == DamageKind::Repeated) {
      EXPECT_EQ(damage.from, 500);
    }
  }
}

}  // namespace
}  // namespace ovik
