#include "engine/VerifyEngine.h"

#include "engine/notes/DamageSurvey.h"
#include "engine/reading/PairReader.h"

#include <cstdlib>

namespace ovik {
namespace {

struct FreeBuffer {
  void operator()(std::byte* p) const { std::free(p); }
};

// What the survey aside owns, so that one given up on at an abort touches
// nothing of the engine.
struct SurveyJob {
  explicit SurveyJob(std::size_t blockSize) : survey(blockSize) {}
  DamageSurvey survey;
  std::atomic<bool> stop{false};
};

void ReadBothToTheEnd(FileSystem& files, const std::string& srcPath, const std::string& dstPath, ReadRole dstRole,
                      std::int64_t fromBlock, SurveyJob& job) {
  const OpenResult src = files.OpenForRead(srcPath, ReadRole::Source);
  const OpenResult dst = files.OpenForRead(dstPath, dstRole);
  if (!src.file || !dst.file) return job.survey.Stop();
  const std::unique_ptr<std::byte, FreeBuffer> srcBuffer(AllocateReadBuffer(BlockSize));
  const std::unique_ptr<std::byte, FreeBuffer> dstBuffer(AllocateReadBuffer(BlockSize));
  for (std::int64_t offset = fromBlock * static_cast<std::int64_t>(BlockSize);;
       offset += static_cast<std::int64_t>(BlockSize)) {
    if (job.stop) return job.survey.Stop();
    int error = 0;
    const std::int64_t srcCount = src.file->ReadAt(srcBuffer.get(), BlockSize, offset, error);
    const std::int64_t dstCount = dst.file->ReadAt(dstBuffer.get(), BlockSize, offset, error);
    if (srcCount < 0 || dstCount < 0) return job.survey.Stop();
    job.survey.Add({srcBuffer.get(), static_cast<std::size_t>(srcCount)},
                   {dstBuffer.get(), static_cast<std::size_t>(dstCount)}, offset);
    if (srcCount < static_cast<std::int64_t>(BlockSize) || dstCount < static_cast<std::int64_t>(BlockSize)) return;
  }
}

}  // namespace

ResultLine VerifyEngine::FactsOf(const ReadOutcome& read, const CompareOutcome& outcome, const std::string& srcPath,
                                 const std::string& dstPath, std::string& note) {
  ResultLine facts;
  if (read.srcOpened) facts.srcSize = read.srcSize;
  facts.dstSize = read.dstSize;
  const bool mismatch = outcome.result == FileResult::ContentMismatch || outcome.result == FileResult::SizeMismatch;
  // A source that changed length after it was listed has no damage to tell.
  if (!mismatch || read.damage.kind == DamageKind::None) return facts;
  facts.damage = DamageName(read.damage.kind);
  note = DamageNote(read.damage, read.srcSize, read.dstSize);
  if (explainDamage) note += "\n" + SurveyDamage(srcPath, dstPath, read.damage.offset);
  facts.note = note;
  return facts;
}

std::string VerifyEngine::SurveyDamage(const std::string& srcPath, const std::string& dstPath,
                                       std::int64_t fromOffset) {
  const std::int64_t fromBlock = fromOffset / static_cast<std::int64_t>(BlockSize);
  auto job = std::make_shared<SurveyJob>(BlockSize);
  FileSystem& files = fileSystem_;
  const ReadRole role = destinationReadRole;
  const bool done = CallAside([&files, job, srcPath, dstPath, role, fromBlock] {
    ReadBothToTheEnd(files, srcPath, dstPath, role, fromBlock, *job);
  });
  if (!done) {
    job->stop = true;
    return {};
  }
  return job->survey.Note(fromBlock * static_cast<std::int64_t>(BlockSize));
}

}  // namespace ovik
