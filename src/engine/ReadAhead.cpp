#include "engine/ReadAhead.h"

#include <algorithm>

namespace ovik {

ReadAhead::ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits)
    : dstRole_(dstRole), blockSize_(blockSize), limits_(limits), pool_(ReaderPool::Start(fileSystem, blockSize, limits)) {}

ReadAhead::~ReadAhead() {
  for (const auto& job : waiting_) pool_->Abandon(*job);
  pool_->Stop();
}

bool ReadAhead::HasRoom(bool forBatch) const {
  return waiting_.size() + (forBatch ? limits_.batch : 1) <= limits_.filesAhead;
}

std::shared_ptr<PairJob> ReadAhead::NewJob() {
  auto job = std::make_shared<PairJob>(nextSerial_++, blockSize_);
  job->dstRole = dstRole_;
  return job;
}

void ReadAhead::Announce(std::string srcPath, std::string dstPath) {
  std::shared_ptr<PairJob> job = NewJob();
  job->srcPath = std::move(srcPath);
  job->dstPath = std::move(dstPath);
  if (makeSourceDigest_) job->digest = makeSourceDigest_();
  toPublish_.push_back(job);
  waiting_.push_back(std::move(job));
}

void ReadAhead::AnnouncingDone() {
  if (toPublish_.empty()) return;
  pool_->Publish(toPublish_);
  toPublish_.clear();
}

std::optional<ReadOutcome> ReadAhead::Take(const std::string& srcPath, const std::string& dstPath, WaitHook& hook) {
  const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const std::shared_ptr<PairJob>& job) {
    return job->srcPath == srcPath && job->dstPath == dstPath;
  });
  std::shared_ptr<PairJob> job;
  if (found != waiting_.end()) {
    job = *found;
    for (auto skipped = waiting_.begin(); skipped != found; ++skipped) pool_->Abandon(**skipped);
    waiting_.erase(waiting_.begin(), std::next(found));
    pool_->SetHead(*job);
  } else {
    job = NewJob();
    job->srcPath = srcPath;
    job->dstPath = dstPath;
    if (makeSourceDigest_) job->digest = makeSourceDigest_();
    pool_->SetHead(*job);
    pool_->Publish({job}, true);
  }
  std::optional<ReadOutcome> outcome = WaitForOutcome(*job, hook);
  pool_->SetHeadPast(waiting_.empty() ? nextSerial_ : waiting_.front()->serial);
  return outcome;
}

DigestReading ReadAhead::AnnounceDigestOnly(const std::string& root, std::string relative,
                                            std::unique_ptr<StreamDigest> digest) {
  std::shared_ptr<PairJob> job = NewJob();
  job->digestOnly = true;
  job->root = root.empty() ? "/" : root;
  job->dstPath = std::move(relative);
  job->digest = std::move(digest);
  toPublish_.push_back(job);
  return DigestReading(std::move(job));
}

std::optional<ReadOutcome> ReadAhead::Collect(const DigestReading& reading, WaitHook& hook) {
  return WaitForOutcome(*reading.job_, hook);
}

// An outcome waited for is the engine's; a wait given up on leaves the job
// to its readers, who stop at their next read.
std::optional<ReadOutcome> ReadAhead::WaitForOutcome(PairJob& job, WaitHook& hook) {
  if (!pool_->WaitFor(job, hook)) {
    pool_->Abandon(job);
    return std::nullopt;
  }
  return std::move(job.outcome);
}

}  // namespace ovik
