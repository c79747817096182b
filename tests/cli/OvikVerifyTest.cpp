#include "Version.h"
#include "cli/CliOptions.h"
#include "platform/files/FolderCheck.h"
#include "cli/ProgressLine.h"
#include "cli/TerminalText.h"
#include "cli/TransferRate.h"
#include "platform/desktop/BusConnection.h"
#include "support/FakeClock.h"
#include "support/DesktopBuses.h"
#include "support/FileBytes.h"
#include "support/TempTree.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

namespace ovik {
namespace {

using testing::PatternBytes;
using testing::TempTree;
using Lines = std::vector<std::string>;

struct Outcome {
  std::string out;
  std::string err;
  int exitCode = -1;  // -1 when the program did not exit normally
};

enum class ErrorOutput { Pipe, Terminal };

// Runs ovik-verify with the arguments; `whileRunning` is called with its
// process id once it has started. A program that does not end within a
// minute is killed and the outcome says so.
Outcome RunVerifier(const Lines& args, const std::function<void(pid_t)>& whileRunning = nullptr,
                    ErrorOutput errorOutput = ErrorOutput::Pipe, const Lines& environment = {}) {
  int out[2], err[2];
  if (pipe(out) != 0) return {};
  if (errorOutput == ErrorOutput::Terminal ? openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0
                                           : pipe(err) != 0)
    return {};
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(err[0]);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv{const_cast<char*>(OVIK_VERIFY_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(OVIK_VERIFY_BINARY, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  if (whileRunning) whileRunning(child);

  Outcome outcome;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&outcome.out, &outcome.err};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int open = 2;
  while (open > 0 && std::chrono::steady_clock::now() < deadline) {
    if (poll(fds, 2, 1000) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  if (open > 0) kill(child, SIGKILL);
  for (const pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  return outcome;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start != text.size()) lines.push_back(text.substr(start) + "<no line end>");
  return lines;
}

// A source with one good file, one missing and one mismatched in a
// sub-folder, and its damaged copy.
struct SamplePair {
  TempTree tree;
  std::string src = tree.Path("src");
  std::string dst = tree.Path("dst");
  SamplePair() {
    tree.WriteFile("src/good", "12345");
    tree.WriteFile("dst/good", "12345");
    tree.WriteFile("src/Gone", "x");
    tree.WriteFile("src/sub/changed", "abcdef");
    tree.WriteFile("dst/sub/changed", "abcXef");
  }
};

TEST(OvikVerify, FullOutputShape) {
  SamplePair pair;
  const Outcome outcome = RunVerifier({pair.src + "/", pair.dst});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.err, "");
  Lines lines = SplitLines(outcome.out);
  ASSERT_EQ(lines.size(), 19u) << outcome.out;
  EXPECT_TRUE(lines[17].rfind("Elapsed time: 00:00:0", 0) == 0) << lines[17];
  lines[17] = "Elapsed time:";
  EXPECT_EQ(lines, (Lines{"Source folder: " + pair.src + "/",
                          "Destination folder: " + pair.dst,
                          "!Destn file missing: Gone",
                          "!Mismatched contents at offset 3: sub/changed",
                          "Ok: good",
                          "",
                          "Source files: 3",
                          "Source sub-folders: 1",
                          "Source bytes: 12",
                          "Checked files: 2",
                          "Checked sub-folders: 1",
                          "Checked bytes: 11",
                          "Errors: 2",
                          "Destn files missing: 1",
                          "Source read errors: 0",
                          "Destn read errors: 0",
                          "Mismatches: 1",
                          "Elapsed time:",
                          "Errors"}));
}

TEST(OvikVerify, ExplainPrintsEachNoteIndentedUnderItsLine) {
  SamplePair pair;
  const Outcome outcome = RunVerifier({"--explain", "-e", pair.src, pair.dst});
  EXPECT_EQ(outcome.exitCode, 1);
  const Lines lines = SplitLines(outcome.out);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(Lines(lines.begin() + 2, lines.begin() + 6),
            (Lines{"!Destn file missing: Gone", "!Mismatched contents at offset 3: sub/changed",
                   "    4 bits flipped in 1 byte from offset 3: bit rot or bad memory",
                   "    1 of 1 block of 102,400 bytes from offset 0 on differ (1 byte); 1 range: 3-3"}));
  EXPECT_EQ(lines[6], "");
}

// Every line parses on its own; the results are those of the text output,
// one for one, with a name that is not UTF-8 given as its bytes too; the
// summary tells the exit status the program returns.
TEST(OvikVerify, JsonStreamHoldsTheTextOutputsResults) {
  SamplePair pair;
  pair.tree.WriteFile("src/caf\xe9", "bytes");
  pair.tree.WriteFile("dst/caf\xe9", "bytes!");
  for (const Lines& filter : {Lines{}, Lines{"-e"}}) {
    Lines args = filter;
    args.insert(args.end(), {pair.src, pair.dst});
    const Outcome text = RunVerifier(args);
    args.insert(args.begin(), "--json");
    const Outcome stream = RunVerifier(args);
    EXPECT_EQ(stream.exitCode, text.exitCode);
    std::vector<nlohmann::json> objects;
    for (const std::string& line : SplitLines(stream.out)) {
      try {
        objects.push_back(nlohmann::json::parse(line));
      } catch (const nlohmann::json::exception& e) {
        ADD_FAILURE() << line << ": " << e.what();
      }
    }
    ASSERT_GE(objects.size(), 2u) << stream.out;
    EXPECT_EQ(objects.front()["type"], "start");
    EXPECT_EQ(objects.front()["version"], 1);
    const nlohmann::json& summary = objects.back();
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["verdict"], "errors");
    EXPECT_EQ(summary["exit_status"], stream.exitCode);
    EXPECT_EQ(summary["totals"]["mismatches"], 2);
    Lines results;
    for (const nlohmann::json& object : objects) {
      if (object["type"] != "result") continue;
      std::string name = object["name"];
      if (object.contains("name_bytes")) {
        name.clear();
        for (const int byte : object["name_bytes"]) name += static_cast<char>(byte);
      }
      results.push_back(object["prefix"].get<std::string>() + ": " + name);
      if (name == "caf\xe9") {
        EXPECT_EQ(object["damage"], "long");
        EXPECT_EQ(object["source_size"], 5);
        EXPECT_EQ(object["destination_size"], 6);
      }
    }
    const Lines textLines = SplitLines(text.out);
    Lines expected(textLines.begin() + 2, std::find(textLines.begin(), textLines.end(), ""));
    std::sort(results.begin(), results.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(results, expected);
  }
}

TEST(OvikVerify, FiltersAndQuiet) {
  SamplePair pair;
  const auto detailLines = [](const Outcome& outcome) {
    Lines lines = SplitLines(outcome.out);
    const auto blank = std::find(lines.begin(), lines.end(), "");
    return Lines(lines.begin() + 2, blank);
  };
  const Outcome errors = RunVerifier({"--errors-only", pair.src, pair.dst});
  EXPECT_EQ(errors.exitCode, 1);
  EXPECT_EQ(detailLines(errors), (Lines{"!Destn file missing: Gone", "!Mismatched contents at offset 3: sub/changed"}));
  const Outcome nonErrors = RunVerifier({pair.src, pair.dst, "--non-errors-only"});
  EXPECT_EQ(detailLines(nonErrors), Lines{"Ok: good"});
  EXPECT_EQ(SplitLines(nonErrors.out).back(), "Errors");
  const Outcome quiet = RunVerifier({"--quiet", "--errors-only", pair.src, pair.dst});
  EXPECT_EQ(quiet.out, "Errors\n");
  EXPECT_EQ(quiet.exitCode, 1);
}

// A folder copied from a system that writes names in form D: the names
// differ from the source's, unless --unicode-equal takes them as one.
TEST(OvikVerify, UnicodeEqualComparesTheFileUnderTheOtherForm) {
  TempTree tree;
  tree.WriteFile("src/caf\xc3\xa9.txt", "coffee");
  tree.WriteFile("dst/cafe\xcc\x81.txt", "coffee");
  tree.WriteFile("src/na\xc3\xafve.txt", "one");
  tree.WriteFile("dst/nai\xcc\x88ve.txt", "two");
  const struct {
    Lines options;
    Lines details;
  } cases[] = {
      {{}, {"!Destn file missing: caf\xc3\xa9.txt", "!Destn file missing: na\xc3\xafve.txt"}},
      {{"--unicode-equal"}, {"!Mismatched contents at offset 0: na\xc3\xafve.txt", "Ok: caf\xc3\xa9.txt"}},
  };
  for (const auto& c : cases) {
    Lines args = c.options;
    args.insert(args.end(), {tree.Path("src"), tree.Path("dst")});
    const Outcome outcome = RunVerifier(args);
    EXPECT_EQ(outcome.exitCode, 1);
    const Lines lines = SplitLines(outcome.out);
    ASSERT_GT(lines.size(), 2u) << outcome.out;
    EXPECT_EQ(Lines(lines.begin() + 2, std::find(lines.begin(), lines.end(), "")), c.details);
  }
}

TEST(OvikVerify, SkippedHiddenFoldersAreNamedAndCountedOnStandardError) {
  // A home folder whose mail and settings were copied wrong; hidden files
  // in the folders walked are verified either way.
  TempTree tree;
  for (const char* side : {"home/", "copy/"}) {
    tree.WriteFile(std::string(side) + "docs/a", "a");
    tree.WriteFile(std::string(side) + "docs/.hidden-file", "h");
    tree.WriteFile(std::string(side) + ".thunderbird/.cache/c", "c");
  }
  tree.WriteFile("home/.config/app/rc", "x");
  tree.WriteFile("copy/.config/app/rc", "y");
  const std::string home = tree.Path("home");
  const std::string copy = tree.Path("copy");
  const std::string notice = " (--hidden verifies them)\n";
  const struct {
    Lines args;
    Lines details;  // empty with -q
    std::string err;
    int exitCode;
  } cases[] = {
      {{home, copy},
       {"Hidden folder skipped: .config/", "Hidden folder skipped: .thunderbird/", "Ok: docs/.hidden-file",
        "Ok: docs/a"},
       "ovik-verify: 2 hidden folders skipped" + notice, 0},
      {{"-e", home, copy}, {}, "ovik-verify: 2 hidden folders skipped" + notice, 0},
      {{"-q", home, copy}, {}, "", 0},
      {{home + "/.thunderbird", copy + "/.thunderbird"},
       {"Hidden folder skipped: .cache/"},
       "ovik-verify: 1 hidden folder skipped" + notice, 2},
      {{"-H", home, copy},
       {"!Mismatched contents at offset 0: .config/app/rc", "Ok: .thunderbird/.cache/c", "Ok: docs/.hidden-file",
        "Ok: docs/a"},
       "", 1},
      {{"--hidden", "-n", home, copy}, {"Ok: .thunderbird/.cache/c", "Ok: docs/.hidden-file", "Ok: docs/a"}, "", 1},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunVerifier(c.args);
    const Lines lines = SplitLines(outcome.out);
    const auto blank = std::find(lines.begin(), lines.end(), "");
    const Lines details = lines.size() > 2 ? Lines(lines.begin() + 2, blank) : Lines{};
    EXPECT_EQ(details, c.details) << ::testing::PrintToString(c.args);
    EXPECT_EQ(outcome.err, c.err) << ::testing::PrintToString(c.args);
    EXPECT_EQ(outcome.exitCode, c.exitCode) << ::testing::PrintToString(c.args);
  }
}

TEST(OvikVerify, ExitStatusFollowsTheVerdict) {
  TempTree tree;
  tree.WriteFile("same/a", "a");
  tree.WriteFile("copy/a", "a");
  tree.MakeFolder("empty/sub");
  const Outcome ok = RunVerifier({"--quiet", tree.Path("same"), tree.Path("copy")});
  EXPECT_EQ(ok.out, "Verified OK\n");
  EXPECT_EQ(ok.exitCode, 0);
  const Outcome none = RunVerifier({tree.Path("empty"), tree.Path("copy")});
  EXPECT_EQ(SplitLines(none.out).back(), "No source files");
  EXPECT_EQ(none.exitCode, 2);
  const Outcome missing = RunVerifier({"--quiet", tree.Path("nowhere"), tree.Path("copy")});
  EXPECT_EQ(missing.out, "No source files\n");
  EXPECT_EQ(missing.exitCode, 2);
}

// Bytes 0x80 to 0x9F outside UTF-8 are C1 controls to a terminal that reads
// 8-bit text: escaped in every locale, kept in the CSV.
TEST(OvikVerify, RawC1BytesInNamesAreEscapedInEveryLocale) {
  TempTree tree;
  tree.WriteFile("src/csi\x9b" "2J", "x");
  tree.WriteFile("src/nel\x85", "x");
  tree.MakeFolder("dst");
  for (const char* locale : {"LC_ALL=C", "LC_ALL=C.UTF-8"}) {
    const Outcome outcome = RunVerifier({"-e", "--report", tree.Path("r.txt"), "--csv", tree.Path("r.csv"),
                                         tree.Path("src"), tree.Path("dst")},
                                        nullptr, ErrorOutput::Pipe, {locale});
    const Lines lines = SplitLines(outcome.out);
    ASSERT_GE(lines.size(), 4u) << locale;
    EXPECT_EQ(Lines(lines.begin() + 2, lines.begin() + 4),
              (Lines{"\\!Destn file missing: csi\\x9b2J", "\\!Destn file missing: nel\\x85"}))
        << locale;
    EXPECT_TRUE(testing::ReadFileBytes(tree.Path("r.txt")).ends_with(
        "\\!Destn file missing: csi\\x9b2J\r\n\\!Destn file missing: nel\\x85\r\n"))
        << locale;
    EXPECT_TRUE(testing::ReadFileBytes(tree.Path("r.csv")).ends_with("\"!Destn file missing\",\"nel\x85\"\r\n"))
        << locale;
  }
}

// Beside the missing file, the source holds the path of a file that is
// there under the root, so that it is found and compared.
TEST(OvikVerify, RootAsDestination) {
  TempTree tree;
  const std::string name = "ovik-test-no-such-entry-" + std::to_string(getpid());
  tree.WriteFile("src/" + name, "x");
  tree.WriteFile("there.txt", "here");
  tree.WriteFile("src" + tree.Path("there.txt"), "here");
  const Outcome outcome = RunVerifier({"--errors-only", tree.Path("src"), "/"});
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.err, "") << "the root is a folder";
  const Lines lines = SplitLines(outcome.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[1], "Destination folder: /");
  EXPECT_EQ(lines[2], "!Destn file missing: " + name);
  EXPECT_EQ(lines[3], "");
}

TEST(OvikVerify, BadUsageNamesTheProblemInTwoLinesAndExits64) {
  const struct {
    Lines args;
    std::string problem;
  } badCalls[] = {
      {{}, "a source and a destination folder are needed"},
      {{"only-one"}, "a source and a destination folder are needed"},
      {{"a", "b", "c"}, "too many arguments"},
      {{"--bogus", "a", "b"}, "unknown option: --bogus"},
      {{"-qx", "a", "b"}, "unknown option: -x"},
      {{"--quiet=yes", "a", "b"}, "--quiet takes no value"},
      {{"--readers=0", "a", "b"}, "--readers takes auto or a count from 1 to 64: 0"},
      {{"--readers", "65", "a", "b"}, "--readers takes auto or a count from 1 to 64: 65"},
      {{"--readers=two", "a", "b"}, "--readers takes auto or a count from 1 to 64: two"},
      {{"-e", "--non-errors-only", "a", "b"}, "--errors-only and --non-errors-only exclude each other"},
      {{"-en", "a", "b"}, "--errors-only and --non-errors-only exclude each other"},
      {{"", "b"}, "a folder name cannot be empty"},
      {{"-c"}, "-c needs a file name"},
      {{"-c", "list", "a", "b"}, "too many arguments"},
      {{"--write-sums", "f", "--check=list"}, "--write-sums and --check exclude each other"},
  };
  for (const auto& call : badCalls) {
    const Outcome outcome = RunVerifier(call.args);
    EXPECT_EQ(outcome.exitCode, 64) << ::testing::PrintToString(call.args);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "ovik-verify: " + call.problem + "\nTry 'ovik-verify --help' for more information.\n");
  }
}

TEST(OvikVerify, NamesAMissingOrNonFolderRootAndRunsAllTheSame) {
  TempTree tree;
  tree.WriteFile("src/a", "a");
  tree.WriteFile("plain", "a");
  const Outcome missing = RunVerifier({"-q", tree.Path("src"), tree.Path("nowhere")});
  EXPECT_EQ(missing.err, "ovik-verify: " + tree.Path("nowhere") + ": No such file or directory\n");
  EXPECT_EQ(missing.out, "Errors\n");
  EXPECT_EQ(missing.exitCode, 1);
  const Outcome notFolder = RunVerifier({"-q", tree.Path("plain"), tree.Path("src")});
  EXPECT_EQ(notFolder.err, "ovik-verify: " + tree.Path("plain") + ": Not a directory\n");
  EXPECT_EQ(notFolder.exitCode, 2);
  EXPECT_EQ(FolderProblem("/"), "");
}

TEST(OvikVerify, HelpAndVersion) {
  const Outcome help = RunVerifier({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("Usage: ovik-verify", 0), 0u);
  const Outcome version = RunVerifier({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("ovik-verify ") + kVersionText + "\n");
}

TEST(OvikVerify, ProgressOnlyOnATerminalAndTimedFromTheRunsStart) {
  SamplePair pair;
  const Outcome piped = RunVerifier({"--progress", "--quiet", pair.src, pair.dst});
  EXPECT_EQ(piped.err, "");
  EXPECT_EQ(piped.out, "Errors\n");

  const Outcome outcome = RunVerifier({"--progress", "--quiet", pair.src, pair.dst}, nullptr, ErrorOutput::Terminal);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(outcome.out, "Errors\n");
  const std::regex frame(R"((\d+)% ([\d,]+) bytes checked, [\d,]+ files, (\S+))");
  int frames = 0;
  for (std::sregex_iterator it(outcome.err.begin(), outcome.err.end(), frame), end; it != end; ++it, ++frames) {
    const std::int64_t bytes = std::stoll(std::regex_replace((*it)[2].str(), std::regex(","), ""));
    EXPECT_EQ(std::stoi((*it)[1]), PercentChecked(bytes, 12)) << "the percentage of the bytes beside it";
    EXPECT_EQ((*it)[3].str().rfind("00:00:0", 0), 0u) << "elapsed time of a short run: " << (*it)[3];
  }
  EXPECT_GE(frames, 1);
  EXPECT_TRUE(outcome.err.ends_with("\r\033[K")) << "the progress line is wiped at the end";
  for (std::size_t start = 0, end; (end = outcome.err.find("\r\033[K", start)) != std::string::npos; start = end + 4)
    EXPECT_LT(end - start, 80u) << "a frame fits the default 80 columns: " << outcome.err.substr(start, end - start);
}

// A run checking 12 MB a second, from the first comparison on.
TEST(ProgressLine, RateAndTimeLeftFollowTheLastSecondsOfTheRun) {
  testing::FakeClock clock;
  TransferRate rate(clock);
  const std::int64_t total = 1'000'000'000;
  std::int64_t checked = 0;
  const auto runFor = [&](double seconds, double bytesPerSecond) {
    for (double t = 0; t < seconds; t += 0.25) {
      clock.Advance(0.25);
      checked += static_cast<std::int64_t>(bytesPerSecond / 4);
      rate.Record(checked);
    }
  };
  rate.Record(0);
  runFor(0.75, 12e6);
  EXPECT_FALSE(rate.BytesPerSecond()) << "no rate within the first second";
  runFor(2, 12e6);
  EXPECT_EQ(RateText(rate.BytesPerSecond().value_or(0)), "12 MB/s");
  EXPECT_FALSE(rate.SecondsLeft(total - checked)) << "no time left before three seconds";
  runFor(0.25, 12e6);
  ASSERT_TRUE(rate.SecondsLeft(total - checked));
  EXPECT_EQ(TimeLeftText(*rate.SecondsLeft(total - checked)), "1:21 left");

  runFor(10, 2e6);
  EXPECT_EQ(RateText(rate.BytesPerSecond().value_or(0)), "2.0 MB/s") << "the window forgets the faster start";
  runFor(6, 0);
  EXPECT_EQ(RateText(rate.BytesPerSecond().value_or(-1)), "0.00 MB/s");
  EXPECT_FALSE(rate.SecondsLeft(total - checked)) << "no estimate while nothing moves";
}

TEST(ProgressLine, RateAndTimeTexts) {
  const std::pair<double, std::string> rates[] = {
      {0, "0.00 MB/s"},      {4'000, "0.00 MB/s"},  {250'000, "0.25 MB/s"},      {3'449'000, "3.4 MB/s"},
      {9'940'000, "9.9 MB/s"}, {12'400'000, "12 MB/s"}, {1'234'500'000, "1,235 MB/s"}, {-5, "0.00 MB/s"}};
  for (const auto& [bytesPerSecond, text] : rates) EXPECT_EQ(RateText(bytesPerSecond), text) << bytesPerSecond;
  const std::pair<double, std::string> times[] = {
      {0, "0:00 left"}, {41.2, "0:42 left"}, {599.5, "10:00 left"}, {3599, "59:59 left"}, {3723, "1:02:03 left"},
      {1e300, "27777:46:40 left"}};
  for (const auto& [seconds, text] : times) EXPECT_EQ(TimeLeftText(seconds), text) << seconds;
  const struct {
    std::int64_t checked, total;
    int percent;
  } shares[] = {{0, 0, 0}, {5, 0, 0}, {11'500'000'000, 20'000'000'000, 57}, {19'999'999'999, 20'000'000'000, 99},
                {20'000'000'000, 20'000'000'000, 100}, {21, 20, 100}};
  for (const auto& share : shares) EXPECT_EQ(PercentChecked(share.checked, share.total), share.percent) << share.checked;
}

TEST(ProgressLine, FitsTheTerminalByShorteningTheName) {
  ProgressFigures figures;
  figures.percent = 50;
  figures.bytesChecked = 36'000'000;
  figures.filesChecked = 3;
  figures.elapsed = "00:00:03";
  figures.bytesPerSecond = 12e6;
  figures.secondsLeft = 42;
  figures.currentName = "photos/2026/holiday.jpg";
  const std::string figuresText = "50% 36,000,000 bytes checked, 3 files, 00:00:03, 12 MB/s, 0:42 left";
  EXPECT_EQ(ProgressLineText(figures, 120), figuresText + " photos/2026/holiday.jpg");
  EXPECT_EQ(ProgressLineText(figures, figuresText.size() + 16), figuresText + " ...holiday.jpg");
  EXPECT_EQ(ProgressLineText(figures, figuresText.size() + 4), figuresText) << "no room for a name";
  EXPECT_EQ(ProgressLineText(figures, 60), "50% 36,000,000 bytes checked, 00:00:03, 12 MB/s, 0:42 left");
  EXPECT_EQ(ProgressLineText(figures, 40), "50% 00:00:03, 12 MB/s, 0:42 left ...jpg");
  EXPECT_EQ(ProgressLineText(figures, 30), "50% 12 MB/s, 0:42 left ...jpg");
  EXPECT_EQ(ProgressLineText(figures, 10), "50% 12 MB");
  EXPECT_EQ(ProgressLineText(figures, 0), "");

  figures.currentName = "line\nbreak\r\033[2J\u009b\x9b\xe2\x82\xac";
  EXPECT_EQ(ProgressLineText(figures, 120), figuresText + " line?break??[2J??\xe2\x82\xac") << "control characters";
  figures.currentName = "Ordner/\u00e4\u00e4\u00e4\u00e4";
  for (std::size_t columns = figuresText.size() + 5; columns < figuresText.size() + 14; ++columns) {
    const std::string line = ProgressLineText(figures, columns);
    EXPECT_LT(DisplayWidth(line), columns);
    EXPECT_TRUE(line.ends_with("\u00e4") || line == figuresText) << "cut between characters: " << line;
  }
}

TEST(OvikVerify, UserLocaleOrdersTheLinesAndFormatsTheTime) {
  if (std::setlocale(LC_ALL, "en_US.UTF-8") == nullptr)
    GTEST_SKIP() << "locale en_US.UTF-8 is not installed (generate it with locale-gen)";
  std::setlocale(LC_ALL, "C");
  TempTree tree;
  for (const char* name : {"apple", "Banana", "cherry"}) {
    tree.WriteFile(std::string("src/") + name, "x");
    tree.WriteFile(std::string("dst/") + name, "x");
  }
  tree.WriteFile("src/a-missing", "x");
  const Outcome outcome =
      RunVerifier({tree.Path("src"), tree.Path("dst")}, nullptr, ErrorOutput::Pipe, {"LC_ALL=en_US.UTF-8"});
  const Lines lines = SplitLines(outcome.out);
  ASSERT_EQ(lines.size(), 20u) << outcome.out;
  EXPECT_EQ(Lines(lines.begin() + 2, lines.begin() + 6),
            (Lines{"!Destn file missing: a-missing", "Ok: apple", "Ok: Banana", "Ok: cherry"}));
  EXPECT_TRUE(lines[18].ends_with(" AM")) << lines[18];
}

TEST(CliOptions, FoldersAndOptions) {
  std::string error;
  auto options = ParseCliOptions({"/", "/"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->source, "/");
  EXPECT_EQ(options->destination, "/");
  EXPECT_EQ(options->filter, ReportFilter::All);

  options = ParseCliOptions({"--quiet", "--", "--errors-only", "-"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->quiet);
  EXPECT_EQ(options->source, "--errors-only");
  EXPECT_EQ(options->destination, "-");

  options = ParseCliOptions({"--errors-only", "--errors-only", "s", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->filter, ReportFilter::ErrorsOnly);
  EXPECT_FALSE(ParseCliOptions({"--errors-only", "--non-errors-only", "s", "d"}, error));
  EXPECT_TRUE(ParseCliOptions({"--version"}, error));
  options = ParseCliOptions({"s", "--hidden", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->includeHidden);
  EXPECT_FALSE(options->allowSleep);
  options = ParseCliOptions({"--allow-sleep", "s", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->allowSleep);
  EXPECT_FALSE(options->unicodeEqual);
  EXPECT_FALSE(ParseCliOptions({"--allow-sleep=yes", "s", "d"}, error));
  options = ParseCliOptions({"s", "d", "--unicode-equal"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->unicodeEqual);

  // A checksum list describes the folder that holds it unless one is named;
  // standard input and lists that are no regular files, the current folder.
  const struct {
    std::vector<std::string> args;
    std::string list, folder;
  } checks[] = {
      {{"-c", "disc/SHA256SUMS"}, "disc/SHA256SUMS", "disc"},
      {{"--check=SUMS"}, "SUMS", "."},
      {{"-qc/SUMS"}, "/SUMS", "/"},
      {{"--check", "SUMS", "copy"}, "SUMS", "copy"},
      {{"-c", "-"}, "-", "."},
      {{"--check=/dev/stdin"}, "/dev/stdin", "."},
      {{"-c", "/dev/null"}, "/dev/null", "."},
  };
  for (const auto& check : checks) {
    options = ParseCliOptions(check.args, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->check);
    EXPECT_EQ(options->source, check.list);
    EXPECT_EQ(options->destination, check.folder);
  }
  options = ParseCliOptions({"--write-sums=S", "s", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->sumsFile, "S");
  EXPECT_FALSE(options->check);

  // The kind of a list's untagged hashes, named by the user.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-a", "BLAKE2b", "-c", "SUMS"}, {"--algorithm=blake2b", "-c", "SUMS"},
        {"-ablake2b", "--check", "SUMS"}}) {
    options = ParseCliOptions(args, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->algorithm, DigestKind::Blake2b512);
  }
  for (const std::vector<std::string>& args : {std::vector<std::string>{"-a", "crc32", "-c", "SUMS"},
                                               {"--algorithm", "sha256", "s", "d"}, {"-c", "SUMS", "-a"}})
    EXPECT_FALSE(ParseCliOptions(args, error)) << args[0];
}

TEST(CliOptions, ShortOptionsCombineAndStopAtTheEndOfOptions) {
  std::string error;
  auto options = ParseCliOptions({"-qp", "s", "-e", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->quiet);
  EXPECT_TRUE(options->progress);
  EXPECT_EQ(options->filter, ReportFilter::ErrorsOnly);
  EXPECT_EQ(options->destination, "d");

  options = ParseCliOptions({"-n", "--", "-q", "-p"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->filter, ReportFilter::NonErrorsOnly);
  EXPECT_FALSE(options->quiet);
  EXPECT_EQ(options->source, "-q");
  EXPECT_EQ(options->destination, "-p");

  options = ParseCliOptions({"-Hq", "s", "d"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->includeHidden);
  EXPECT_TRUE(options->quiet);
  EXPECT_FALSE(ParseCliOptions({"-qh"}, error)->includeHidden);

  options = ParseCliOptions({"-qh"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_TRUE(options->help);
  EXPECT_EQ(ParseCliOptions({"-c", "s", "d"}, error)->destination, "d") << "-c is --check, not --cached";
  EXPECT_EQ(ParseCliOptions({"--readers=3", "s", "d"}, error)->readers, 3u);
  EXPECT_EQ(ParseCliOptions({"--readers", "auto", "s", "d"}, error)->readers, 0u);
}

TEST(OvikVerify, VerboseTellsHowEachMediumIsRead) {
  TempTree tree;
  tree.WriteFile("src/a", "a");
  tree.WriteFile("dst/a", "a");
  const Outcome run = RunVerifier({"-q", "--verbose", "--readers=2", tree.Path("src"), tree.Path("dst")});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "Verified OK\n");
  for (const char* told : {"ovik-verify: source: ", "ovik-verify: destination: ", "ovik-verify: reading: ",
                           "ovik-verify: settled on: ", "2 readers"})
    EXPECT_NE(run.err.find(told), std::string::npos) << told << " in " << run.err;
}

// True once the process has a file of `folder` open.
bool HasFileOpenBelow(pid_t pid, const std::string& folder) {
  std::error_code ignored;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
    const auto target = std::filesystem::read_symlink(fd.path(), ignored).string();
    if (target.rfind(folder + "/", 0) == 0) return true;
  }
  return false;
}

TEST(OvikVerify, InterruptOrTerminationAbortsAndExits3) {
  TempTree tree;
  // Many names for one 8 MiB file on each side: a long run that costs
  // little to set up. A folder below the source is open once the run is
  // under way.
  tree.WriteFile("data", PatternBytes(8 << 20, 4));
  tree.WriteFile("copy", PatternBytes(8 << 20, 4));
  tree.MakeFolder("src/sub");
  tree.MakeFolder("dst/sub");
  for (int i = 0; i < 200; ++i) {
    const std::string name = "/sub/f" + std::to_string(i);
    std::filesystem::create_hard_link(tree.Path("data"), tree.Path("src") + name);
    std::filesystem::create_hard_link(tree.Path("copy"), tree.Path("dst") + name);
  }
  // A checksum list and reports written before are kept whole.
  const Lines earlier = {"SUMS", "rep.txt", "rep.csv"};
  for (const std::string& name : earlier) tree.WriteFile(name, "earlier " + name + "\n");
  for (int signal : {SIGINT, SIGTERM}) {
    bool sent = false;
    const Outcome outcome = RunVerifier({"--cached", "--write-sums", tree.Path("SUMS"), "--report", tree.Path("rep.txt"),
                                         "--csv", tree.Path("rep.csv"), tree.Path("src"), tree.Path("dst")},
                                        [&](pid_t pid) {
      // Once something below the source is open the run is under way and
      // the handler is in place.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!HasFileOpenBelow(pid, tree.Path("src")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sent = kill(pid, signal) == 0;
    });
    ASSERT_TRUE(sent);
    EXPECT_EQ(outcome.exitCode, 3) << "signal " << signal;
    const Lines lines = SplitLines(outcome.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), "Source folder: " + tree.Path("src"));
    EXPECT_EQ(lines.back(), "Aborted");
    EXPECT_LT(lines.size(), 200u + 16u) << "the run stopped early";
    std::string left;
    for (const std::string& name : earlier) {
      left += "ovik-verify: " + tree.Path(name) + ": not written, the run was aborted; an earlier file is left as it was\n";
      EXPECT_EQ(testing::ReadFileBytes(tree.Path(name)), "earlier " + name + "\n");
    }
    EXPECT_EQ(outcome.err, left);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.root()), {}), 7) << "no temporary file left";
  }
}

// Ctrl+C ends a check whose list is a FIFO that no one ever writes.
TEST(OvikVerify, OneInterruptEndsACheckWaitingForASilentList) {
  TempTree tree;
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
  std::chrono::steady_clock::time_point interrupted;
  const Outcome outcome = RunVerifier(
      {"-c", tree.Path("fifo"), tree.root()},
      [&](pid_t pid) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        interrupted = std::chrono::steady_clock::now();
        kill(pid, SIGINT);
      },
      ErrorOutput::Pipe, {"ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, testing::kPromptly);
  EXPECT_EQ(outcome.exitCode, 3) << outcome.err;
  EXPECT_EQ(outcome.err, "");
  EXPECT_TRUE(outcome.out.ends_with("\nAborted\n")) << outcome.out;
}

// A FIFO output is opened before the run, so its reader has every byte;
// when the reader never reads, a signal still ends the program, with 3.
TEST(OvikVerify, AReportToAFifoIsWholeOrAnsweredSignalsWhenItsReaderStalls) {
  TempTree tree;
  // Some 100 KB of report: more than a pipe holds.
  for (int i = 0; i < 400; ++i) {
    const std::string name = std::to_string(i) + std::string(240, 'n');
    tree.WriteFile("src/" + name, "x");
    tree.WriteFile("dst/" + name, "x");
  }
  const std::string fifo = tree.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (int signal : {0, SIGINT, SIGTERM}) {
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    std::string report;
    std::chrono::steady_clock::time_point sent;
    const Outcome outcome = RunVerifier({"-q", "--report", fifo, tree.Path("src"), tree.Path("dst")}, [&](pid_t pid) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      for (int queued = 0; std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
        if (signal == 0) {
          char buffer[65536];
          const ssize_t n = read(reader, buffer, sizeof buffer);
          if (n > 0) report.append(buffer, static_cast<std::size_t>(n));
          if (n == 0 && !report.empty()) break;
        } else if (ioctl(reader, FIONREAD, &queued) == 0 && queued > 0) {
          // The pipe is filled at once; then the write waits.
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          sent = std::chrono::steady_clock::now();
          kill(pid, signal);
          break;
        }
      }
    });
    close(reader);
    if (signal == 0) {
      EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
      EXPECT_EQ(outcome.err, "");
      EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 402);
      EXPECT_EQ(report.rfind("Source folder: " + tree.Path("src") + "\r\n", 0), 0u);
      continue;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - sent, testing::kPromptly);
    EXPECT_EQ(outcome.exitCode, 3) << "signal " << signal << ": " << outcome.err;
    EXPECT_EQ(outcome.out, "Verified OK\n");
    EXPECT_EQ(outcome.err.rfind("ovik-verify: cannot write the report " + fifo + ": ", 0), 0u) << outcome.err;
  }
}

// One Ctrl+C ends a run whose destination read never returns, as it ends
// any other: within a second, with what it has and "Aborted".
TEST(OvikVerify, OneInterruptEndsARunWhileADestinationReadStalls) {
  OVIK_REQUIRE_MEDIUM(testing::MediumKind::Fuse);
  TempTree tree;
  tree.WriteFile("src/first", "1");
  tree.WriteFile("src/stuck", PatternBytes(5000, 1));
  tree.WriteFile("copy/first", "1");
  tree.WriteFile("copy/stuck", PatternBytes(5000, 1));
  testing::TestMedium medium(testing::MediumKind::Fuse, tree.Path("copy"), {"--stall-read=stuck:0"});
  ASSERT_EQ(medium.error(), "");
  std::chrono::steady_clock::time_point interrupted;
  // A sanitizer's leak check at exit stops every thread first, which the
  // reader waiting in the kernel never allows.
  const Outcome outcome = RunVerifier(
      {tree.Path("src"), medium.root()},
      [&](pid_t pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!HasFileOpenBelow(pid, medium.root()) && std::chrono::steady_clock::now() < deadline)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        interrupted = std::chrono::steady_clock::now();
        kill(pid, SIGINT);
      },
      ErrorOutput::Pipe, {"ASAN_OPTIONS=detect_leaks=0"});
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, testing::kPromptly);
  EXPECT_EQ(outcome.exitCode, 3) << outcome.err;
  const Lines lines = SplitLines(outcome.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Aborted");
  for (const std::string& line : lines) EXPECT_EQ(line.find(": stuck"), std::string::npos) << line;
}

// A run holds the login manager's sleep lock from its start to its end,
// also for a folder name that is not UTF-8, and lets it go within a second
// of Ctrl+C; --allow-sleep takes none. Where there is no bus, the run goes
// on in silence.
TEST(OvikVerify, HoldsSleepOffDuringARunUnlessAllowedToSleep) {
  OVIK_REQUIRE_MEDIUM(testing::MediumKind::Fuse);
  OVIK_REQUIRE_DESKTOP_BUSES();
  TempTree tree;
  const std::string source = tree.Path("caf\xe9");
  tree.WriteFile("caf\xe9/stuck", PatternBytes(5000, 1));
  tree.WriteFile("copy/stuck", PatternBytes(5000, 1));
  tree.WriteFile("plain/a", "a");
  tree.WriteFile("plain copy/a", "a");
  {
    testing::DesktopBuses buses;
    ASSERT_EQ(buses.error(), "");
    for (const bool allowSleep : {false, true}) {
      // A medium for each run: the next one would wait for the page the
      // stalled read holds.
      testing::TestMedium medium(testing::MediumKind::Fuse, tree.Path("copy"), {"--stall-read=stuck:0"});
      ASSERT_EQ(medium.error(), "");
      std::vector<testing::Inhibitor> during, after;
      std::chrono::steady_clock::duration release{};
      Lines args = {source, medium.root()};
      if (allowSleep) args.insert(args.begin(), "--allow-sleep");
      const Outcome outcome = RunVerifier(
          args,
          [&](pid_t pid) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!HasFileOpenBelow(pid, medium.root()) && std::chrono::steady_clock::now() < deadline)
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
            during = buses.Inhibitors();
            const auto interrupted = std::chrono::steady_clock::now();
            kill(pid, SIGINT);
            do after = buses.Inhibitors();
            while (!after.empty() && std::chrono::steady_clock::now() - interrupted < std::chrono::seconds(5));
            release = std::chrono::steady_clock::now() - interrupted;
          },
          ErrorOutput::Pipe, {"ASAN_OPTIONS=detect_leaks=0"});
      EXPECT_EQ(outcome.exitCode, 3) << outcome.err;
      EXPECT_TRUE(after.empty()) << "the lock outlived the run";
      EXPECT_LT(release, testing::kPromptly);
      if (allowSleep) {
        EXPECT_TRUE(during.empty()) << during.front().why;
        continue;
      }
      ASSERT_EQ(during.size(), 1u);
      EXPECT_EQ(during[0].what, "sleep");
      EXPECT_EQ(during[0].who, "Ovik");
      EXPECT_EQ(during[0].mode, "block");
      EXPECT_EQ(during[0].why, "Verifying " + medium.root() + " against " + BusText(source));
    }
  }
  // The buses are gone: the same run of a good copy gives the same output
  // and nothing on standard error.
  const Outcome withoutBus = RunVerifier({"-q", tree.Path("plain"), tree.Path("plain copy")});
  EXPECT_EQ(withoutBus.out, "Verified OK\n");
  EXPECT_EQ(withoutBus.err, "");
  EXPECT_EQ(withoutBus.exitCode, 0);
}

// Runs a shell command in `folder`; its exit status.
int Shell(const std::string& folder, const std::string& command) {
  const int status = std::system(("cd '" + folder + "' && " + command).c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(OvikVerify, ChecksumListsGoBothWaysWithTheCoreutilsTools) {
  if (Shell("/", "command -v sha256sum md5sum sha1sum sha512sum b2sum >/dev/null") != 0)
    GTEST_SKIP() << "the coreutils checksum tools are missing";
  TempTree tree;
  const std::vector<std::string> names = {"caf\xe9 latin1.txt", "back\\slash", "new\nline", "two  spaces ",
                                          " lead", "sub dir/cr\rx", "sub dir/empty", "esc\x1b[31m"};
  for (const std::string& name : names) {
    const std::string bytes = name == "sub dir/empty" ? "" : PatternBytes(70'000, static_cast<unsigned>(name.size()));
    tree.WriteFile("src/" + name, bytes);
    tree.WriteFile("dst/" + name, bytes);
  }
  const std::string dst = tree.Path("dst");

  const Outcome recorded = RunVerifier({"-q", "--write-sums", tree.Path("SHA256SUMS"), tree.Path("src"), dst});
  EXPECT_EQ(recorded.out, "Verified OK\n");
  EXPECT_EQ(recorded.exitCode, 0);
  EXPECT_EQ(Shell(dst, "sha256sum --quiet --strict -c ../SHA256SUMS"), 0);

  // Lists as the tools write them, "./" in front of every name.
  const struct {
    std::string tool;
    std::string list;
  } tools[] = {{"sha256sum", "dst/SHA256SUMS"}, {"md5sum -b", "MD5SUMS"}, {"sha1sum --tag", "SHA1SUMS"},
               {"sha512sum", "list.sha512"},    {"b2sum", "B2SUMS"},   {"b2sum", "checksums.txt"}};
  for (const auto& t : tools) {
    ASSERT_EQ(Shell(dst, "find . -type f -print0 | xargs -0 " + t.tool + " > ../list && mv ../list ../" + t.list), 0);
    // A list in the folder it describes needs no folder named.
    const Lines args = t.list.starts_with("dst/") ? Lines{"-q", "-c", tree.Path(t.list)}
                                                  : Lines{"-q", "--check", tree.Path(t.list), dst};
    const Outcome checked = RunVerifier(args);
    EXPECT_EQ(checked.out, "Verified OK\n") << t.tool << "\n" << checked.err;
    EXPECT_EQ(checked.exitCode, 0) << t.tool;
  }

  // A list from a pipe, standard input or a FIFO is read whole, and
  // describes the current folder, as for sha256sum -c.
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
  const std::string program = std::string("'") + OVIK_VERIFY_BINARY + "' -q -c ";
  for (const std::string& way : {"cat ../SHA256SUMS | " + program + "-", program + "/dev/stdin < ../SHA256SUMS",
                                 "bash -c \"" + program + "<(cat ../SHA256SUMS)\"",
                                 "cat ../SHA256SUMS > ../fifo & " + program + "../fifo"}) {
    EXPECT_EQ(Shell(dst, "test \"$(" + way + ")\" = 'Verified OK'"), 0) << way;
  }

  // Changed bytes: both say so, with each name on one line of its own.
  tree.WriteFile("dst/new\nline", "changed");
  tree.WriteFile("dst/esc\x1b[31m", "changed");
  EXPECT_EQ(Shell(dst, "sha256sum --quiet -c ../SHA256SUMS >/dev/null 2>&1"), 1);
  const Outcome damaged = RunVerifier({"-e", "-c", tree.Path("SHA256SUMS"), dst});
  EXPECT_EQ(damaged.exitCode, 1);
  const Lines lines = SplitLines(damaged.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Source folder: " + tree.Path("SHA256SUMS"));
  EXPECT_EQ(lines[1], "Destination folder: " + dst);
  EXPECT_EQ(lines[2], "\\!Mismatched checksum: esc\\x1b[31m");
  EXPECT_EQ(lines[3], "\\!Mismatched checksum: new\\nline");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines.back(), "Errors");

  // Names that are there but are no files: read errors, and a reason each
  // on standard error.
  ASSERT_EQ(symlink(tree.Path("src/ lead").c_str(), tree.Path("dst/out").c_str()), 0);
  const std::string sum = std::string(64, '0');
  tree.WriteFile("NOFILES", sum + "  sub dir\n" + sum + "  out\n");
  const Outcome refusals = RunVerifier({"-q", "-c", tree.Path("NOFILES"), dst});
  EXPECT_EQ(refusals.exitCode, 1);
  EXPECT_EQ(refusals.err, "ovik-verify: sub dir: a folder, not a file\novik-verify: out: symbolic link leads outside " +
                              dst + "\n");

  // An OpenSSL that offers no digest (FIPS algorithms asked for, none
  // installed): a message and "errors", never a crash, the list untouched.
  const std::string earlierList = testing::ReadFileBytes(tree.Path("SHA256SUMS"));
  tree.WriteFile("fips.cnf", "openssl_conf = init\n[init]\nalg_section = evp\n[evp]\ndefault_properties = fips=yes\n");
  const Lines noDigests = {"OPENSSL_CONF=" + tree.Path("fips.cnf")};
  for (const Lines& args : {Lines{"-q", "--write-sums", tree.Path("SHA256SUMS"), tree.Path("src"), dst},
                            Lines{"-q", "--check", tree.Path("MD5SUMS"), dst}}) {
    const Outcome refused = RunVerifier(args, nullptr, ErrorOutput::Pipe, noDigests);
    EXPECT_EQ(refused.exitCode, 1) << args[1];
    EXPECT_NE(refused.err.find("ovik-verify: OpenSSL cannot compute"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(testing::ReadFileBytes(tree.Path("SHA256SUMS")), earlierList);
}

}  // namespace
}  // namespace ovik
