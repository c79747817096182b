#pragma once

#include "support/TempTree.h"
#include "support/media/TestMedia.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovik::testing {

// The drives ovik-test-faultfs can serve at the pace of one head.
enum class SpinModel { HardDisk, Disc };

// What the head did: reads served, bytes, and seeks (reads that moved the head).
struct HeadCounts {
  std::int64_t reads = 0;
  std::int64_t bytes = 0;
  std::int64_t seeks = 0;
};

// A folder served by ovik-test-faultfs at the pace of one head, its files
// lying one after another in name order, its folders listed in name order.
// With `timeScale` 0 the head's time is only counted, never waited for.
class SpinningMedium {
 public:
  // `faults`: more options of ovik-test-faultfs.
  explicit SpinningMedium(const std::string& content, SpinModel model = SpinModel::HardDisk, double timeScale = 0,
                          const std::vector<std::string>& faults = {});

  std::string root() const { return medium_->root(); }
  const std::string& error() const { return medium_->error(); }
  // What the head did since the medium came up.
  HeadCounts Counts() const;
  void TearDown() { medium_->TearDown(); }

 private:
  TempTree work_;
  std::unique_ptr<TestMedium> medium_;
};

// Serves `content` on a spinning medium, runs `work` on the medium's root
// and returns what the head did meanwhile; a medium that does not come up
// fails the test that called it and counts nothing. `timeScale` as for
// SpinningMedium.
HeadCounts CountHeadWork(const std::string& content, const std::function<void(const std::string& root)>& work,
                         SpinModel model = SpinModel::HardDisk, double timeScale = 0,
                         const std::vector<std::string>& faults = {});

}  // namespace ovik::testing

// Skips the test without /dev/fuse or root, or fails it where the
// environment requires FUSE media.
#define OVIK_REQUIRE_SPINNING_MEDIUM() OVIK_REQUIRE_MEDIUM(::ovik::testing::MediumKind::Fuse)
