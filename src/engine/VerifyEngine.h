#pragma once

#include "common/ResultLine.h"
#include "engine/FileOutcome.h"
#include "engine/reading/ReaderPool.h"
#include "engine/RunDisplay.h"
#include "engine/VerifyTotals.h"
#include "engine/walk/WalkRules.h"
#include "engine/VerifyView.h"
#include "platform/Clock.h"
#include "platform/files/FileSystem.h"
#include "sums/ChecksumList.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ovik {

class BlockingCalls;
class NameNotes;
class TreeReading;
class Walk;
struct WalkStep;

inline constexpr std::size_t BlockSize = 102400;

// Status texts.
inline constexpr const char* kStatusVerifiedOk = "Verified OK";
inline constexpr const char* kStatusErrors = "Errors";
inline constexpr const char* kStatusNoSourceFiles = "No source files";
inline constexpr const char* kStatusAborted = "Aborted";

const char* VerdictText(Verdict verdict);

// Elapsed time for display: the locale's long time format, with whole days
// in front («1d 01:00:05») once a run has taken a day or more.
std::string FormatElapsedTime(double elapsedDays);

// The verify run: its totals and state, the two walks over the source tree,
// the byte comparison of each file pair and the progress display, all
// reported through a VerifyView. Runs on the caller's thread; the only state
// another party may touch during a run is AbortRequested.
class VerifyEngine {
 public:
  explicit VerifyEngine(VerifyView& view, FileSystem& fileSystem = SystemFileSystem(),
                        Clock& clock = SystemClock());
  ~VerifyEngine();
  VerifyEngine(const VerifyEngine&) = delete;
  VerifyEngine& operator=(const VerifyEngine&) = delete;

  // The Verify command on the two folder texts as the fields hold them.
  void VerifyCommand(const std::string& sourceText, const std::string& destText);
  // The Verify command on a checksum list and the folder it describes: the
  // listed files stand for the source files, and each is checked by its
  // digest.
  void CheckCommand(const std::string& listPath, const std::string& folderText);
  // The Abort command: asks for confirmation, then sets AbortRequested.
  void AbortCommand();

  void RunVerify(const std::string& sourceRoot, const std::string& destRoot);
  void RunCheck(const std::string& listPath, const std::string& folder);
  void ResetResults();
  void ShowTotals();
  void ShowStatus(std::string_view text, Colour colour);
  void UpdateTitle();

  void ScanSource(const std::string& folder);
  void VerifyFolder(const std::string& srcFolder, const std::string& dstFolder);
  // `expectedSize` kSizeUnknown: the length the source had when it was
  // opened. `sourceListed` false: the listing named the source file but
  // could not read its attributes; it is a source read error without being
  // opened. `job`: the pair as readers read it ahead; null: read here.
  void CompareFile(const std::string& srcPath, const std::string& dstPath, std::int64_t expectedSize,
                   bool sourceListed = true, const std::shared_ptr<PairJob>& job = nullptr);
  void AddResultLine(std::string_view prefix);

  void ShowElapsed();
  void ShowProgress(std::int64_t currentFileBytes);

  VerifyTotals totals;
  std::atomic<bool> AbortRequested{false};
  RunState runState = RunState::Idle;
  Verdict verdict = Verdict::None;
  std::int32_t SourceRootLength = 0;
  std::string CurrentRelativeName;
  // Where destination blocks come from: the medium unless asked otherwise.
  ReadRole destinationReadRole = ReadRole::DestinationMedium;
  // Whether the files of the walk are read ahead of the comparison, and how
  // far; the results are the same either way.
  bool readAhead = true;
  ReadAheadLimits readAheadLimits;
  // Readers for each medium whatever it is; 0: chosen by the medium, and
  // on one that may seek, by measuring.
  std::size_t readers = 0;
  // Told at the end of a folder verify what was found of the media, what
  // was chosen and what it settled on.
  std::function<void(const std::string&)> onReadingChosen;
  // Whether hidden and system sub-folders are walked like any other; when
  // not, each one passed over gets a line of its own.
  bool includeHidden = false;
  // Whether a destination file missing under the source's name but there
  // under the same name in another Unicode form is compared as the twin.
  bool unicodeEqual = false;
  // Whether a folder verify records the SHA-256 digest of every source file
  // it can read whole, the files whose destination is missing or differs
  // included.
  bool recordSums = false;
  // Whether a mismatched file is read on to its end so that its note tells
  // how many blocks differ and where.
  bool explainDamage = false;
  // The kind of a checksum list's untagged hashes, when the user named it;
  // otherwise their length and the list's name tell.
  std::optional<DigestKind> listAlgorithm;
  // The digests a run recorded, named relative to the source root in the
  // walk's order; only a run that recorded and was not aborted has any.
  bool HasRecordedSums() const { return sumsRecorded_; }
  const ChecksumList& RecordedSums() const { return recordedSums_; }

 private:
  struct AlignedFree {
    void operator()(std::byte* p) const;
  };
  using Buffer = std::unique_ptr<std::byte, AlignedFree>;

  class DisplayWaits;
  class PlainReading;
  struct ListedCheck {
    std::size_t index;
    std::shared_ptr<PairJob> job;
  };
  enum class ListReading { Whole, NotOpened, Broken };

  void RunCommand(const std::function<void()>& run);
  void FinishRun();

  // Runs a file-system call that a stalling device can hold up, aside when
  // reading ahead; false when the run was aborted before it returned. The
  // call must own what it touches.
  bool CallAside(std::function<void()> call);
  // The folder's listing, through CallAside; an empty one when it could not
  // be listed or the run was aborted.
  ListingRef ListFolder(const std::string& folder, FileSizes sizes);
  // Walks from `srcRoot` (with `dstRoot`, the destination walk) on this
  // thread or, reading ahead, on a thread of its own with readers for its
  // files; NextStep gives its steps in order, false at the end or at an
  // abort.
  void StartWalk(const std::string& srcRoot, const std::string& dstRoot, FileSizes sizes, bool readFiles);
  bool NextStep(WalkStep& step, std::shared_ptr<PairJob>& job);
  void EndWalk();
  void ReportUnlistableFolder(const std::string& srcFolder);
  NameRules DescribeDestinationNames(const std::string& folder);
  // The note on the names of the file's line; with unicodeEqual, a missing
  // destination found in another Unicode form is compared, and `outcome`
  // becomes that comparison's.
  std::string NoteOnNames(const std::string& srcPath, const std::string& dstPath, std::int64_t expectedSize,
                          CompareOutcome& outcome);
  // What reading the pair found; nothing when the run was aborted meanwhile.
  std::optional<ReadOutcome> ReadPairHere(const std::string& srcPath, const std::string& dstPath);
  std::optional<ReadOutcome> WaitForPair(PairJob& job);
  CompareOutcome Judge(const ReadOutcome& read, std::int64_t expectedSize);
  // What the line of a file says besides its kind and name: the lengths,
  // the damage of a mismatch and its note, written into `note`.
  ResultLine FactsOf(const ReadOutcome& read, const CompareOutcome& outcome, const std::string& srcPath,
                     const std::string& dstPath, std::string& note);
  // The differences of the part both files have, from `fromOffset`'s block on.
  std::string SurveyDamage(const std::string& srcPath, const std::string& dstPath, std::int64_t fromOffset);
  bool DestinationIsThere(const EntryLookup& lookup);
  // Anything of that name is there, or it could not be looked at.
  static bool AnythingIsThere(const EntryLookup& lookup);
  void RecordDigest(const std::string& digest);
  ListReading ReadChecksumList(const std::string& listPath, ChecksumList& list);
  void LookUpListedSizes(const ChecksumList& list, const std::string& folder);
  void CheckListedFiles(const ChecksumList& list, const std::string& folder);
  void CheckListedFile(const ListedFile& file, const ListedCheck& check, StepWindow& window,
                       const std::string& folder, DigestKind& wideKind);
  static std::string WhyNotReadable(const EntryLookup& lookup, const std::string& folder);
  // `path` without the source root and the separator after it.
  std::string RelativeName(const std::string& path) const;

  VerifyView& view_;
  FileSystem& fileSystem_;
  Clock& clock_;
  RunDisplay display_{view_, clock_, totals};
  // The buffers of the pairs the engine reads itself, when not reading ahead.
  std::vector<Buffer> plainBuffers_;
  std::vector<std::byte*> freePlainBuffers_;
  // The walk in hand: stepped here, or run ahead with its readers.
  std::unique_ptr<Walk> walk_;
  std::unique_ptr<TreeReading> treeReading_;
  // Where a checksum list's reads and lookups run while a check reads ahead.
  std::unique_ptr<BlockingCalls> blockingCalls_;
  // Whether the scan could list the source root.
  bool scanListedRoot_ = false;
  // What the destination made of the names of the folder being walked, and
  // the source listing it was last told of.
  std::unique_ptr<NameNotes> nameNotes_;
  ListingRef namesFolder_;
  // The source digests recorded, in the walk's order.
  ChecksumList recordedSums_;
  bool sumsRecorded_ = false;
};

}  // namespace ovik
