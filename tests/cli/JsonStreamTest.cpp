#include "cli/JsonStream.h"
#include "engine/VerifyEngine.h"
#include "support/FakeClock.h"
#include "support/RecordingView.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace ovik {
namespace {

// Progress goes out once a second at most, however often the engine pumps,
// with the rate and the time left once they are known.
TEST(JsonStream, ProgressAtMostOnceASecond) {
  testing::RecordingView view;
  testing::FakeClock clock;
  VerifyEngine engine(view, SystemFileSystem(), clock);
  engine.runState = RunState::Verifying;
  engine.CurrentRelativeName = "big";
  engine.totals.SrcFileCount = 2;
  engine.totals.SrcByteTotal = 100'000'000;
  engine.totals.StartSteady = clock.SteadyNow();
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  std::int64_t checked = 0;
  JsonStream stream(out, engine, [&] { return checked; }, clock);
  for (int tenth = 1; tenth <= 45; ++tenth) {
    clock.Advance(0.1);
    checked += 100'000;
    stream.Progress();
  }
  std::fclose(out);
  std::istringstream lines(std::string(text, size));
  std::free(text);
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(lines, line);) events.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0]["type"], "progress");
  EXPECT_EQ(events[0]["bytes_checked"], 1'000'000);
  EXPECT_EQ(events[0]["files_total"], 2);
  EXPECT_EQ(events[0]["bytes_total"], 100'000'000);
  EXPECT_TRUE(events[0]["seconds_left"].is_null());
  EXPECT_EQ(events[3]["bytes_checked"], 4'000'000);
  EXPECT_NEAR(events[3]["bytes_per_second"].get<double>(), 1e6, 1e3);
  EXPECT_NEAR(events[3]["seconds_left"].get<double>(), 96, 1);
}

}  // namespace
}  // namespace ovik
