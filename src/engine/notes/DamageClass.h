#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace ovik {

// What the first difference of a copy looks like.
enum class DamageKind : std::uint8_t {
  None,
  Zeros,        // the destination holds zeros there: an unwritten or trimmed area
  Erased,       // all 0xFF: erased flash
  BitsFlipped,  // a few bits differ
  Shifted,      // the source's bytes, a few places earlier or later
  Repeated,     // data from earlier in the file: a drive that wraps around
  Other,
  Short,        // the destination is shorter
  Long,         // the destination is longer
};

// The damage of one file, found from the blocks in hand at its first
// difference.
struct Damage {
  DamageKind kind = DamageKind::None;
  std::int64_t offset = 0;  // of the first differing byte
  std::int64_t length = 0;  // from it to the last differing byte of its block
  int bits = 0;             // BitsFlipped: how many
  int shift = 0;            // Shifted: the destination byte at i is the source's at i + shift
  std::int64_t from = 0;    // Repeated: where the data first is in the file
  // Short and Long: whether the part both files have is equal, and how many
  // of its bytes are equal before it differs.
  bool commonMatches = false;
  std::int64_t commonEqual = 0;
};

// The blocks at a content mismatch and what else of the file is cheaply at
// hand: its first bytes, already compared equal when the difference is in a
// later block.
struct DifferingBlocks {
  std::span<const std::byte> source;
  std::span<const std::byte> destination;  // as long as `source`
  std::size_t firstDifference = 0;         // within the blocks
  std::int64_t blockOffset = 0;            // of the blocks in the file
  std::span<const std::byte> fileStart;    // empty when the difference is in the first block
};

// The greatest shift looked for, either way.
inline constexpr int kMaxShift = 64;
// How much of the start of a file is kept for recognising data repeated
// from it.
inline constexpr std::size_t kFileStartKept = 4096;

// Classifies the first differing block. A difference that is none of the
// recognised kinds, or too short to tell, is Other.
Damage ClassifyDifference(const DifferingBlocks& blocks);

// The block in which the two lengths differ: Short or Long, and whether
// the bytes both blocks have are equal; `equalBefore` bytes of the file
// were equal before the block.
Damage ClassifySizeDifference(std::span<const std::byte> source, std::span<const std::byte> destination,
                              std::int64_t equalBefore);

// A word for scripts: "zeros", "erased", "bits", "shift", "repeat",
// "other", "short", "long"; empty for None.
const char* DamageName(DamageKind kind);

// The sentence a person reads beside the line, with the two lengths for a
// size mismatch.
std::string DamageNote(const Damage& damage, std::int64_t srcSize, std::int64_t dstSize);

}  // namespace ovik
