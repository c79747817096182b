#include "engine/walk/Walk.h"
#include "support/EngineHarness.h"
#include "support/LoweredOpenFileLimit.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace ovik {
namespace {

using testing::EngineHarness;
using Lines = std::vector<std::string>;

TEST(Traversal, MissingSourceRootHasNoSourceFiles) {
  EngineHarness h;
  h.engine.VerifyCommand(h.tree.Path("nowhere"), h.Dst());
  EXPECT_TRUE(h.view.lines.empty());
  EXPECT_EQ(h.view.status, "No source files");
  EXPECT_EQ(h.view.statusColour, Colour::Red);
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcFiles), "0");
  EXPECT_FALSE(h.view.saveAndCopyEnabled);
}

TEST(Traversal, OnlyEmptySubFoldersHaveNoSourceFiles) {
  EngineHarness h;
  h.tree.MakeFolder("src/a/b");
  h.tree.MakeFolder("src/c");
  h.tree.MakeFolder("dst/a");
  h.Verify();
  EXPECT_EQ(h.view.status, "No source files");
  EXPECT_EQ(h.LabelText(ViewLabel::NumSrcFolders), "3");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFolders), "1");
}

TEST(Traversal, MissingDestinationRootReportsEveryFileMissing) {
  EngineHarness h;
  h.tree.WriteFile("src/a", "1");
  h.tree.WriteFile("src/sub/b", "2");
  h.engine.VerifyCommand(h.Src(), h.tree.Path("nowhere"));
  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: a", "!Destn file missing: sub/b"}));
  EXPECT_EQ(h.view.status, "Errors");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFolders), "-");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstFiles), "-");
  EXPECT_EQ(h.LabelText(ViewLabel::NumDstBytes), "-");
  EXPECT_EQ(h.view.progress, 0);
}

// Hidden folders are passed over and named (only the outermost), or walked
// on request; hidden files are verified either way; a lost+found that is
// not at the root of a file system is an ordinary folder. The same with
// and without reading ahead, whose lookahead must enter what the walk enters.
TEST(Traversal, HiddenFoldersAreNamedWhenSkippedAndWalkedOnRequest) {
  const struct {
    bool includeHidden;
    Lines lines;
    std::int32_t folders;
    const char* status;
  } cases[] = {
      {false,
       {"Hidden folder skipped: .config/", "Hidden folder skipped: sub/.cache/", "Ok: .hidden-file",
        "Ok: lost+found/f", "Ok: sub/.also-hidden"},
       2, "Verified OK"},
      {true,
       {"!Destn file missing: sub/.cache/x", "!Mismatched contents at offset 0: .config/app/rc",
        "Ok: .config/.nested/f", "Ok: .hidden-file", "Ok: lost+found/f", "Ok: sub/.also-hidden"},
       6, "Errors"},
  };
  for (const auto& c : cases) {
    for (bool readAhead : {false, true}) {
      EngineHarness h;
      h.WriteBoth(".hidden-file", "h");
      h.WriteBoth("sub/.also-hidden", "h");
      h.WriteBoth("lost+found/f", "f");
      h.WriteBoth(".config/.nested/f", "n");
      h.tree.WriteFile("src/.config/app/rc", "x");
      h.tree.WriteFile("dst/.config/app/rc", "y");
      h.tree.WriteFile("src/sub/.cache/x", "only in the source");
      h.engine.includeHidden = c.includeHidden;
      h.engine.readAhead = readAhead;
      h.Verify();
      const std::string what = std::string(c.includeHidden ? "hidden included" : "hidden skipped") +
                               (readAhead ? ", reading ahead" : "");
      EXPECT_EQ(h.view.lines, c.lines) << what;
      EXPECT_EQ(h.engine.totals.SrcFolderCount, c.folders) << what;
      EXPECT_EQ(h.engine.totals.SrcFileCount, static_cast<std::int32_t>(c.lines.size()) - (c.includeHidden ? 0 : 2))
          << what;
      EXPECT_EQ(h.view.status, c.status) << what;
    }
  }
}

// Records the name of every file the walk compares, in its order.
class ComparedNamesView : public testing::RecordingView {
 public:
  void SetLabelText(ViewLabel label, std::string_view text) override {
    if (label == ViewLabel::CurrFileName && !text.empty()) names.emplace_back(text);
    RecordingView::SetLabelText(label, text);
  }
  Lines names;
};

TEST(Traversal, TheLookaheadForeseesTheFilesOfTheWalkInItsOrder) {
  testing::TempTree tree;
  for (const char* name : {"a", ".h/b", ".h/.n/c", "d/e", "d/.h/f", "lost+found/g", "d/z/y"}) {
    tree.WriteFile(std::string("src/") + name, "x");
  }
  ASSERT_EQ(symlink("..", tree.Path("src/d/up").c_str()), 0);
  tree.MakeFolder("dst");
  const std::string src = tree.Path("src");
  const std::string dst = tree.Path("dst");
  for (bool includeHidden : {false, true}) {
    ComparedNamesView view;
    testing::FakeClock clock;
    VerifyEngine engine(view, SystemFileSystem(), clock);
    engine.readAhead = false;
    engine.includeHidden = includeHidden;
    engine.VerifyCommand(src, dst);
    ASSERT_EQ(view.names.size(), includeHidden ? 7u : 4u);

    Walk walk(SystemFileSystem(), src, dst, FileSizes::LeftToTheOpen, SubFolderFilter(includeHidden));
    Lines foreseen;
    for (WalkStep step; walk.Next(step);) {
      if (step.kind != WalkStep::Kind::File) continue;
      EXPECT_EQ(step.dstPath, dst + step.srcPath.substr(src.size()));
      foreseen.push_back(step.srcPath.substr(src.size() + 1));
    }
    EXPECT_EQ(foreseen, view.names) << (includeHidden ? "hidden included" : "hidden skipped");
  }
}

TEST(Traversal, FileWhereTheSourceHasAFolderCountsAsAnExistingFolder) {
  EngineHarness h;
  h.tree.WriteFile("src/x/f", "1");
  h.tree.WriteFile("dst/x", "a file, not a folder");
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Destn file missing: x/f"});
  EXPECT_EQ(h.engine.totals.DstFolderCount, 1);
}

TEST(Traversal, NestedNamesAreRelativeToTheRootGivenWithATrailingSeparator) {
  EngineHarness h;
  h.WriteBoth("a/b/c/deep.txt", "deep");
  h.WriteBoth("top.txt", "top");
  h.engine.VerifyCommand(h.Src() + "/", h.Dst() + "/");
  EXPECT_EQ(h.view.lines, (Lines{"Ok: a/b/c/deep.txt", "Ok: top.txt"}));
  EXPECT_EQ(h.engine.totals.SrcFolderCount, 3);
  EXPECT_EQ(h.engine.totals.DstFolderCount, 3);
  EXPECT_EQ(h.engine.totals.SrcByteTotal, 7);
}

// A link to the folder it is in or to one above it is named and walked no
// further, with or without hidden folders, and counts nowhere.
TEST(Traversal, SymbolicLinkCyclesAreNamedAndSkippedOtherFolderLinksWalked) {
  const std::string skipped = "Link to a folder above skipped: ";
  for (bool includeHidden : {false, true}) {
    for (bool readAhead : {false, true}) {
      EngineHarness h;
      h.WriteBoth("a/f", "data");
      h.WriteBoth("b/f", "data");  // the destination has a real folder where the source has a link
      std::filesystem::remove_all(h.Src("b"));
      ASSERT_EQ(symlink("a", h.Src("b").c_str()), 0);
      ASSERT_EQ(symlink("..", h.Src("a/up").c_str()), 0);
      ASSERT_EQ(symlink(".", h.Src("a/self").c_str()), 0);
      ASSERT_EQ(symlink(h.Src().c_str(), h.Src("a/root").c_str()), 0);
      h.engine.includeHidden = includeHidden;
      h.engine.readAhead = readAhead;
      alarm(30);
      h.Verify();
      alarm(0);
      EXPECT_EQ(h.view.lines, (Lines{skipped + "a/root/", skipped + "a/self/", skipped + "a/up/", skipped + "b/root/",
                                     skipped + "b/self/", skipped + "b/up/", "Ok: a/f", "Ok: b/f"}));
      EXPECT_EQ(h.engine.totals.SrcFolderCount, 2);
      EXPECT_EQ(h.engine.totals.SrcFileCount, 2);
      EXPECT_EQ(h.engine.totals.ErrorCount, 0);
      EXPECT_EQ(h.engine.verdict, Verdict::VerifiedOk);
    }
  }
}

TEST(Traversal, NamesThatAreNotUtf8VerifyByteForByte) {
  EngineHarness h;
  h.WriteBoth("caf\xe9", "coffee");
  h.WriteBoth("d\xff\xfe/inner", "x");
  h.tree.WriteFile("src/only-src-\x80", "y");
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: only-src-\x80", "Ok: caf\xe9", "Ok: d\xff\xfe/inner"}));
}

TEST(Traversal, SpecialFilesAreNamedButNeitherCountedNorOpened) {
  EngineHarness h;
  h.WriteBoth("real", "r");
  ASSERT_EQ(mkfifo(h.Src("fifo").c_str(), 0644), 0);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, h.Src("sock").c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  alarm(20);
  h.Verify();
  alarm(0);
  close(sock);
  EXPECT_EQ(h.view.lines, (Lines{"Ok: real", "Special file skipped: fifo", "Special file skipped: sock"}));
  EXPECT_EQ(h.engine.totals.SrcFileCount, 1);
  EXPECT_EQ(h.fileSystem.opens, 2);
  EXPECT_EQ(h.engine.verdict, Verdict::VerifiedOk);
}

TEST(Traversal, AnEmptyFolderMissingInTheDestinationIsNamedOnceAndIsNoError) {
  EngineHarness h;
  h.WriteBoth("a", "1");
  h.tree.MakeFolder("src/gone/deeper");
  h.tree.MakeFolder("src/kept");
  h.tree.MakeFolder("dst/kept");
  h.tree.WriteFile("src/full/f", "2");
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: full/f", "Folder missing in destination: gone/", "Ok: a"}));
  EXPECT_EQ(h.engine.totals.SrcFolderCount, 4);
  EXPECT_EQ(h.engine.totals.DstFolderCount, 1);
  EXPECT_EQ(h.engine.totals.ErrorCount, 1) << "the empty folder is no error";
}

TEST(Traversal, FolderThatCannotBeListedIsASourceReadErrorAndItsSiblingsGoOn) {
  EngineHarness h;
  h.WriteBoth("a/ok", "1");
  h.WriteBoth("a/b/never", "2");
  h.WriteBoth("a/b/c/deeper", "3");
  h.WriteBoth("a/later/f", "4");
  h.WriteBoth("top", "5");
  h.fileSystem.FailListing(h.Src("a/b"), EIO);
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Source read error: a/b/", "Ok: a/later/f", "Ok: a/ok", "Ok: top"}));
  const VerifyTotals& t = h.engine.totals;
  EXPECT_EQ(t.SrcFolderCount, 3) << "the folder counts, nothing below it";
  EXPECT_EQ(t.SrcFileCount, 3);
  EXPECT_EQ(t.DstFileCount, 3);
  EXPECT_EQ(t.DstByteTotal, 3);
  EXPECT_EQ(t.ErrorCount, 1);
  EXPECT_EQ(t.SrcReadErrorCount, 1);
  for (ViewLabel label : {ViewLabel::NumErrors, ViewLabel::NumSrcReadErrs}) {
    EXPECT_EQ(h.LabelText(label), "1");
    EXPECT_EQ(h.view.Label(label).colour, Colour::Red);
  }
  EXPECT_EQ(h.view.status, "Errors");
}

TEST(Traversal, SourceRootThatCannotBeListedAgainAfterTheScanIsAnError) {
  EngineHarness h;
  h.WriteBoth("f", "1");
  h.fileSystem.FailListing(h.Src(), EIO, 1);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Source read error: /"});
  EXPECT_EQ(h.view.status, "Errors");
}

TEST(Traversal, FileWhoseAttributesCannotBeReadIsASourceReadErrorWithoutAnOpen) {
  EngineHarness h;
  h.WriteBoth("unknown", "data");
  h.WriteBoth("known", "x");
  h.fileSystem.HideAttributes(h.Src("unknown"));
  h.Verify();
  EXPECT_EQ(h.view.lines, (Lines{"!Source read error: unknown", "Ok: known"}));
  EXPECT_EQ(h.engine.totals.SrcFileCount, 2);
  EXPECT_EQ(h.engine.totals.SrcByteTotal, 1);
  EXPECT_EQ(h.engine.totals.DstFileCount, 2);
  EXPECT_EQ(h.fileSystem.opens, 2);
}

TEST(Traversal, DeepTreesAndLongPathsVerifyWholeUnderALowOpenFileLimit) {
  const struct {
    const char* what;
    std::string component;
    int levels;
  } cases[] = {{"1,100 levels", "d", 1100}, {"paths of 5,000 bytes", std::string(199, 'n'), 25}};
  for (const auto& c : cases) {
    EngineHarness h;
    std::string folder;
    for (int level = 0; level < c.levels; ++level) folder += c.component + "/";
    for (const char* side : {"src/", "dst/"}) h.tree.WriteDeepFile(side + folder + "same", "bytes");
    h.tree.WriteDeepFile("src/" + folder + "differs", "abc");
    h.tree.WriteDeepFile("dst/" + folder + "differs", "abd");
    h.tree.WriteDeepFile("src/" + folder + "lost", "x");
    {
      testing::LoweredOpenFileLimit limit(256);
      h.Verify();
    }
    EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: " + folder + "lost",
                                   "!Mismatched contents at offset 2: " + folder + "differs", "Ok: " + folder + "same"}))
        << c.what;
    EXPECT_EQ(h.engine.totals.SrcFolderCount, c.levels) << c.what;
    EXPECT_EQ(h.engine.totals.DstFolderCount, c.levels) << c.what;
  }
}

TEST(Traversal, DanglingSourceLinkIsASourceReadError) {
  EngineHarness h;
  ASSERT_EQ(symlink("nowhere", h.Src("dangling").c_str()), 0);
  h.Verify();
  EXPECT_EQ(h.view.lines, Lines{"!Source read error: dangling"});
  EXPECT_EQ(h.engine.totals.SrcFileCount, 1);
  EXPECT_EQ(h.engine.totals.DstFileCount, 1);
}

}  // namespace
}  // namespace ovik
