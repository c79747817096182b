#include "cli/CliOptions.h"
#include "cli/VerifyCommandLine.h"
#include "support/CsvParser.h"
#include "support/FileBytes.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace ovik {
namespace {

using testing::ReadFileBytes;
using testing::TempTree;

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadStream(std::FILE* stream) {
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, stream)) > 0;) text.append(buffer, n);
  return text;
}

CliResult RunCli(const std::vector<std::string>& args) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> err(std::tmpfile(), std::fclose);
  CliResult result;
  result.status = RunVerifyCommandLine(args, out.get(), err.get());
  result.out = ReadStream(out.get());
  result.err = ReadStream(err.get());
  return result;
}

// A source with one good copy, one file differing at byte 1024 and one
// file missing from the destination.
class ReportOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string block = testing::PatternBytes(2048);
    std::string changed = block;
    changed[1024] = static_cast<char>(changed[1024] ^ 0x5a);
    tree_.WriteFile("src/a.txt", "same");
    tree_.WriteFile("src/sub/b.bin", block);
    tree_.WriteFile("src/gone, \"really\".txt", "x");
    tree_.WriteFile("dst/a.txt", "same");
    tree_.WriteFile("dst/sub/b.bin", changed);
  }

  std::string Src() const { return tree_.Path("src"); }
  std::string Dst() const { return tree_.Path("dst"); }
  std::string Header() const { return "Source folder: " + Src() + "\r\nDestination folder: " + Dst() + "\r\n"; }

  TempTree tree_;
};

TEST_F(ReportOptionsTest, WritesTextAndCsvReportsByteForByte) {
  const std::string text = tree_.Path("report.txt");
  const std::string csv = tree_.Path("report.csv");
  const CliResult result = RunCli({"--quiet", "--report", text, "--csv=" + csv, Src(), Dst()});
  EXPECT_EQ(result.status, kExitErrors);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ReadFileBytes(text), Header() +
                                     "!Destn file missing: gone, \"really\".txt\r\n"
                                     "!Mismatched contents at offset 1,024: sub/b.bin\r\n"
                                     "Ok: a.txt\r\n");
  EXPECT_EQ(ReadFileBytes(csv), "\"Source folder\",\"" + Src() + "\"\r\n\"Destination folder\",\"" + Dst() +
                                    "\"\r\n"
                                    "\"!Destn file missing\",\"gone, \"\"really\"\".txt\"\r\n"
                                    "\"!Mismatched contents at offset 1,024\",\"sub/b.bin\"\r\n"
                                    "\"Ok\",\"a.txt\"\r\n");
  EXPECT_TRUE(testing::ParseCsv(ReadFileBytes(csv)).has_value());
}

TEST_F(ReportOptionsTest, ReportsFollowTheFilterOption) {
  const std::string text = tree_.Path("ok.txt");
  EXPECT_EQ(RunCli({"--quiet", "--non-errors-only", "--report", text, Src(), Dst()}).status, kExitErrors);
  EXPECT_EQ(ReadFileBytes(text), Header() + "Ok: a.txt\r\n");
  // A run that prints no lines still keeps them for its report.
  const std::string csv = tree_.Path("ok.csv");
  EXPECT_EQ(RunCli({"--json", "--non-errors-only", "--csv", csv, Src(), Dst()}).status, kExitErrors);
  EXPECT_EQ(ReadFileBytes(csv), "\"Source folder\",\"" + Src() + "\"\r\n\"Destination folder\",\"" + Dst() +
                                    "\"\r\n\"Ok\",\"a.txt\"\r\n");
}

TEST_F(ReportOptionsTest, ErrorsOnlyAfterACleanRunWritesEmptyFiles) {
  const std::string text = tree_.Path("errors.txt");
  const std::string csv = tree_.Path("errors.csv");
  tree_.WriteFile("copy/b.bin", testing::PatternBytes(2048));
  const CliResult result =
      RunCli({"--quiet", "--errors-only", "--report", text, "--csv", csv, Src() + "/sub", tree_.Path("copy")});
  EXPECT_EQ(result.status, kExitVerifiedOk);
  EXPECT_EQ(ReadFileBytes(text), "");
  EXPECT_EQ(ReadFileBytes(csv), "");
}

// An output that cannot be written ends the run before it reads anything;
// one that fails while it is written is named after the verdict. Either
// way the message says why and the status is 4. Two outputs that are one
// file are bad usage, found before the run too.
TEST_F(ReportOptionsTest, OutputsThatCannotBeWrittenAreNamedWithTheReasonAndGiveStatusFour) {
  const std::string missing = tree_.Path("no such folder/r.txt");
  const std::string same = tree_.Path("same.txt");
  tree_.WriteFile("same.txt", "earlier");
  ASSERT_EQ(symlink("same.txt", tree_.Path("link").c_str()), 0);
  ASSERT_EQ(link(same.c_str(), tree_.Path("hard").c_str()), 0);
  ASSERT_EQ(mkfifo(tree_.Path("fifo").c_str(), 0600), 0);
  const auto oneFile = [](const std::string& first, const std::string& second) {
    return "ovik-verify: " + first + " and " + second + " are one file\nTry 'ovik-verify --help' for more information.\n";
  };
  const struct {
    std::vector<std::string> options;
    std::string err;
    bool ran;
    int status = kExitWriteFailed;
  } cases[] = {
      {{"--report", same, "--write-sums", same},
       oneFile("the checksum list " + same, "the report " + same), false, kExitUsage},
      {{"--write-sums", same, "--report", same},
       oneFile("the checksum list " + same, "the report " + same), false, kExitUsage},
      {{"--csv", tree_.Path("link"), "--report", tree_.Path("./same.txt")},
       oneFile("the report " + tree_.Path("./same.txt"), "the CSV report " + tree_.Path("link")), false, kExitUsage},
      {{"--report", tree_.Path("hard"), "--write-sums", same},
       oneFile("the checksum list " + same, "the report " + tree_.Path("hard")), false, kExitUsage},
      {{"--report", tree_.Path("new.txt"), "--csv", tree_.Path("src/../new.txt")},
       oneFile("the report " + tree_.Path("new.txt"), "the CSV report " + tree_.Path("src/../new.txt")), false,
       kExitUsage},
      {{"--report", tree_.Path("fifo")},
       "ovik-verify: cannot write the report " + tree_.Path("fifo") + ": a FIFO that no program reads\n", false},
      {{"--report", missing}, "ovik-verify: cannot write the report " + missing + ": No such file or directory\n",
       false},
      {{"--write-sums", tree_.Path("src")},
       "ovik-verify: cannot write the checksum list " + tree_.Path("src") + ": Is a directory\n", false},
      {{"--csv", tree_.Path("src/a.txt/r.csv"), "--report", tree_.Path("r.txt")},
       "ovik-verify: cannot write the CSV report " + tree_.Path("src/a.txt/r.csv") + ": Not a directory\n", false},
      {{"--csv", "/dev/full"}, "ovik-verify: cannot write the CSV report /dev/full: No space left on device\n", true},
      {{"--write-sums", "/dev/full", "--report", "/dev/null"},
       "ovik-verify: cannot write the checksum list /dev/full: No space left on device\n", true},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {Src(), Dst()});
    const CliResult result = RunCli(args);
    EXPECT_EQ(result.status, c.status) << c.options[1];
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, c.ran ? "Errors\n" : "") << c.options[1];
  }
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("r.txt"))) << "nothing is written by a run that cannot write all";
  EXPECT_FALSE(std::filesystem::exists(tree_.Path("new.txt")));
  EXPECT_EQ(ReadFileBytes(same), "earlier");
}

// A device or a link given as an output is never replaced by a file.
TEST_F(ReportOptionsTest, DevicesAndLinksStayWhatTheyAre) {
  const bool root = geteuid() == 0;
  // A null device of its own: never the machine's.
  const std::string device = root ? tree_.Path("null") : "/dev/null";
  if (root) {
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  }
  tree_.WriteFile("kept/report.txt", "earlier");
  ASSERT_EQ(symlink("kept/report.txt", tree_.Path("link").c_str()), 0);
  const CliResult result = RunCli({"--quiet", "--write-sums", device, "--report", tree_.Path("link"), Src(), Dst()});
  EXPECT_EQ(result.status, kExitErrors) << result.err;
  struct stat st;
  ASSERT_EQ(lstat(device.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  ASSERT_EQ(lstat(tree_.Path("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(tree_.Path("kept/report.txt")).rfind(Header(), 0), 0u);
}

// Standard output failing is an error too, as the coreutils make it. An
// output that would replace the file standard output goes to, or the list
// being checked, is bad usage.
TEST_F(ReportOptionsTest, ExitStatusOfTheProgramIsFourWhenAnOutputFails) {
  const std::string program = std::string("'") + OVIK_VERIFY_BINARY + "' ";
  const std::string folders = " '" + Src() + "' '" + Dst() + "'";
  const std::string errFile = tree_.Path("err");
  const std::string log = tree_.Path("log.txt");
  const std::string list = tree_.Path("SUMS");
  tree_.WriteFile("SUMS", std::string(64, '0') + "  a.txt\n");
  const std::string tryHelp = "Try 'ovik-verify --help' for more information.\n";
  const struct {
    std::string command;
    std::string err;
    int status = kExitWriteFailed;
  } cases[] = {
      {program + "--report '" + log + "'" + folders + " >'" + log + "'",
       "ovik-verify: the report " + log + " and standard output are one file\n" + tryHelp, kExitUsage},
      {program + "--report /dev/stdout --csv /dev/null" + folders + " >/dev/null", "", kExitErrors},
      {program + "-q --csv '" + list + "' -c '" + list + "'",
       "ovik-verify: the CSV report " + list + " and the checksum list checked " + list + " are one file\n" + tryHelp,
       kExitUsage},
      {program + "--quiet --report /dev/full" + folders + " >/dev/null",
       "ovik-verify: cannot write the report /dev/full: No space left on device\n"},
      {program + folders + " >/dev/full", "ovik-verify: write error: No space left on device\n"},
      {program + "--help >/dev/full", "ovik-verify: write error: No space left on device\n"},
  };
  for (const auto& c : cases) {
    const int status = std::system((c.command + " 2>'" + errFile + "'").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status) << c.command;
    EXPECT_EQ(ReadFileBytes(errFile), c.err) << c.command;
  }
  EXPECT_EQ(ReadFileBytes(list), std::string(64, '0') + "  a.txt\n");
}

TEST(ReportOptionParseTest, FileNameIsRequired) {
  std::string error;
  EXPECT_FALSE(ParseCliOptions({"a", "b", "--report"}, error).has_value());
  EXPECT_EQ(error, "--report needs a file name");
  EXPECT_FALSE(ParseCliOptions({"--csv=", "a", "b"}, error).has_value());
  EXPECT_EQ(error, "--csv needs a file name");
}

TEST(ReportOptionParseTest, FileNameIsNotTakenForAFolder) {
  std::string error;
  const auto options = ParseCliOptions({"--report", "r.txt", "a", "--csv", "-", "b"}, error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->reportFile, "r.txt");
  EXPECT_EQ(options->csvFile, "-");
  EXPECT_EQ(options->source, "a");
  EXPECT_EQ(options->destination, "b");
}

}  // namespace
}  // namespace ovik
