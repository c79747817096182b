// Notes on the lines of files whose names the destination may have changed:
// another Unicode form, names that meet on a destination that ignores case,
// names it cannot hold. Notes change no line, count or verdict.

#include "support/EngineHarness.h"
#include "support/media/FatMedium.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

namespace ovik {
namespace {

using testing::EngineHarness;
using testing::FatKind;
using testing::FatMedium;
using testing::MediumKind;
using testing::TestMedium;
using Lines = std::vector<std::string>;
using Notes = std::map<std::string, std::string>;

Notes NotesOf(const testing::RecordingView& view) { return {view.notes.begin(), view.notes.end()}; }

const std::string kCafeNfc = "caf\xc3\xa9.txt";
const std::string kCafeNfd = "cafe\xcc\x81.txt";
const std::string kNaiveNfc = "na\xc3\xafve.txt";
const std::string kNaiveNfd = "nai\xcc\x88ve.txt";
const std::string kResumeNfc = "r\xc3\xa9sum\xc3\xa9.txt";
const std::string kResumeNfd = "re\xcc\x81sume\xcc\x81.txt";

std::string Has(const std::string& name, const char* form) {
  return "the destination has this name as \"" + name + "\", in Unicode form " + form;
}

std::string ComparedWith(const std::string& name, const char* form) {
  return "compared with the destination's \"" + name + "\", the same name in Unicode form " + form;
}

// The source writes names in form C, the destination got them in form D
// (and one the other way round); with --unicode-equal the destination's
// file is compared as the twin, so that a difference in its bytes shows.
TEST(NameNotes, ANameInTheOtherUnicodeFormIsNamedOrComparedOnRequest) {
  const std::string missing = "!Destn file missing: ";
  const std::string differs = "!Mismatched contents at offset 0: ";
  const struct {
    bool unicodeEqual;
    Lines lines;
    Notes notes;
  } cases[] = {
      {false,
       {missing + kCafeNfc, missing + kNaiveNfc, missing + "sub/" + kResumeNfd, "Ok: plain.txt"},
       {{missing + kCafeNfc, Has(kCafeNfd, "NFD")},
        {missing + kNaiveNfc, Has(kNaiveNfd, "NFD")},
        {missing + "sub/" + kResumeNfd, Has(kResumeNfc, "NFC")}}},
      {true,
       {differs + kNaiveNfc, "Ok: " + kCafeNfc, "Ok: plain.txt", "Ok: sub/" + kResumeNfd},
       {{"Ok: " + kCafeNfc, ComparedWith(kCafeNfd, "NFD")},
        {differs + kNaiveNfc, ComparedWith(kNaiveNfd, "NFD")},
        {"Ok: sub/" + kResumeNfd, ComparedWith(kResumeNfc, "NFC")}}},
  };
  for (const auto& c : cases) {
    for (bool readAhead : {false, true}) {
      SCOPED_TRACE(std::string(c.unicodeEqual ? "unicode-equal" : "names differ") + (readAhead ? ", read ahead" : ""));
      EngineHarness h;
      h.tree.WriteFile("src/" + kCafeNfc, "coffee");
      h.tree.WriteFile("dst/" + kCafeNfd, "coffee");
      h.tree.WriteFile("src/" + kNaiveNfc, "one");
      h.tree.WriteFile("dst/" + kNaiveNfd, "two");
      h.tree.WriteFile("src/sub/" + kResumeNfd, "cv");
      h.tree.WriteFile("dst/sub/" + kResumeNfc, "cv");
      h.WriteBoth("plain.txt", "p");
      h.engine.unicodeEqual = c.unicodeEqual;
      h.engine.readAhead = readAhead;
      h.Verify();
      EXPECT_EQ(h.view.lines, c.lines);
      EXPECT_EQ(NotesOf(h.view), c.notes);
    }
  }
}

NameRules ExfatRules() { return RulesOfFileSystem("exfat", "rw"); }

NameRules CaseFoldedRules() {
  NameRules rules;
  rules.fileSystem = "ext4, case-folded folder";
  rules.ignoresCase = rules.ignoresUnicodeForm = true;
  return rules;
}

// The same trees verified against a destination that keeps every name and
// one that does not: the same lines, counts and verdict, and the notes.
TEST(NameNotes, NamesThatMeetOrCannotBeHeldAreNotedAndChangeNothingElse) {
  const std::string oneName = "on the destination, which ignores case";
  const struct {
    const char* what;
    NameRules rules;
    Notes notes;
  } cases[] = {
      {"case-sensitive", NameRules{}, {}},
      {"exfat",
       ExfatRules(),
       {{"Ok: Photo.JPG", oneName + " (exfat), this name and \"photo.jpg\" are one name"},
        {"!Destn file missing: photo.jpg", oneName + " (exfat), this name and \"Photo.JPG\" are one name"},
        {"!Destn file missing: a:b?.txt", "the destination's file system (exfat) cannot hold \":\" in a name"}}},
      // A case-folded folder also takes both Unicode forms of a name as one.
      {"case-folded",
       CaseFoldedRules(),
       {{"Ok: Photo.JPG", oneName + " (ext4, case-folded folder), this name and \"photo.jpg\" are one name"},
        {"!Destn file missing: photo.jpg", oneName + " (ext4, case-folded folder), this name and \"Photo.JPG\" are one name"},
        {"Ok: " + kCafeNfc, oneName + " (ext4, case-folded folder), this name and \"CAFE\xcc\x81.txt\" are one name"},
        {"Ok: CAFE\xcc\x81.txt", oneName + " (ext4, case-folded folder), this name and \"" + kCafeNfc + "\" are one name"}}},
  };
  Lines firstLines;
  std::string firstErrors;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EngineHarness h;
    h.WriteBoth("Photo.JPG", "big");
    h.tree.WriteFile("src/photo.jpg", "small");
    h.tree.WriteFile("src/a:b?.txt", "x");
    h.WriteBoth(kCafeNfc, "c");
    h.WriteBoth("CAFE\xcc\x81.txt", "C");
    h.WriteBoth("sub/Photo.JPG", "other folder");
    h.fileSystem.UseNameRules(c.rules);
    h.Verify();
    EXPECT_EQ(NotesOf(h.view), c.notes);
    if (firstLines.empty()) {
      firstLines = h.view.lines;
      firstErrors = h.LabelText(ViewLabel::NumErrors);
      EXPECT_EQ(firstErrors, "2");
    }
    EXPECT_EQ(h.view.lines, firstLines);
    EXPECT_EQ(h.LabelText(ViewLabel::NumErrors), firstErrors);
    EXPECT_EQ(h.view.status, "Errors");
  }
}

// A folder whose names cannot meet and whose missing files have names
// every file system holds costs nothing: the destination's rules are not
// even asked for.
TEST(NameNotes, DistinctNamesThatAnyFileSystemHoldsAskNothingOfTheDestination) {
  EngineHarness h;
  h.WriteBoth("a.txt", "a");
  h.WriteBoth("sub/b.txt", "b");
  h.WriteBoth("sub/" + kCafeNfc, "c");
  h.tree.WriteFile("src/gone/" + kNaiveNfc, "n");
  h.Verify();
  EXPECT_EQ(h.view.status, "Errors");
  EXPECT_EQ(h.fileSystem.namesDescribed, 0);
  EXPECT_TRUE(h.view.notes.empty());
}

// Copied onto real images in the order of their bytes, keeping what is
// there: of a case pair only the first one reaches FAT32 and exFAT, and a
// name with ":" is refused, each line saying so; on ext4 everything is kept
// and nothing is noted. (The FUSE driver of FAT32 does not truncate a file
// it overwrites and loses what the kernel copies between files for it, so
// nothing is overwritten and the bytes go through plain writes.)
void CopyOnto(const std::string& from, const std::string& to) {
  std::vector<std::filesystem::path> files(std::filesystem::directory_iterator(from), {});
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const std::string target = to + "/" + file.filename().string();
    if (std::filesystem::exists(target)) continue;
    std::ifstream in(file, std::ios::binary);
    std::ofstream(target, std::ios::binary) << in.rdbuf();
  }
}

void WriteNamesToCopy(const EngineHarness& h) {
  h.tree.WriteFile("src/Photo.JPG", "the big one");
  h.tree.WriteFile("src/photo.jpg", "small");
  h.tree.WriteFile("src/12:30 meeting.txt", "notes");
  h.tree.WriteFile("src/plain.txt", "p");
}

class NameNotesOnFat : public ::testing::TestWithParam<FatKind> {};

TEST_P(NameNotesOnFat, ACasePairAndAColonAreNoted) {
  OVIK_REQUIRE_FAT(GetParam());
  FatMedium medium(GetParam());
  ASSERT_EQ(medium.error(), "");
  EngineHarness h;
  WriteNamesToCopy(h);
  CopyOnto(h.Src(), medium.root());
  h.engine.VerifyCommand(h.Src(), medium.root());

  const std::string fileSystem = GetParam() == FatKind::Fat32 ? "vfat" : "exfat";
  const std::string oneName = "on the destination, which ignores case (" + fileSystem + "), this name and ";
  EXPECT_EQ(h.view.lines, (Lines{"!Destn file missing: 12:30 meeting.txt", "!Mismatched sizes: photo.jpg",
                                 "Ok: Photo.JPG", "Ok: plain.txt"}));
  EXPECT_EQ(NotesOf(h.view),
            (Notes{{"!Destn file missing: 12:30 meeting.txt",
                    "the destination's file system (" + fileSystem + ") cannot hold \":\" in a name"},
                   // The note on the names comes first, then what the damage looks like.
                   {"!Mismatched sizes: photo.jpg", oneName + "\"Photo.JPG\" are one name\n"
                                                    "the destination is 6 bytes longer (11 instead of 5); "
                                                    "the part both have differs from offset 0"},
                   {"Ok: Photo.JPG", oneName + "\"photo.jpg\" are one name"}}));
}

INSTANTIATE_TEST_SUITE_P(Images, NameNotesOnFat, ::testing::Values(FatKind::Fat32, FatKind::Exfat),
                         [](const auto& info) { return std::string(testing::FatName(info.param)); });

TEST(NameNotes, Ext4KeepsEveryNameAndNothingIsNoted) {
  OVIK_REQUIRE_MEDIUM(MediumKind::Ext4);
  testing::TempTree empty;
  TestMedium medium(MediumKind::Ext4, empty.root());
  ASSERT_EQ(medium.error(), "");
  EngineHarness h;
  WriteNamesToCopy(h);
  CopyOnto(h.Src(), medium.root());
  h.engine.VerifyCommand(h.Src(), medium.root());
  EXPECT_EQ(h.view.status, "Verified OK");
  EXPECT_TRUE(h.view.notes.empty());
}

}  // namespace
}  // namespace ovik
