#include "engine/VerifyEngine.h"

#include "engine/DisplayWaits.h"
#include "engine/reading/PairReader.h"
#include "engine/reading/TreeReading.h"
#include "sums/ChecksumLine.h"


namespace ovik {

// A pair read on the engine's own thread, one block of each side at a
// time: between two blocks the display stays alive, the bytes checked are
// shown and Abort stops the reading.
class VerifyEngine::PlainReading final : public ReadingPlace {
 public:
  explicit PlainReading(VerifyEngine& engine) : engine_(engine) {}
  FileSystem& Files() override { return engine_.fileSystem_; }
  std::size_t BlocksPerRead() const override { return 1; }
  std::byte* TakeBuffer(std::size_t) override {
    if (engine_.freePlainBuffers_.empty()) {
      engine_.plainBuffers_.emplace_back(AllocateReadBuffer(BlockSize));
      return engine_.plainBuffers_.back().get();
    }
    std::byte* buffer = engine_.freePlainBuffers_.back();
    engine_.freePlainBuffers_.pop_back();
    return buffer;
  }
  void ReturnBuffers(std::vector<std::byte*>& buffers) override {
    engine_.freePlainBuffers_.insert(engine_.freePlainBuffers_.end(), buffers.begin(), buffers.end());
    buffers.clear();
  }
  bool MayRead(PairJob& job) override {
    const std::int64_t compared = job.comparison.BlocksCompared();
    if (compared > shownBlocks_) {
      shownBlocks_ = compared;
      engine_.display_.ShowFileBytes(job.Progress());
    }
    engine_.display_.KeepAlive(lastPump_, job.Progress());
    return !engine_.AbortRequested;
  }

 private:
  VerifyEngine& engine_;
  double lastPump_ = 0;
  std::int64_t shownBlocks_ = 0;
};

std::string VerifyEngine::RelativeName(const std::string& path) const {
  return path.substr(std::min(path.size(), static_cast<std::size_t>(SourceRootLength) + 1));
}

void VerifyEngine::CompareFile(const std::string& srcPath, const std::string& dstPath,
                               std::int64_t expectedSize, bool sourceListed, const std::shared_ptr<PairJob>& job) {
  ShowElapsed();
  ShowProgress(0);

  CurrentRelativeName = RelativeName(srcPath);
  display_.ShowCurrentFile(CurrentRelativeName);

  std::optional<ReadOutcome> read;
  // A source whose attributes could not be read is not opened at all.
  if (!sourceListed) read.emplace().compared.result = FileResult::SrcReadError;
  else if (job) read = WaitForPair(*job);
  else read = ReadPairHere(srcPath, dstPath);

  // An aborted file yields no line and no counts.
  if (AbortRequested || !read) return;
  if (read->failure) std::rethrow_exception(read->failure);
  CompareOutcome outcome = Judge(*read, expectedSize);
  const std::string namesNote = NoteOnNames(srcPath, dstPath, expectedSize, outcome);
  if (AbortRequested) return;
  if (read->blocksCompared > 0) display_.ShowFileBytes(outcome.bytesChecked);
  std::string note;
  ResultLine facts = FactsOf(*read, outcome, srcPath, dstPath, note);
  if (!namesNote.empty()) {
    note = note.empty() ? namesNote : namesNote + "\n" + note;
    facts.note = note;
  }
  display_.RecordOutcome(outcome, CurrentRelativeName, facts);
  if (recordSums) RecordDigest(read->digest);
}

// An outcome waited for is the engine's; a wait given up on leaves the job
// to its readers, who stop at their next read.
std::optional<ReadOutcome> VerifyEngine::WaitForPair(PairJob& job) {
  DisplayWaits waits(*this);
  if (!treeReading_->Window().WaitForOutcome(job, waits)) return std::nullopt;
  return std::move(job.outcome);
}

std::optional<ReadOutcome> VerifyEngine::ReadPairHere(const std::string& srcPath, const std::string& dstPath) {
  auto job = std::make_shared<PairJob>(0, BlockSize);
  job->srcPath = srcPath;
  job->dstPath = dstPath;
  job->dstRole = destinationReadRole;
  PlainReading place(*this);
  PairReader reader(place, BlockSize);
  reader.ReadPair(job);
  LeaveJob(*job);
  if (AbortRequested) return std::nullopt;
  return std::move(job->outcome);
}

// The result of the file from what reading it found: a destination that
// could not be opened is missing unless the existence test finds it, and a
// source that changed length after it was listed is a size mismatch.
CompareOutcome VerifyEngine::Judge(const ReadOutcome& read, std::int64_t expectedSize) {
  CompareOutcome outcome = read.compared;
  if (outcome.result == FileResult::DstMissing && DestinationIsThere(read.dstLookup))
    outcome.result = FileResult::DstReadError;
  if (expectedSize == kSizeUnknown) expectedSize = read.srcSize;
  if (!outcome.Failed() && outcome.bytesChecked != expectedSize) outcome.result = FileResult::SizeMismatch;
  return outcome;
}

// A source that could not be read whole is left out: its line says so.
void VerifyEngine::RecordDigest(const std::string& digest) {
  std::string bytes;
  if (FromHex(digest, bytes) && !bytes.empty()) recordedSums_.Add(DigestKind::Sha256, bytes, CurrentRelativeName, 0);
}

// The existence test of a destination that could not be opened: a file
// (not a folder) of that path is there, or it could not be looked at for
// another reason than that nothing of that name exists.
bool VerifyEngine::DestinationIsThere(const EntryLookup& lookup) {
  if (lookup.entry) return PassesFilter(lookup.entry->attributes, kFilesFilter);
  return lookup.error != 0 && !IsNoSuchEntry(lookup.error);
}

bool VerifyEngine::AnythingIsThere(const EntryLookup& lookup) {
  return lookup.entry.has_value() || (lookup.error != 0 && !IsNoSuchEntry(lookup.error));
}

}  // namespace ovik
