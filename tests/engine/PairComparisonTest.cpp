#include "engine/reading/PairComparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ovik {
namespace {

constexpr std::size_t kBlock = 4;

// One side of a pair as its readers bring it in: reads of `blocksPerRead`
// blocks, a read that fails done again block by block up to the failing
// block, and nothing after the end or the failure.
struct SideBytes {
  std::string bytes;
  int failingBlock = -1;
};

struct Pieces {
  std::vector<Piece> pieces;
  std::vector<std::unique_ptr<std::byte[]>> buffers;
};

void ReadSide(const SideBytes& side, std::int64_t blocksPerRead, Pieces& out) {
  const auto size = static_cast<std::int64_t>(side.bytes.size());
  const auto block = static_cast<std::int64_t>(kBlock);
  for (std::int64_t first = 0;;) {
    std::int64_t blocks = blocksPerRead;
    const bool failsHere = side.failingBlock >= 0 && side.failingBlock < first + blocks;
    if (failsHere) blocks = 1;
    Piece piece;
    piece.firstBlock = first;
    piece.blocks = blocks;
    auto& buffer = out.buffers.emplace_back(new std::byte[blocks * block]);
    piece.data = buffer.get();
    if (failsHere && first == side.failingBlock) {
      piece.count = -1;
      piece.error = 5;
      out.pieces.push_back(piece);
      return;
    }
    const std::int64_t offset = first * block;
    piece.count = std::clamp<std::int64_t>(size - offset, 0, blocks * block);
    std::copy_n(reinterpret_cast<const std::byte*>(side.bytes.data()) + offset, piece.count, piece.data);
    out.pieces.push_back(piece);
    if (piece.count < blocks * block) return;
    first += blocks;
  }
}

enum class Order { SourceFirst, DestinationFirst, Alternating, SourceBeforeTheStart };

struct Expected {
  FileResult result;
  std::int64_t bytesChecked;
  std::int64_t matchedBytes;
};

Expected Compare(const SideBytes& src, const SideBytes& dst, std::int64_t srcBlocksPerRead,
                 std::int64_t dstBlocksPerRead, Order order) {
  Pieces srcPieces;
  Pieces dstPieces;
  ReadSide(src, srcBlocksPerRead, srcPieces);
  ReadSide(dst, dstBlocksPerRead, dstPieces);
  PairComparison comparison(kBlock);
  std::vector<std::byte*> spent;
  using Side = PairComparison::Side;
  std::vector<std::pair<Side, Piece>> arrivals;
  const auto all = [&](Side side, const Pieces& pieces) {
    for (const Piece& piece : pieces.pieces) arrivals.emplace_back(side, piece);
  };
  if (order == Order::DestinationFirst) {
    all(PairComparison::kDestination, dstPieces);
    all(PairComparison::kSource, srcPieces);
  } else if (order == Order::Alternating) {
    for (std::size_t i = 0; i < std::max(srcPieces.pieces.size(), dstPieces.pieces.size()); ++i) {
      if (i < srcPieces.pieces.size()) arrivals.emplace_back(PairComparison::kSource, srcPieces.pieces[i]);
      if (i < dstPieces.pieces.size()) arrivals.emplace_back(PairComparison::kDestination, dstPieces.pieces[i]);
    }
  } else {
    all(PairComparison::kSource, srcPieces);
    all(PairComparison::kDestination, dstPieces);
  }
  if (order != Order::SourceBeforeTheStart) comparison.Start(spent);
  for (std::size_t i = 0; i < arrivals.size(); ++i) {
    if (order == Order::SourceBeforeTheStart && i == srcPieces.pieces.size()) comparison.Start(spent);
    comparison.Add(arrivals[i].first, arrivals[i].second, spent);
  }
  comparison.CompareAvailable(spent);

  EXPECT_TRUE(comparison.Decided());
  // Every buffer comes back once, whatever was compared of it.
  const std::set<std::byte*> returned(spent.begin(), spent.end());
  EXPECT_EQ(returned.size(), spent.size()) << "a buffer came back twice";
  EXPECT_EQ(spent.size(), srcPieces.buffers.size() + dstPieces.buffers.size());
  const CompareOutcome& outcome = comparison.Outcome();
  return {outcome.result, outcome.bytesChecked, outcome.matchedBytes};
}

// Whatever the order in which the two sides arrive and however many blocks
// each read brings, the outcome is that of one block of each side at a
// time: the source's failure before the destination's block, a pass whose
// counts differ, the first unequal byte with its block counted whole.
TEST(PairComparison, EveryOrderOfArrivalDecidesAsOneBlockOfEachAtATime) {
  const struct {
    const char* name;
    SideBytes src;
    SideBytes dst;
    Expected expected;
  } cases[] = {
      {"equal", {"abcdefghij"}, {"abcdefghij"}, {FileResult::Ok, 10, 10}},
      {"equal, a multiple of the block", {"abcdefgh"}, {"abcdefgh"}, {FileResult::Ok, 8, 8}},
      {"both empty", {""}, {""}, {FileResult::Ok, 0, 0}},
      {"differs in the second block", {"abcdefghij"}, {"abcdeXghij"}, {FileResult::ContentMismatch, 8, 5}},
      {"destination longer by a byte", {"abcdefgh"}, {"abcdefghX"}, {FileResult::SizeMismatch, 8, 8}},
      {"destination shorter", {"abcdefgh"}, {"abcdef"}, {FileResult::SizeMismatch, 4, 4}},
      {"source fails in its second block", {"abcdefghij", 1}, {"abcdefghij"}, {FileResult::SrcReadError, 4, 4}},
      {"destination fails in its second block", {"abcdefghij"}, {"abcdefghij", 1}, {FileResult::DstReadError, 4, 4}},
      {"both fail: the source's first", {"abcdefghij", 1}, {"abcdXfghij", 1}, {FileResult::SrcReadError, 4, 4}},
      {"source fails where the destination differs", {"abcdefghij", 1}, {"abcdeXghij"}, {FileResult::SrcReadError, 4, 4}},
      {"differs before the destination fails", {"abcdefghij"}, {"Xbcdefghij", 1}, {FileResult::ContentMismatch, 4, 0}},
      {"destination fails where the source ends", {"abcd"}, {"abcd", 1}, {FileResult::DstReadError, 4, 4}},
      // Twenty blocks: one side's pieces queue up well past twenty.
      {"long, equal", {std::string(80, 'a')}, {std::string(80, 'a')}, {FileResult::Ok, 80, 80}},
      {"long, differs in its last block", {std::string(80, 'a')}, {std::string(78, 'a') + "Xa"},
       {FileResult::ContentMismatch, 80, 78}},
  };
  const struct {
    std::int64_t src;
    std::int64_t dst;
  } reads[] = {{1, 1}, {2, 2}, {3, 1}, {1, 10}};
  for (const auto& c : cases) {
    for (const auto& read : reads) {
      for (Order order : {Order::SourceFirst, Order::DestinationFirst, Order::Alternating, Order::SourceBeforeTheStart}) {
        SCOPED_TRACE(std::string(c.name) + ", reads of " + std::to_string(read.src) + "/" + std::to_string(read.dst) +
                     " blocks, order " + std::to_string(static_cast<int>(order)));
        const Expected got = Compare(c.src, c.dst, read.src, read.dst, order);
        EXPECT_EQ(got.result, c.expected.result);
        EXPECT_EQ(got.bytesChecked, c.expected.bytesChecked);
        EXPECT_EQ(got.matchedBytes, c.expected.matchedBytes);
      }
    }
  }
}

// An open that failed decides before any block; once both files are open
// nothing but the blocks decides.
TEST(PairComparison, ADecisionBeforeTheStartStandsAndNoneAfterIt) {
  std::vector<std::byte*> spent;
  PairComparison beforeStart(kBlock);
  beforeStart.Decide(FileResult::DstMissing, spent);
  EXPECT_TRUE(beforeStart.Decided());
  EXPECT_EQ(beforeStart.Outcome().result, FileResult::DstMissing);

  PairComparison started(kBlock);
  started.Start(spent);
  started.Decide(FileResult::DstMissing, spent);
  EXPECT_FALSE(started.Decided());
}

}  // namespace
}  // namespace ovik
