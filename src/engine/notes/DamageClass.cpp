#include "engine/notes/DamageClass.h"

#include "common/NumberFormat.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <iterator>

namespace ovik {
namespace {

constexpr int kFewBits = 8;
// Bytes that must agree before a shift or a repeat is believed.
constexpr std::size_t kShiftWindow = 4096;
constexpr std::size_t kMinShiftWindow = 32;
constexpr std::size_t kRepeatNeedle = 64;

std::size_t LastDifference(const DifferingBlocks& b) {
  const auto src = b.source.rbegin();
  const auto dst = b.destination.rbegin();
  const auto end = b.source.rend() - static_cast<std::ptrdiff_t>(b.firstDifference);
  const auto [s, d] = std::mismatch(src, end, dst);
  (void)d;
  return b.source.size() - 1 - static_cast<std::size_t>(s - src);
}

// The bits that differ from `first` to `last`, counted up to one more than few.
int FlippedBits(const DifferingBlocks& b, std::size_t first, std::size_t last) {
  int bits = 0;
  for (std::size_t i = first; i <= last && bits <= kFewBits; ++i)
    bits += std::popcount(static_cast<unsigned>(b.source[i] ^ b.destination[i]));
  return bits;
}

bool AllBytesAre(std::span<const std::byte> bytes, std::byte value) {
  return std::all_of(bytes.begin(), bytes.end(), [value](std::byte c) { return c == value; });
}

// The smallest shift for which the destination from the difference on is
// the source a few places on (bytes lost) or back (bytes put in, which are
// passed over); 0 when there is none.
int ShiftOf(const DifferingBlocks& b) {
  const std::size_t n = b.source.size();
  const std::size_t first = b.firstDifference;
  for (int k = 1; k <= kMaxShift; ++k) {
    const auto step = static_cast<std::size_t>(k);
    for (const int shift : {k, -k}) {
      // Lost bytes: dst[i] = src[i + k] from the difference on. Bytes put in:
      // dst[i + k] = src[i] from the difference on.
      const std::size_t dstStart = shift > 0 ? first : first + step;
      const std::size_t srcStart = shift > 0 ? first + step : first;
      if (std::max(dstStart, srcStart) >= n) continue;
      const std::size_t window = std::min(kShiftWindow, n - std::max(dstStart, srcStart));
      if (window < kMinShiftWindow) continue;
      if (std::memcmp(b.destination.data() + dstStart, b.source.data() + srcStart, window) == 0) return shift;
    }
  }
  return 0;
}

// Where in the file the destination's bytes at the difference were before:
// earlier in the same block, or in the file's first bytes. -1 when nowhere,
// or when they are too short or too plain to tell.
std::int64_t RepeatedFrom(const DifferingBlocks& b) {
  const std::size_t first = b.firstDifference;
  if (b.destination.size() - first < kRepeatNeedle) return -1;
  const auto needle = b.destination.subspan(first, kRepeatNeedle);
  std::byte seen[kRepeatNeedle];
  const auto distinct = std::distance(seen, std::unique_copy(needle.begin(), needle.end(), seen));
  if (distinct < 4) return -1;
  const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
  const auto earlier = b.source.first(first);
  if (const auto at = std::search(earlier.begin(), earlier.end(), searcher); at != earlier.end())
    return b.blockOffset + (at - earlier.begin());
  if (const auto at = std::search(b.fileStart.begin(), b.fileStart.end(), searcher); at != b.fileStart.end())
    return at - b.fileStart.begin();
  return -1;
}

std::string Bytes(std::int64_t count) { return FormatThousands(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

Damage ClassifyDifference(const DifferingBlocks& b) {
  Damage damage;
  damage.offset = b.blockOffset + static_cast<std::int64_t>(b.firstDifference);
  const std::size_t last = LastDifference(b);
  damage.length = static_cast<std::int64_t>(last - b.firstDifference + 1);
  const auto run = b.destination.subspan(b.firstDifference, last - b.firstDifference + 1);
  if (const int bits = FlippedBits(b, b.firstDifference, last); bits <= kFewBits) {
    damage.kind = DamageKind::BitsFlipped;
    damage.bits = bits;
  } else if (AllBytesAre(run, std::byte{0})) {
    damage.kind = DamageKind::Zeros;
  } else if (AllBytesAre(run, std::byte{0xFF})) {
    damage.kind = DamageKind::Erased;
  } else if (const int shift = ShiftOf(b); shift != 0) {
    damage.kind = DamageKind::Shifted;
    damage.shift = shift;
  } else if (const std::int64_t from = RepeatedFrom(b); from >= 0) {
    damage.kind = DamageKind::Repeated;
    damage.from = from;
  } else {
    damage.kind = DamageKind::Other;
  }
  return damage;
}

Damage ClassifySizeDifference(std::span<const std::byte> source, std::span<const std::byte> destination,
                              std::int64_t equalBefore) {
  Damage damage;
  damage.kind = destination.size() < source.size() ? DamageKind::Short : DamageKind::Long;
  const std::size_t common = std::min(source.size(), destination.size());
  const auto equal = std::mismatch(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(common),
                                   destination.begin()).first - source.begin();
  damage.commonMatches = static_cast<std::size_t>(equal) == common;
  damage.commonEqual = equalBefore + equal;
  damage.offset = damage.commonEqual;
  return damage;
}

const char* DamageName(DamageKind kind) {
  switch (kind) {
    case DamageKind::None: return "";
    case DamageKind::Zeros: return "zeros";
    case DamageKind::Erased: return "erased";
    case DamageKind::BitsFlipped: return "bits";
    case DamageKind::Shifted: return "shift";
    case DamageKind::Repeated: return "repeat";
    case DamageKind::Other: return "other";
    case DamageKind::Short: return "short";
    case DamageKind::Long: return "long";
  }
  return "";
}

std::string DamageNote(const Damage& d, std::int64_t srcSize, std::int64_t dstSize) {
  const std::string at = "offset " + FormatThousands(d.offset);
  const std::string common = d.commonMatches ? "the part both have matches"
                                             : "the part both have differs from offset " + FormatThousands(d.commonEqual);
  switch (d.kind) {
    case DamageKind::None: return {};
    case DamageKind::Zeros:
      return Bytes(d.length) + " of zeros from " + at + ": an area never written or trimmed";
    case DamageKind::Erased:
      return Bytes(d.length) + " of 0xFF from " + at + ": erased flash";
    case DamageKind::BitsFlipped:
      return std::to_string(d.bits) + (d.bits == 1 ? " bit" : " bits") + " flipped in " + Bytes(d.length) +
             " from " + at + ": bit rot or bad memory";
    case DamageKind::Shifted:
      if (d.shift > 0)
        return "from " + at + " the source's bytes " + Bytes(d.shift) + " later: " + Bytes(d.shift) +
               " lost there (a shifted copy)";
      return Bytes(-d.shift) + " put in at " + at + ", then the source's bytes (a shifted copy)";
    case DamageKind::Repeated:
      return "from " + at + " the data repeats the file's bytes at offset " + FormatThousands(d.from) +
             ": a drive that wraps around, as fake large flash drives do";
    case DamageKind::Other:
      return Bytes(d.length) + " from " + at + " differ, with no pattern recognised";
    case DamageKind::Short:
      return "the destination is " + Bytes(srcSize - dstSize) + " short (" + FormatThousands(dstSize) + " of " +
             FormatThousands(srcSize) + "); " + common;
    case DamageKind::Long:
      return "the destination is " + Bytes(dstSize - srcSize) + " longer (" + FormatThousands(dstSize) +
             " instead of " + FormatThousands(srcSize) + "); " + common;
  }
  return {};
}

}  // namespace ovik
