#include "support/FileBytes.h"
#include "support/TempTree.h"
#include "reports/ReportSave.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace ovik {
namespace {

using testing::ReadFileBytes;
using testing::TempTree;

const std::vector<std::string> kLines = {
    "!Mismatched contents at offset 1,024: a/b.bin",
    "Ok: say \"hi\", twice.txt",
};

struct Outcome {
  bool succeeded = false;
  std::vector<std::string> messages;  // one per failed step, in order
};

Outcome Save(const std::string& path, const std::vector<std::string>& lines, ReportFilter filter, ReportFormat format,
             FileCalls calls = PosixFileCalls()) {
  Outcome outcome;
  const ReportContent content{"/src/", "/dst", lines, nullptr};
  outcome.succeeded = SaveReport(
      path, content, filter, format,
      [&](const FileFailure& failure) { outcome.messages.push_back(FileErrorText(failure.code, failure.action)); },
      std::move(calls));
  return outcome;
}

// Real system calls, with the closes counted and chosen calls failing.
struct CallRecorder {
  int closes = 0;
  int failWriteAfterBytes = -1;  // -1: writes never fail
  int writeErrno = ENOSPC;
  int closeErrno = 0;  // 0: close succeeds
  std::size_t written = 0;

  FileCalls Calls() {
    FileCalls calls = PosixFileCalls();
    calls.write = [this, real = calls.write](int fd, const void* bytes, std::size_t count) -> ssize_t {
      if (failWriteAfterBytes >= 0 && written + count > static_cast<std::size_t>(failWriteAfterBytes)) {
        errno = writeErrno;
        return -1;
      }
      written += count;
      return real(fd, bytes, count);
    };
    calls.close = [this, real = calls.close](int fd) {
      ++closes;
      const int result = real(fd);
      if (closeErrno == 0) return result;
      errno = closeErrno;
      return -1;
    };
    return calls;
  }
};

TEST(SaveReportTest, TextFileIsHeaderAndLinesByteForByte) {
  TempTree tree;
  const std::string path = tree.Path("report.txt");
  EXPECT_TRUE(Save(path, kLines, ReportFilter::All, ReportFormat::Text).succeeded);
  EXPECT_EQ(ReadFileBytes(path),
            "Source folder: /src/\r\nDestination folder: /dst\r\n"
            "!Mismatched contents at offset 1,024: a/b.bin\r\nOk: say \"hi\", twice.txt\r\n");
}

TEST(SaveReportTest, CsvFileHasTwoQuotedFieldsPerLine) {
  TempTree tree;
  const std::string path = tree.Path("report.csv");
  EXPECT_TRUE(Save(path, kLines, ReportFilter::All, ReportFormat::Csv).succeeded);
  EXPECT_EQ(ReadFileBytes(path),
            "\"Source folder\",\"/src/\"\r\n\"Destination folder\",\"/dst\"\r\n"
            "\"!Mismatched contents at offset 1,024\",\"a/b.bin\"\r\n"
            "\"Ok\",\"say \"\"hi\"\", twice.txt\"\r\n");
}

TEST(SaveReportTest, NothingQualifyingTruncatesToAnEmptyFile) {
  TempTree tree;
  tree.WriteFile("old.txt", "earlier report");
  const std::vector<std::string> clean = {"Ok: a.txt", "Ok: b.txt"};
  EXPECT_TRUE(Save(tree.Path("old.txt"), clean, ReportFilter::ErrorsOnly, ReportFormat::Text).succeeded);
  EXPECT_EQ(ReadFileBytes(tree.Path("old.txt")), "");
  EXPECT_TRUE(Save(tree.Path("sel.csv"), clean, ReportFilter::SelectedOnly, ReportFormat::Csv).succeeded);
  EXPECT_EQ(ReadFileBytes(tree.Path("sel.csv")), "");
}

TEST(SaveReportTest, ReportLargerThanTheBufferIsComplete) {
  TempTree tree;
  std::vector<std::string> lines;
  std::string expected = "Source folder: /src/\r\nDestination folder: /dst\r\n";
  for (int i = 0; i < 20000; ++i) {
    lines.push_back("Ok: folder/file number " + std::to_string(i) + ".dat");
    expected += lines.back() + "\r\n";
  }
  EXPECT_TRUE(Save(tree.Path("big.txt"), lines, ReportFilter::All, ReportFormat::Text).succeeded);
  EXPECT_EQ(ReadFileBytes(tree.Path("big.txt")), expected);
}

TEST(SaveReportFailureTest, MissingFolderFailsAtCreating) {
  TempTree tree;
  CallRecorder recorder;
  const Outcome outcome =
      Save(tree.Path("no such folder/r.txt"), kLines, ReportFilter::All, ReportFormat::Text, recorder.Calls());
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.messages, std::vector<std::string>{"Error 2 creating file"});
  EXPECT_EQ(recorder.closes, 0);
}

TEST(SaveReportFailureTest, FullDeviceFailsAtWritingAndIsStillClosed) {
  CallRecorder recorder;
  const Outcome outcome = Save("/dev/full", kLines, ReportFilter::All, ReportFormat::Csv, recorder.Calls());
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.messages, std::vector<std::string>{"Error 28 writing file"});
  EXPECT_EQ(recorder.closes, 1);
}

TEST(SaveReportFailureTest, EmptyReportOnAFullDeviceSucceeds) {
  // Nothing qualifies, so nothing is written and there is nothing to fail.
  EXPECT_TRUE(Save("/dev/full", kLines, ReportFilter::SelectedOnly, ReportFormat::Text).succeeded);
}

TEST(SaveReportFailureTest, FailedWriteThenFailedCloseGiveTwoMessages) {
  TempTree tree;
  CallRecorder recorder;
  recorder.failWriteAfterBytes = 0;
  recorder.writeErrno = EIO;
  recorder.closeErrno = EIO;
  const Outcome outcome = Save(tree.Path("r.txt"), kLines, ReportFilter::All, ReportFormat::Text, recorder.Calls());
  EXPECT_EQ(outcome.messages, (std::vector<std::string>{"Error 5 writing file", "Error 5 closing file"}));
  EXPECT_EQ(recorder.closes, 1);
}

TEST(SaveReportFailureTest, FailedCloseAloneIsReported) {
  TempTree tree;
  CallRecorder recorder;
  recorder.closeErrno = EDQUOT;
  const Outcome outcome = Save(tree.Path("r.txt"), kLines, ReportFilter::All, ReportFormat::Text, recorder.Calls());
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.messages, std::vector<std::string>{"Error " + std::to_string(EDQUOT) + " closing file"});
}

TEST(SaveReportFailureTest, PartlyWrittenFileStays) {
  TempTree tree;
  std::vector<std::string> lines(10000, "Ok: a fairly long relative name/of a file.txt");
  CallRecorder recorder;
  recorder.failWriteAfterBytes = 100000;
  const Outcome outcome = Save(tree.Path("r.txt"), lines, ReportFilter::All, ReportFormat::Text, recorder.Calls());
  EXPECT_EQ(outcome.messages, std::vector<std::string>{"Error 28 writing file"});
  const std::string written = ReadFileBytes(tree.Path("r.txt"));
  EXPECT_GT(written.size(), 0u);
  EXPECT_LE(written.size(), 100000u);
  EXPECT_EQ(written.rfind("Source folder: /src/\r\n", 0), 0u);
}

TEST(ReportFileTest, ShortAndInterruptedWritesAreCompleted) {
  TempTree tree;
  FileCalls calls = PosixFileCalls();
  int interruptions = 0;
  calls.write = [&, real = calls.write](int fd, const void* bytes, std::size_t count) -> ssize_t {
    if (interruptions++ % 2 == 0) {
      errno = EINTR;
      return -1;
    }
    return real(fd, bytes, std::min<std::size_t>(count, 3));
  };
  ReportFile file(calls);
  ASSERT_EQ(file.Create(tree.Path("r.txt")), 0);
  EXPECT_EQ(file.Write("0123456789"), 0);
  EXPECT_EQ(file.Flush(), 0);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(ReadFileBytes(tree.Path("r.txt")), "0123456789");
}

}  // namespace
}  // namespace ovik
