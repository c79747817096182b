#include "support/FileBytes.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"
#include "reports/ReportSave.h"
#include "reports/store/StoreLines.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

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

// The lines made one at a time from the store give the bytes the texts
// gave, in every form and filter; with notes, each note follows its line.
TEST(SaveReportTest, LinesFromTheStoreGiveTheBytesOfTheirTexts) {
  TempTree tree;
  ResultStore store;
  store.Append({ResultKind::ContentMismatch, "a/b.bin", 1024, "bytes 1,024 to 2,047 are zero"});
  store.Append({ResultKind::HiddenFolderSkipped, ".cache/", 0, {}});
  store.Append({ResultKind::Ok, "a/line\nbreak \"q\".txt", 0, {}});
  const std::vector<ResultStore::Line> order = {2, 0, 1};
  std::vector<std::string> texts;
  for (ResultStore::Line line : order) texts.push_back(store.Text(line));
  for (ReportFormat format : {ReportFormat::Text, ReportFormat::Csv}) {
    for (ReportFilter filter : {ReportFilter::All, ReportFilter::ErrorsOnly, ReportFilter::NonErrorsOnly}) {
      ASSERT_TRUE(Save(tree.Path("old"), texts, filter, format).succeeded);
      const ReportContent content{"/src/", "/dst", StoreDetailLines(store, order), nullptr};
      ASSERT_TRUE(SaveReport(tree.Path("new"), content, filter, format, [](const FileFailure&) {}));
      EXPECT_EQ(ReadFileBytes(tree.Path("new")), ReadFileBytes(tree.Path("old")));
    }
  }
  const ReportContent content{"/src/", "/dst", StoreDetailLines(store, order), nullptr};
  ASSERT_TRUE(SaveReport(tree.Path("notes"), content, ReportFilter::ErrorsOnly, ReportFormat::TextWithNotes,
                         [](const FileFailure&) {}));
  EXPECT_EQ(ReadFileBytes(tree.Path("notes")),
            "Source folder: /src/\r\nDestination folder: /dst\r\n"
            "!Mismatched contents at offset 1,024: a/b.bin\r\n    bytes 1,024 to 2,047 are zero\r\n");
}

// A save given up on the way leaves the earlier file whole and says nothing.
TEST(SaveReportTest, CancelledSaveLeavesTheEarlierFile) {
  TempTree tree;
  const std::string path = tree.Path("report.txt");
  ASSERT_TRUE(Save(path, kLines, ReportFilter::All, ReportFormat::Text).succeeded);
  const std::string before = ReadFileBytes(path);
  const std::vector<std::string> many(3 * kProgressEvery, "Ok: a");
  const ReportContent content{"/src/", "/dst", many, nullptr};
  int failures = 0;
  std::size_t told = 0;
  EXPECT_FALSE(SaveReport(path, content, ReportFilter::All, ReportFormat::Text,
                          [&](const FileFailure&) { ++failures; }, PosixFileCalls(),
                          [&](std::size_t written) { return (told = written) < kProgressEvery; }));
  EXPECT_EQ(told, kProgressEvery);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ReadFileBytes(path), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.Path("")), {}), 1) << "no temporary is left";
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

TEST(SaveReportFailureTest, FailedWriteLeavesTheEarlierFileWhole) {
  TempTree tree;
  tree.WriteFile("r.txt", "earlier report");
  std::vector<std::string> lines(10000, "Ok: a fairly long relative name/of a file.txt");
  CallRecorder recorder;
  recorder.failWriteAfterBytes = 100000;
  const Outcome outcome = Save(tree.Path("r.txt"), lines, ReportFilter::All, ReportFormat::Text, recorder.Calls());
  EXPECT_EQ(outcome.messages, std::vector<std::string>{"Error 28 writing file"});
  EXPECT_EQ(ReadFileBytes(tree.Path("r.txt")), "earlier report");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.root()), {}), 1) << "no temporary file left";
}

const std::string kTextReport =
    "Source folder: /src/\r\nDestination folder: /dst\r\n"
    "!Mismatched contents at offset 1,024: a/b.bin\r\nOk: say \"hi\", twice.txt\r\n";

std::string KindAt(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "nothing";
  if (S_ISLNK(st.st_mode)) return "link";
  if (S_ISDIR(st.st_mode)) return "folder";
  if (S_ISFIFO(st.st_mode)) return "FIFO";
  if (S_ISCHR(st.st_mode)) return "device";
  return "file";
}

// Every kind of target: written where shell redirection would write, never
// replaced by something else, never left half written.
TEST(SaveReportTargetsTest, EachKindOfTargetIsWrittenLikeRedirection) {
  TempTree tree;
  tree.WriteFile("old.txt", "earlier");
  chmod(tree.Path("old.txt").c_str(), 0640);
  const bool root = geteuid() == 0;
  if (root) {
    EXPECT_EQ(chown(tree.Path("old.txt").c_str(), 65534, 65534), 0);
  }
  tree.WriteFile("linked.txt", "earlier");
  symlink("linked.txt", tree.Path("link").c_str());
  symlink("made.txt", tree.Path("dangling").c_str());
  tree.MakeFolder("folder");
  ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
  // A null device of its own: never the machine's.
  const bool device = root && mknod(tree.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  int pipeEnds[2];
  ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);

  const struct {
    const char* what;
    std::string path;
    int error;          // of OutputProblem and of the save's first step
    std::string kind;   // at the path afterwards
    std::string check;  // the file that holds the report afterwards
  } rows[] = {
      {"a new name", tree.Path("new.txt"), 0, "file", tree.Path("new.txt")},
      {"a file", tree.Path("old.txt"), 0, "file", tree.Path("old.txt")},
      {"a link", tree.Path("link"), 0, "link", tree.Path("linked.txt")},
      {"a link to no file", tree.Path("dangling"), 0, "link", tree.Path("made.txt")},
      {"a FIFO", tree.Path("fifo"), 0, "FIFO", ""},
      {"a device", device ? tree.Path("null") : "", 0, "device", ""},
      {"a descriptor", "/dev/fd/" + std::to_string(pipeEnds[1]), 0, "link", ""},
      {"a folder", tree.Path("folder"), EISDIR, "folder", ""},
      {"a missing folder", tree.Path("none/r.txt"), ENOENT, "nothing", ""},
      {"a file in a file", tree.Path("old.txt/r.txt"), ENOTDIR, "nothing", ""},
  };
  for (const auto& row : rows) {
    if (row.path.empty()) continue;  // no device without root
    EXPECT_EQ(OutputProblem(row.path), row.error) << row.what;
    std::string piped;
    std::thread reader([&] {
      if (row.kind == "FIFO") piped = ReadFileBytes(row.path);
    });
    const Outcome outcome = Save(row.path, kLines, ReportFilter::All, ReportFormat::Text);
    reader.join();
    EXPECT_EQ(outcome.succeeded, row.error == 0) << row.what;
    if (row.error != 0) {
      EXPECT_EQ(outcome.messages, std::vector<std::string>{FileErrorText(row.error, FileAction::Creating)}) << row.what;
    }
    EXPECT_EQ(KindAt(row.path), row.kind) << row.what;
    if (!row.check.empty()) {
      EXPECT_EQ(ReadFileBytes(row.check), kTextReport) << row.what;
    }
    if (row.kind == "FIFO") {
      EXPECT_EQ(piped, kTextReport);
    }
  }
  struct stat st;
  ASSERT_EQ(stat(tree.Path("old.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "a replaced file keeps its permissions";
  if (root) {
    EXPECT_EQ(st.st_uid, 65534u) << "and its owner";
  }
  close(pipeEnds[1]);
  char buffer[4096];
  const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
  close(pipeEnds[0]);
  EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0))), kTextReport);
  for (const auto& entry : std::filesystem::directory_iterator(tree.root()))
    EXPECT_EQ(entry.path().filename().string().find(".ovik-"), std::string::npos) << entry.path();
}

// A user who may not write a file is refused, as `>` refuses; one who may
// write the file but not its folder has it written in place, as `>` does.
TEST(SaveReportTargetsTest, PermissionsAreThoseOfRedirection) {
  TempTree tree;
  tree.WriteFile("folder/locked.txt", "earlier");
  tree.WriteFile("folder/open.txt", "earlier");
  chmod(tree.root().c_str(), 0755);
  chmod(tree.Path("folder/locked.txt").c_str(), 0444);
  const bool root = geteuid() == 0;
  if (root) chown(tree.Path("folder/open.txt").c_str(), 65534, 65534);
  else chmod(tree.Path("folder").c_str(), 0555);
  const auto saves = [&]() -> int {
    if (OutputProblem(tree.Path("folder/locked.txt")) != EACCES) return 1;
    if (Save(tree.Path("folder/locked.txt"), kLines, ReportFilter::All, ReportFormat::Text).succeeded) return 2;
    if (OutputProblem(tree.Path("folder/new.txt")) != EACCES) return 3;
    if (!Save(tree.Path("folder/open.txt"), kLines, ReportFilter::All, ReportFormat::Text).succeeded) return 4;
    return 0;
  };
  EXPECT_EQ(root ? testing::AsNobody(saves) : saves(), 0);
  chmod(tree.Path("folder").c_str(), 0755);
  EXPECT_EQ(ReadFileBytes(tree.Path("folder/locked.txt")), "earlier");
  EXPECT_EQ(ReadFileBytes(tree.Path("folder/open.txt")), kTextReport);
}

TEST(OutputFileTest, ShortAndInterruptedWritesAreCompleted) {
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
  OutputFile file(calls);
  ASSERT_EQ(file.Create(tree.Path("r.txt")), 0);
  EXPECT_EQ(file.Write("0123456789"), 0);
  EXPECT_EQ(file.Flush(), 0);
  EXPECT_EQ(file.Close(), 0);
  EXPECT_EQ(file.Replace(), 0);
  EXPECT_EQ(ReadFileBytes(tree.Path("r.txt")), "0123456789");
}

}  // namespace
}  // namespace ovik
