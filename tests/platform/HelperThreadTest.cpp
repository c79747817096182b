#include "platform/files/HelperThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace ovik {
namespace {

// Callers at once: the one that finds the helper free shares its pieces
// with it, the others run theirs alone; every piece is done once, and each
// caller returns only once its own are all done.
TEST(HelperThread, EveryPieceOfEveryCallerIsDoneOnceBeforeItReturns) {
  HelperThread helper;
  constexpr std::size_t kPieces = 5000;
  std::vector<std::jthread> callers;
  std::vector<std::vector<std::atomic<int>>> done(4);
  for (auto& pieces : done) pieces = std::vector<std::atomic<int>>(kPieces);
  std::atomic<int> wrong{0};
  for (auto& pieces : done) {
    callers.emplace_back([&helper, &pieces, &wrong] {
      for (int round = 0; round < 20; ++round) {
        std::atomic<std::size_t> next{0};
        helper.RunOnBoth([&] {
          for (std::size_t i; (i = next.fetch_add(1)) < kPieces;) pieces[i].fetch_add(1);
        });
        for (const auto& piece : pieces)
          if (piece.load() != round + 1) wrong.fetch_add(1);
      }
    });
  }
  callers.clear();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(HelperThread, WhatAPartThrowsIsThrownToTheCaller) {
  HelperThread helper;
  std::atomic<int> runs{0};
  EXPECT_THROW(helper.RunOnBoth([&] {
    runs.fetch_add(1);
    throw std::runtime_error("no");
  }),
               std::runtime_error);
  EXPECT_GE(runs.load(), 1);
  // The helper is free again afterwards.
  std::atomic<int> pieces{0};
  helper.RunOnBoth([&] { pieces.fetch_add(1); });
  EXPECT_GE(pieces.load(), 1);
}

}  // namespace
}  // namespace ovik
