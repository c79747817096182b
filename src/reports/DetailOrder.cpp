#include "reports/DetailOrder.h"

#include "reports/store/DetailCollator.h"

#include <algorithm>
#include <numeric>

namespace ovik {
namespace {

// All keys in one block of memory: a million lines need one allocation,
// not a million.
struct SortKeys {
  std::vector<std::uint8_t> bytes;
  std::vector<std::size_t> offsets;  // one more than there are lines
  std::string_view Key(std::size_t i) const {
    return {reinterpret_cast<const char*>(bytes.data() + offsets[i]), offsets[i + 1] - offsets[i]};
  }
};

SortKeys MakeSortKeys(const std::vector<std::string>& lines) {
  Collator collator = OpenCaseInsensitiveCollator();
  SortKeys keys;
  keys.offsets.reserve(lines.size() + 1);
  keys.offsets.push_back(0);
  std::u16string text;
  for (const std::string& line : lines) {
    DecodeLine(line, text);
    const auto* chars = reinterpret_cast<const UChar*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    const std::size_t start = keys.bytes.size();
    std::int32_t room = static_cast<std::int32_t>(text.size() * 3 + 16);
    for (;;) {
      keys.bytes.resize(start + static_cast<std::size_t>(room));
      const std::int32_t needed = ucol_getSortKey(collator.get(), chars, length, keys.bytes.data() + start, room);
      if (needed <= room) {
        keys.bytes.resize(start + static_cast<std::size_t>(needed));
        break;
      }
      room = needed;
    }
    keys.offsets.push_back(keys.bytes.size());
  }
  return keys;
}

}  // namespace

std::vector<std::size_t> SortedDetailOrder(const std::vector<std::string>& lines) {
  const SortKeys keys = MakeSortKeys(lines);
  std::vector<std::size_t> order(lines.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int byKey = keys.Key(a).compare(keys.Key(b));
    if (byKey != 0) return byKey < 0;
    return lines[a] < lines[b];
  });
  return order;
}

void SortDetailLines(std::vector<std::string>& lines) {
  const std::vector<std::size_t> order = SortedDetailOrder(lines);
  std::vector<std::string> sorted;
  sorted.reserve(lines.size());
  for (std::size_t i : order) sorted.push_back(std::move(lines[i]));
  lines = std::move(sorted);
}

}  // namespace ovik
