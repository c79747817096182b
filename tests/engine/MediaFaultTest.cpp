// Faults of a real file system, injected by the test FUSE file system on
// either side and met in every way of reading: a read or an open that
// fails, a server that answers in pieces, and a drive pulled out.

#include "engine/VerifyEngine.h"
#include "reports/DetailOrder.h"
#include "support/media/MediaVerify.h"
#include "support/RecordingView.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>
#include <tuple>

namespace ovik {
namespace {

using testing::MediumKind;
using testing::Reading;

enum class Side { Source, Destination };

// Small files are one request each to the file system, however they are read.
constexpr const char* kSmallFiles[] = {"a", "b", "c", "d", "e", "f"};
constexpr std::int64_t kSmallSize = 5000;
// A large file takes three reads of ten blocks.
constexpr const char* kLargeFile = "mid.bin";
constexpr std::int64_t kLargeSize = 2 << 20;

struct FaultCase {
  const char* name;
  Side side;                           // where the FUSE file system is
  MediumKind kind;
  std::vector<std::string> options;    // of ovik-test-faultfs
  const char* failing;                 // the one file that fails; null for none
  std::int64_t bytesBefore;            // of it, compared before the fault
  int readsBeforePull;                 // the drive is pulled after these reads; 0 for never
};

const FaultCase kFaults[] = {
    {"SourceReadFailsMidFile", Side::Source, MediumKind::Fuse, {"--fail-read=mid.bin:150000"}, kLargeFile, 102400, 0},
    {"DestinationReadFailsMidFile", Side::Destination, MediumKind::Fuse, {"--fail-read=mid.bin:150000"}, kLargeFile,
     102400, 0},
    // One side fails in its second read while the other is still read.
    {"SourceReadFailsInItsSecondRead", Side::Source, MediumKind::Fuse, {"--fail-read=mid.bin:1400000"}, kLargeFile,
     13 * 102400, 0},
    {"DestinationReadFailsInItsSecondRead", Side::Destination, MediumKind::FuseDirectIo,
     {"--fail-read=mid.bin:1400000"}, kLargeFile, 13 * 102400, 0},
    {"SourceOpenFails", Side::Source, MediumKind::Fuse, {"--fail-open=c"}, "c", 0, 0},
    {"DestinationOpenIsRefused", Side::Destination, MediumKind::Fuse, {"--fail-open=c:" + std::to_string(EACCES)},
     "c", 0, 0},
    {"DestinationAnswersInPieces", Side::Destination, MediumKind::FuseDirectIo, {"--read-piece=65536"}, nullptr, 0,
     0},
    {"SourcePulledOut", Side::Source, MediumKind::Fuse, {"--fail-after-reads=3"}, nullptr, 0, 3},
    {"DestinationPulledOut", Side::Destination, MediumKind::Fuse, {"--fail-after-reads=3"}, nullptr, 0, 3},
};

void PrintTo(const FaultCase& fault, std::ostream* out) { *out << fault.name; }

// The files of a folder in the order its listing gives them, as the walk takes them.
std::vector<std::string> ListingOrder(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (const dirent* entry = readdir(listing))
      if (entry->d_type == DT_REG) names.emplace_back(entry->d_name);
    closedir(listing);
  }
  return names;
}

class MediaFault : public ::testing::TestWithParam<std::tuple<FaultCase, Reading>> {};

TEST_P(MediaFault, TheFaultGetsItsLineAndTheRestIsVerified) {
  const auto& [fault, reading] = GetParam();
  OVIK_REQUIRE_MEDIUM(fault.kind);

  testing::TempTree tree;
  const bool pulled = fault.readsBeforePull > 0;
  unsigned seed = 1;
  for (const char* name : kSmallFiles) tree.WriteFile("content/" + std::string(name), testing::PatternBytes(kSmallSize, seed++));
  if (!pulled) tree.WriteFile(std::string("content/") + kLargeFile, testing::PatternBytes(kLargeSize, seed));
  std::filesystem::copy(tree.Path("content"), tree.Path("copy"), std::filesystem::copy_options::recursive);
  std::vector<std::string> options = fault.options;
  options.push_back("--log=" + tree.Path("operations.log"));
  testing::TestMedium medium(fault.kind, tree.Path("content"), options);
  ASSERT_EQ(medium.error(), "");

  const bool onSource = fault.side == Side::Source;
  const testing::VerifyResult result = onSource ? testing::VerifyFolders(medium.root(), tree.Path("copy"), reading)
                                                : testing::VerifyFolders(tree.Path("copy"), medium.root(), reading);

  // Pulled out, the files read before stay good, whichever they were when
  // files are read ahead; one read each brings in a small file whole.
  const std::vector<std::string> order = ListingOrder(tree.Path("content"));
  std::set<std::string> good(order.begin(), order.end());
  if (fault.failing) good.erase(fault.failing);
  if (pulled) {
    good.clear();
    for (const testing::FaultFsOperation& served : testing::ReadFaultFsLog(tree.Path("operations.log")))
      if (served.operation == "read" && served.result >= 0) good.insert(served.name);
    EXPECT_EQ(good.size(), static_cast<std::size_t>(fault.readsBeforePull));
  }

  const std::string errorPrefix = onSource ? "!Source read error: " : "!Destn read error: ";
  testing::VerifyResult expected;
  VerifyTotals& t = expected.totals;
  for (const std::string& name : order) {
    const std::int64_t size = name == kLargeFile ? kLargeSize : kSmallSize;
    ++t.SrcFileCount;
    ++t.DstFileCount;
    t.SrcByteTotal += size;
    if (good.count(name) != 0) {
      expected.lines.push_back("Ok: " + name);
      t.DstByteTotal += size;
      continue;
    }
    expected.lines.push_back(errorPrefix + name);
    t.DstByteTotal += fault.bytesBefore;
    ++t.ErrorCount;
    ++(onSource ? t.SrcReadErrorCount : t.DstReadErrorCount);
  }
  SortDetailLines(expected.lines);
  EXPECT_EQ(result.lines, expected.lines);
  EXPECT_EQ(testing::CountsText(result.totals), testing::CountsText(t));
  EXPECT_EQ(result.status, t.ErrorCount > 0 ? "Errors" : "Verified OK");
}

INSTANTIATE_TEST_SUITE_P(Faults, MediaFault,
                         ::testing::Combine(::testing::ValuesIn(kFaults),
                                            ::testing::Values(Reading::PlainLoop, Reading::Threads, Reading::ThreadsBlockByBlock)),
                         [](const ::testing::TestParamInfo<MediaFault::ParamType>& info) {
                           return std::string(std::get<0>(info.param).name) + "_" +
                                  testing::ReadingName(std::get<1>(info.param));
                         });

std::size_t ThreadsOfThisProcess() {
  const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// A destination file whose read, open or stat never returns, or a source
// whose open answers long after: the display stays alive while the
// comparison waits for it, Abort ends the run at once with the lines found
// so far, what the reader left behind brings back goes nowhere, and the
// reader goes once its call ends.
TEST(StalledFile, AbortEndsTheRunAndTheReaderLeftBehindGoesLater) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Fuse);
  using Clock = std::chrono::steady_clock;
  // Long after the abort, which comes 0.6 s into the stall.
  constexpr int kLateOpenMs = 3000;
  const struct {
    const char* stall;
    Side side;
    std::vector<std::string> options;
    bool sourceInMemory = false;  // on tmpfs, read apart from the head of the medium that stalls
  } cases[] = {
      {"read", Side::Destination, {"--stall-read=stuck:150000"}},
      {"read, the source read apart", Side::Destination, {"--stall-read=stuck:150000"}, true},
      {"open", Side::Destination, {"--stall-open=stuck"}},
      {"stat before the open", Side::Destination, {"--stall-stat=stuck"}},
      {"stat after a refused open", Side::Destination, {"--fail-open=stuck", "--stall-stat=stuck"}},
      {"source open answering after the abort", Side::Source, {"--late-open=stuck:" + std::to_string(kLateOpenMs)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stall);
    testing::TempTree tree;
    for (const char* name : kSmallFiles) tree.WriteFile("content/" + std::string(name), testing::PatternBytes(kSmallSize));
    tree.WriteFile("content/stuck", testing::PatternBytes(kLargeSize));
    std::filesystem::copy(tree.Path("content"), tree.Path("copy"), std::filesystem::copy_options::recursive);
    testing::TestMedium medium(MediumKind::Fuse, tree.Path("content"), c.options);
    ASSERT_EQ(medium.error(), "");
    std::optional<testing::TestMedium> memory;
    std::string copy = tree.Path("copy");
    if (c.sourceInMemory) {
      OVIK_REQUIRE_MEDIUM(MediumKind::Tmpfs);
      memory.emplace(MediumKind::Tmpfs, copy);
      ASSERT_EQ(memory->error(), "");
      copy = memory->root();
    }

    testing::RecordingView view;
    VerifyEngine engine(view, SystemFileSystem(), SystemClock());
    engine.VerifyCommand(copy, copy);  // a sanitizer's own thread starts with the first readers
    const std::size_t threadsBefore = ThreadsOfThisProcess();
    // Abort once the run stays on one file: a run held up by another file
    // than the stalled one, or before any file, fails instead of hanging.
    std::string stalledFile;
    Clock::time_point stalledSince;
    std::optional<Clock::time_point> abortedAt;
    int pumpsWhileStalled = 0;
    const auto start = Clock::now();
    view.onPump = [&] {
      const std::string& file = view.Label(ViewLabel::CurrFileName).text;
      if (!abortedAt && file.empty() && Clock::now() - start > std::chrono::seconds(10)) {
        abortedAt = Clock::now();
        engine.AbortCommand();
      }
      if (abortedAt || file.empty()) return;
      if (file != stalledFile) {
        stalledFile = file;
        stalledSince = Clock::now();
        pumpsWhileStalled = 0;
      }
      ++pumpsWhileStalled;
      if (Clock::now() - stalledSince < std::chrono::milliseconds(600)) return;
      abortedAt = Clock::now();
      engine.AbortCommand();
    };
    if (c.side == Side::Source) engine.VerifyCommand(medium.root(), copy);
    else engine.VerifyCommand(copy, medium.root());
    const auto abortTook = Clock::now() - abortedAt.value_or(Clock::now());

    ASSERT_TRUE(abortedAt.has_value()) << "the run never met the stalled file";
    EXPECT_EQ(stalledFile, "stuck");
    EXPECT_GE(pumpsWhileStalled, 3) << "the display stays alive during the stall";
    EXPECT_LT(abortTook, testing::kPromptly);
    EXPECT_EQ(view.status, "Aborted");
    for (const std::string& line : view.lines) EXPECT_EQ(line.rfind("Ok: ", 0), 0u) << line;
    EXPECT_EQ(view.lines.size(), static_cast<std::size_t>(engine.totals.DstFileCount));
    EXPECT_EQ(engine.totals.DstByteTotal, static_cast<std::int64_t>(view.lines.size()) * kSmallSize)
        << "the stalled file counts nothing";

    // The late open answers into the pair the comparison gave up.
    if (c.side == Side::Source) std::this_thread::sleep_until(start + std::chrono::milliseconds(kLateOpenMs + 500));
    medium.TearDown();
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (ThreadsOfThisProcess() > threadsBefore && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ThreadsOfThisProcess(), threadsBefore) << "the reader left behind goes once its call fails";
  }
}

// A folder whose listing never returns, or a checksum list whose read never
// returns: the engine waits for the call aside, the display stays alive,
// and Abort ends the run at once with nothing made up for what was stalled.
TEST(StalledListing, AbortEndsTheRunAtOnce) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Fuse);
  using Clock = std::chrono::steady_clock;
  const struct {
    const char* stall;
    bool checkList;
  } cases[] = {{"--stall-list=stuck", false}, {"--stall-read=SUMS:0", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stall);
    testing::TempTree tree;
    tree.WriteFile("content/a", testing::PatternBytes(kSmallSize));
    tree.WriteFile("content/stuck/b", testing::PatternBytes(kSmallSize));
    tree.WriteFile("content/SUMS", "0000000000000000000000000000000000000000000000000000000000000000  a\n");
    testing::TestMedium medium(MediumKind::Fuse, tree.Path("content"), {c.stall});
    ASSERT_EQ(medium.error(), "");

    testing::RecordingView view;
    VerifyEngine engine(view, SystemFileSystem(), SystemClock());
    const auto start = Clock::now();
    std::optional<Clock::time_point> abortedAt;
    int pumps = 0;
    view.onPump = [&] {
      ++pumps;
      if (abortedAt || Clock::now() - start < std::chrono::milliseconds(600)) return;
      abortedAt = Clock::now();
      engine.AbortCommand();
    };
    if (c.checkList) engine.CheckCommand(medium.root() + "/SUMS", tree.Path("content"));
    else engine.VerifyCommand(medium.root(), tree.Path("content"));
    const auto abortTook = Clock::now() - abortedAt.value_or(Clock::now());

    ASSERT_TRUE(abortedAt.has_value()) << "the display went deaf during the stall";
    EXPECT_GE(pumps, 4) << "the display stays alive during the stall";
    EXPECT_LT(abortTook, testing::kPromptly);
    EXPECT_EQ(view.status, "Aborted");
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(engine.totals.ErrorCount, 0);
    medium.TearDown();
  }
}

// The harness itself: tearing a FUSE medium down ends a read stalled in it,
// in another process, instead of hanging with it.
TEST(TestMedium, TearingDownEndsAStalledRead) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Fuse);
  testing::TempTree tree;
  tree.WriteFile("content/stuck", testing::PatternBytes(kSmallSize));
  testing::TestMedium medium(MediumKind::Fuse, tree.Path("content"), {"--stall-read=stuck:0"});
  ASSERT_EQ(medium.error(), "");

  int answer[2];
  ASSERT_EQ(pipe(answer), 0);
  const std::string path = medium.root() + "/stuck";
  const pid_t reader = fork();
  if (reader == 0) {
    close(answer[0]);
    const int file = open(path.c_str(), O_RDONLY);
    char byte;
    const int error = file >= 0 && read(file, &byte, 1) < 0 ? errno : 0;
    _exit(write(answer[1], &error, sizeof error) == sizeof error ? 0 : 1);
  }
  close(answer[1]);
  pollfd done{answer[0], POLLIN, 0};
  EXPECT_EQ(poll(&done, 1, 300), 0) << "the read was not stalled";
  medium.TearDown();
  EXPECT_EQ(poll(&done, 1, 5000), 1) << "the read still hangs after the teardown";
  int error = 0;
  EXPECT_EQ(read(answer[0], &error, sizeof error), static_cast<ssize_t>(sizeof error));
  EXPECT_NE(error, 0) << "the stalled read did not fail";
  close(answer[0]);
  kill(reader, SIGKILL);
  waitpid(reader, nullptr, 0);
}

}  // namespace
}  // namespace ovik
