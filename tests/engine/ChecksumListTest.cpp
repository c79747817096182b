#include "engine/FileDigest.h"
#include "support/EngineHarness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <thread>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::PatternBytes;
using Lines = std::vector<std::string>;

// Digests of "alpha" and "beta" as the coreutils tools print them.
const std::string kAlphaMd5 = "2c1743a391305fbf367df8e4f069f9f9";
const std::string kAlphaSha1 = "be76331b95dfc399cd776d2fc68021e0db03cc4f";
const std::string kAlphaSha256 = "8ed3f6ad685b959ead7022518e1af76cd816f8e8ec7ccdda1ed4018e8f2223f8";
const std::string kAlphaSha512 =
    "ba3ce58667ca9b12b3c0cdcc4da57f9962aeca7065c43a7d9c027332fdb9f0bbcf69004286880fe3d8f3fd8f03ddffd7485fd94c9d3a38618e"
    "a10691d8d6a7fa";
const std::string kAlphaBlake2b =
    "fc77e10e301506d8609b5aca8944baf23cdfafee34cf5e48c5c6a1929ffaf14c722c25ab73e8c0e005923fa3168d6cb00d27424f5635dce332"
    "50c67c1766fde6";
const std::string kAlphaBlake2b256 = "c5d5048668514eae9d22b6f5a2628df7e4a548d2bfe26a13affed2f3b933b393";
const std::string kBetaMd5 = "987bcab01b929eb2c07877b224215c92";
const std::string kBetaSha256 = "f44e64e75f3948e9f73f8dfa94721c4ce8cbb4f265c4790c702b2d41cfbf2753";

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// 40 folders of 150-byte names: a path longer than PATH_MAX.
const std::string kDeepFolder = [] {
  std::string folder;
  for (int level = 0; level < 40; ++level) folder += std::string(150, 'a' + level % 26) + "/";
  return folder;
}();

// Makes a symbolic link in a folder too deep for one path.
void MakeDeepLink(const std::string& root, const std::string& folder, const char* name, const std::string& target) {
  int fd = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (std::size_t start = 0, slash; fd >= 0 && (slash = folder.find('/', start)) != std::string::npos;
       start = slash + 1) {
    const int inner = openat(fd, folder.substr(start, slash - start).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    fd = inner;
  }
  EXPECT_EQ(symlinkat(target.c_str(), fd, name), 0);
  close(fd);
}

// A folder to check, with odd names, links, a file outside it and a deep
// tree.
struct ListedFolder : EngineHarness {
  ListedFolder() {
    tree.WriteFile("dst/a.txt", "alpha");
    tree.WriteFile("dst/sub/b b.bin", "beta");
    tree.WriteFile("dst/back\\slash", "alpha");
    tree.WriteFile("dst/new\nline", "beta");
    tree.WriteFile("dst/ lead", "alpha");
    tree.WriteFile("outside", "alpha");
    EXPECT_EQ(symlink("a.txt", Dst("in").c_str()), 0);
    EXPECT_EQ(symlink(tree.Path("outside").c_str(), Dst("out").c_str()), 0);
    EXPECT_EQ(symlink("../outside", Dst("up").c_str()), 0);
    EXPECT_EQ(mkfifo(Dst("fifo").c_str(), 0644), 0);
    tree.WriteDeepFile("dst/" + kDeepFolder + "deep.txt", "alpha");
    MakeDeepLink(tree.root(), "dst/" + kDeepFolder, "in", "deep.txt");
    MakeDeepLink(tree.root(), "dst/" + kDeepFolder, "out", tree.Path("outside"));
  }

  void Check(const std::string& listName, const std::string& content) {
    tree.WriteFile(listName, content);
    engine.CheckCommand(tree.Path(listName), Dst());
  }
};

TEST(ChecksumCheck, EachListLineGivesItsResult) {
  const std::string a = kAlphaSha256;
  const struct {
    const char* what;
    std::string listName;
    std::string content;
    Lines lines;
    Verdict verdict;
  } cases[] = {
      {"sha256sum", "SHA256SUMS", a + "  a.txt\n", {"Ok: a.txt"}, Verdict::VerifiedOk},
      {"md5sum -b", "MD5SUMS", kBetaMd5 + " *sub/b b.bin\n", {"Ok: sub/b b.bin"}, Verdict::VerifiedOk},
      {"sha1sum --tag", "list", "SHA1 (a.txt) = " + kAlphaSha1 + "\n", {"Ok: a.txt"}, Verdict::VerifiedOk},
      {"md5sum --tag, a name with a parenthesis", "list", "MD5 (a.txt) = " + kAlphaMd5 + "\nMD5 (x) y) = " + kAlphaMd5,
       {"!Destn file missing: x) y", "Ok: a.txt"}, Verdict::Errors},
      {"sha512sum, CR LF", "x.sha512", kAlphaSha512 + "  a.txt\r\n", {"Ok: a.txt"}, Verdict::VerifiedOk},
      {"b2sum, no last line end", "B2SUMS", kAlphaBlake2b + "  a.txt", {"Ok: a.txt"}, Verdict::VerifiedOk},
      {"b2sum in a list whose name says nothing", "checksums.txt", kAlphaBlake2b + "  a.txt\n", {"Ok: a.txt"},
       Verdict::VerifiedOk},
      {"sha512sum in a list whose name says nothing", "SUMS", kAlphaSha512 + "  a.txt\n" + kAlphaSha512 + "  in\n",
       {"Ok: a.txt", "Ok: in"}, Verdict::VerifiedOk},
      {"128 digits that match by neither digest", "SUMS",
       kAlphaSha512 + "  sub/b b.bin\n\\" + kAlphaBlake2b + "  new\\nline\n",
       {"!Mismatched checksum: new\nline", "!Mismatched checksum: sub/b b.bin"}, Verdict::Errors},
      {"b2sum in a list named for SHA-512", "x.sha512", kAlphaBlake2b + "  a.txt\n", {"!Mismatched checksum: a.txt"},
       Verdict::Errors},
      {"b2sum --tag, and a length OpenSSL cannot give", "SUMS",
       "BLAKE2b (a.txt) = " + kAlphaBlake2b + "\nBLAKE2b-256 (a.txt) = " + kAlphaBlake2b256 + "\n",
       {"!Bad checksum line: 2", "Ok: a.txt"}, Verdict::Errors},
      {"b2sum -l 256 untagged: bad lines alone are errors", "B2SUMS", kAlphaBlake2b256 + "  a.txt\n",
       {"!Bad checksum line: 1"}, Verdict::Errors},
      {"escaped names", "SUMS", "\\" + a + "  back\\\\slash\n\\" + kBetaSha256 + "  new\\nline\n",
       {"Ok: back\\slash", "Ok: new\nline"}, Verdict::VerifiedOk},
      {"a leading space, upper-case hex, ./", "SUMS", a + "   lead\n" + Upper(a) + " *./a.txt\n",
       {"Ok:  lead", "Ok: ./a.txt"}, Verdict::VerifiedOk},
      {"single-space form", "SUMS", a + " a.txt\n", {"Ok: a.txt"}, Verdict::VerifiedOk},
      {"the two untagged forms do not mix", "SUMS", a + "  a.txt\n" + a + " a.txt\n",
       {"!Bad checksum line: 2", "Ok: a.txt"}, Verdict::Errors},
      {"comments and empty lines are passed over", "SUMS", "# made by hand\n\n" + a + "  a.txt\n\n", {"Ok: a.txt"},
       Verdict::VerifiedOk},
      {"lines not understood", "SUMS",
       "hello\n" + a + "\n" + a.substr(1) + "  a.txt\n" + "\\" + a + "  a\\tb\n" + "SHA256 () = " + a + "\n" +
           "SHA256 (a.txt) = " + a + " \n" + " # indented\n",
       {"!Bad checksum line: 1", "!Bad checksum line: 2", "!Bad checksum line: 3", "!Bad checksum line: 4",
        "!Bad checksum line: 5", "!Bad checksum line: 6", "!Bad checksum line: 7"},
       Verdict::Errors},
      {"traversal", "SUMS",
       a + "  ../outside\n" + a + "  /etc/hostname\n" + a + "  sub/../a.txt\n" + a + "  sub/..\n" + a +
           std::string("  a\0b\n", 6) + a + "  a.txt\n",
       {"!Bad checksum line: 1", "!Bad checksum line: 2", "!Bad checksum line: 3", "!Bad checksum line: 4",
        "!Bad checksum line: 5", "Ok: a.txt"},
       Verdict::Errors},
      {"links leading out of the folder", "SUMS", a + "  in\n" + a + "  out\n" + a + "  up\n",
       {"!Destn read error: out", "!Destn read error: up", "Ok: in"}, Verdict::Errors},
      {"a missing file", "SUMS", a + "  gone\n", {"!Destn file missing: gone"}, Verdict::Errors},
      {"names longer than PATH_MAX", "SUMS",
       a + "  " + kDeepFolder + "deep.txt\n" + a + "  " + kDeepFolder + "in\n" + a + "  " + kDeepFolder + "out\n" + a +
           "  " + kDeepFolder + "gone\n",
       {"!Destn file missing: " + kDeepFolder + "gone", "!Destn read error: " + kDeepFolder + "out",
        "Ok: " + kDeepFolder + "deep.txt", "Ok: " + kDeepFolder + "in"},
       Verdict::Errors},
      {"names that are there, but not as files", "SUMS", a + "  sub\n" + a + "  fifo\n",
       {"!Destn read error: fifo", "!Destn read error: sub"}, Verdict::Errors},
      {"an empty list", "SUMS", "", {}, Verdict::NoSourceFiles},
      {"comments and empty lines only", "SUMS", "# nothing yet\n\n", {}, Verdict::NoSourceFiles},
  };
  for (const auto& c : cases) {
    ListedFolder h;
    h.Check(c.listName, c.content);
    EXPECT_EQ(h.view.lines, c.lines) << c.what;
    EXPECT_EQ(h.engine.verdict, c.verdict) << c.what;
  }

  // A kind the user names holds for every untagged hash, whatever the
  // list's name says; other lengths are not understood.
  ListedFolder named;
  named.engine.listAlgorithm = DigestKind::Blake2b512;
  named.Check("x.sha512", kAlphaBlake2b + "  a.txt\n" + a + "  a.txt\n");
  EXPECT_EQ(named.view.lines, (Lines{"!Bad checksum line: 2", "Ok: a.txt"}));
}

TEST(ChecksumCheck, ListedFilesAreTheSourceAndTheirBytesThoseOfTheFolder) {
  ListedFolder h;
  const std::string big = PatternBytes(5 * BlockSize + 17, 3);
  h.tree.WriteFile("dst/big", big);
  h.tree.WriteFile("dst/locked", "alpha");
  h.fileSystem.FailOpen(h.Dst("locked"), EACCES);
  h.Check("SUMS", kAlphaSha256 + "  a.txt\n" + kAlphaSha256 + "  big\n" + kAlphaSha256 + "  locked\n" + kAlphaSha256 +
                      "  gone\nnonsense\n");

  EXPECT_EQ(h.view.lines, (Lines{"!Bad checksum line: 5", "!Destn file missing: gone", "!Destn read error: locked",
                                 "!Mismatched checksum: big", "Ok: a.txt"}));
  const VerifyTotals& t = h.engine.totals;
  EXPECT_EQ(t.SrcFileCount, 4);
  EXPECT_EQ(t.SrcByteTotal, static_cast<std::int64_t>(5 + big.size() + 5));
  EXPECT_EQ(t.DstFileCount, 3) << "every file but a missing one";
  EXPECT_EQ(t.DstByteTotal, static_cast<std::int64_t>(5 + big.size()));
  EXPECT_EQ(t.ErrorCount, 4);
  EXPECT_EQ(t.MismatchCount, 1);
  EXPECT_EQ(t.DstMissingCount, 1);
  EXPECT_EQ(t.DstReadErrorCount, 1);
  EXPECT_EQ(h.view.progress, 100 * static_cast<int>(5 + big.size()) / static_cast<int>(10 + big.size()));

  // A list that cannot be read to its end checked only part of the folder.
  std::string longList;
  while (longList.size() < 2 * BlockSize) longList += kAlphaSha256 + "  a.txt\n";
  h.tree.WriteFile("LONG", longList);
  h.fileSystem.FailRead(h.tree.Path("LONG"), 1, EIO);
  h.engine.CheckCommand(h.tree.Path("LONG"), h.Dst());
  EXPECT_EQ(h.view.lines.front(), "!Source read error: LONG");
  EXPECT_EQ(h.engine.totals.SrcReadErrorCount, 1);
  EXPECT_EQ(h.engine.verdict, Verdict::Errors);
}

// Writes `parts` into the FIFO at `path` one by one, with pauses between.
std::thread WriterOf(const std::string& path, std::vector<std::string> parts) {
  return std::thread([path, parts = std::move(parts)] {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    for (const std::string& part : parts) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (fd >= 0 && write(fd, part.data(), part.size()) != static_cast<ssize_t>(part.size())) break;
    }
    if (fd >= 0) close(fd);
  });
}

// A list that is no regular file is read to its end, however it trickles
// in; while it is silent, Abort still ends the run.
TEST(ChecksumCheck, AListFromAPipeIsReadToItsEndAndAbortAnswersWhileItIsSilent) {
  ListedFolder h;
  h.clock.stepSeconds = 0.3;
  ASSERT_EQ(mkfifo(h.tree.Path("fifo").c_str(), 0600), 0);
  std::thread writer = WriterOf(h.tree.Path("fifo"), {kAlphaSha256 + "  a.t", "xt\n# more\n", kBetaSha256 + "  sub/b b.bin\n"});
  h.engine.CheckCommand(h.tree.Path("fifo"), h.Dst());
  writer.join();
  EXPECT_EQ(h.view.lines, (Lines{"Ok: a.txt", "Ok: sub/b b.bin"}));
  EXPECT_EQ(h.engine.verdict, Verdict::VerifiedOk);

  // A writer that says nothing: the read waits until Abort. The writer
  // then goes, so that the read left waiting ends and no thread stays.
  std::atomic<bool> done{false};
  std::thread silent([&] {
    const int fd = open(h.tree.Path("fifo").c_str(), O_WRONLY | O_CLOEXEC);
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (fd >= 0) close(fd);
  });
  int pumps = 0;
  h.view.onPump = [&] {
    if (++pumps == 5) h.engine.AbortCommand();
  };
  const auto start = std::chrono::steady_clock::now();
  h.engine.CheckCommand(h.tree.Path("fifo"), h.Dst());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(h.engine.verdict, Verdict::Aborted);
  done = true;
  silent.join();
}

std::string Sha256Of(const std::string& bytes) {
  FileDigest digest(DigestKind::Sha256);
  digest.Update(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size());
  return digest.Finish();
}

// «name: digest», by name.
Lines RecordedLines(const VerifyEngine& engine) {
  Lines lines;
  const ChecksumList& sums = engine.RecordedSums();
  for (std::size_t i = 0; i < sums.size(); ++i)
    lines.push_back(std::string(sums[i].name) + ": " + ToHex(sums[i].digest));
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(ChecksumRecording, EverySourceReadWholeIsRecordedAndAnAbortRecordsNothing) {
  EngineHarness h;
  const std::string big = PatternBytes(40 * BlockSize + 5, 7);
  h.WriteBoth("same", "alpha");
  h.tree.WriteFile("src/sub/missing", big);
  h.tree.WriteFile("src/differs", big);
  h.tree.WriteFile("dst/differs", "beta");
  h.WriteBoth("unreadable", "alpha");
  h.fileSystem.FailOpen(h.Src("unreadable"), EACCES);
  h.WriteBoth("breaks", big);
  h.fileSystem.FailRead(h.Src("breaks"), 30, EIO);
  h.engine.recordSums = true;
  h.Verify();

  EXPECT_EQ(h.engine.verdict, Verdict::Errors);
  ASSERT_TRUE(h.engine.HasRecordedSums());
  EXPECT_EQ(RecordedLines(h.engine),
            (Lines{"differs: " + Sha256Of(big), "same: " + kAlphaSha256, "sub/missing: " + Sha256Of(big)}));

  h.view.onPump = [&h, pressed = false]() mutable {
    if (pressed || h.view.statuses.back() != "Verifying destn...") return;
    pressed = true;
    h.engine.AbortCommand();
  };
  h.Verify();
  EXPECT_EQ(h.engine.verdict, Verdict::Aborted);
  EXPECT_FALSE(h.engine.HasRecordedSums());
  EXPECT_EQ(h.engine.RecordedSums().size(), 0u);
}

}  // namespace
}  // namespace ovik
