#include "engine/ReadAhead.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace ovik {

// A pair handed to the comparison: its opens and blocks come from what the
// readers found, cut into blocks as the comparison asks for them.
class ReadAhead::TakenPair final : public FilePair {
 public:
  TakenPair(ReadAhead& owner, std::shared_ptr<PairStreams> pair, WaitHook& hook)
      : owner_(owner), pool_(*owner.pool_), pair_(std::move(pair)), hook_(hook), src_{&pair_->src, {}}, dst_{&pair_->dst, {}} {}
  ~TakenPair() override {
    for (Cursor* cursor : {&src_, &dst_})
      if (cursor->holding) pool_.ReturnChunk(cursor->chunk);
    owner_.Release(*pair_);
  }
  TakenPair(const TakenPair&) = delete;
  TakenPair& operator=(const TakenPair&) = delete;

  bool OpenSource(FileId& id, std::int64_t& size) override {
    const bool opened = Opened(pair_->src, id);
    size = pair_->src.size;
    return opened;
  }
  bool OpenDestination(FileId& id) override { return Opened(pair_->dst, id); }
  EntryLookup LookUpDestination() override { return pair_->dst.lookup; }
  std::int64_t ReadSourceBlock(const std::byte*& data, int& error) override { return NextBlock(src_, data, error); }
  std::int64_t ReadDestinationBlock(const std::byte*& data, int& error) override {
    return NextBlock(dst_, data, error);
  }

 private:
  // Where the comparison is in a stream: the chunk it holds and how much of
  // it was handed out as blocks.
  struct Cursor {
    FileStream* stream;
    Chunk chunk;
    bool holding = false;
    std::int64_t position = 0;
  };

  // A wait given up (the run was aborted) counts as a failed open.
  bool Opened(FileStream& stream, FileId& id) {
    if (!pool_.WaitFor(stream, ReaderPool::Awaited::Open, hook_)) return false;
    if (!stream.opened && stream.failure) std::rethrow_exception(stream.failure);
    id = stream.id;
    return stream.opened;
  }

  std::int64_t NextBlock(Cursor& cursor, const std::byte*& data, int& error) {
    if (cursor.holding && cursor.position < cursor.chunk.count) return Slice(cursor, data);
    data = nullptr;
    if (cursor.holding && cursor.chunk.last) return 0;
    if (cursor.holding) {
      pool_.ReturnChunk(cursor.chunk);
      cursor.holding = false;
    }
    FileStream& stream = *cursor.stream;
    if (!pool_.WaitFor(stream, ReaderPool::Awaited::Chunk, hook_)) {
      error = EINTR;
      return -1;
    }
    const std::uint32_t index = stream.taken.load(std::memory_order_relaxed);
    if (index == stream.published.load()) {
      if (stream.failure) std::rethrow_exception(stream.failure);
      return 0;
    }
    cursor.chunk = stream.chunks[index % FileStream::kChunks];
    cursor.holding = true;
    cursor.position = 0;
    pool_.Took(stream, index + 1);
    if (cursor.chunk.count < 0) {
      error = cursor.chunk.error;
      return -1;
    }
    if (cursor.chunk.count == 0) return 0;
    return Slice(cursor, data);
  }

  std::int64_t Slice(Cursor& cursor, const std::byte*& data) const {
    const std::int64_t count =
        std::min(static_cast<std::int64_t>(owner_.blockSize_), cursor.chunk.count - cursor.position);
    data = cursor.chunk.data + cursor.position;
    cursor.position += count;
    return count;
  }

  ReadAhead& owner_;
  ReaderPool& pool_;
  std::shared_ptr<PairStreams> pair_;
  WaitHook& hook_;
  Cursor src_;
  Cursor dst_;
};

ReadAhead::ReadAhead(FileSystem& fileSystem, ReadRole dstRole, std::size_t blockSize, ReadAheadLimits limits)
    : dstRole_(dstRole), blockSize_(blockSize), limits_(limits), pool_(ReaderPool::Start(fileSystem, blockSize, limits)) {}

ReadAhead::~ReadAhead() {
  for (const auto& pair : waiting_) pool_->Release(*pair);
  pool_->Stop();
}

bool ReadAhead::HasRoom(bool forBatch) const {
  return waiting_.size() + (forBatch ? limits_.batch : 1) <= limits_.filesAhead;
}

std::shared_ptr<PairStreams> ReadAhead::NewPair(std::string srcPath, std::string dstPath) {
  auto pair = std::make_shared<PairStreams>();
  pair->serial = nextSerial_++;
  pair->src.path = std::move(srcPath);
  pair->dst.path = std::move(dstPath);
  pair->dst.destination = true;
  pair->dst.role = dstRole_;
  if (makeSourceDigest_) {
    pair->src.digest = makeSourceDigest_();
    pair->src.readWhole = true;
  }
  return pair;
}

PendingDigest ReadAhead::AnnounceDigestOnly(const std::string& root, std::string relative,
                                            std::unique_ptr<StreamDigest> digest) {
  auto pair = std::make_shared<PairStreams>();
  pair->serial = nextSerial_++;
  // No source: its stream counts as done before anyone reads it.
  pair->src.known = true;
  pair->src.finished = true;
  pair->streamsFinished = 1;
  pair->dst.root = root.empty() ? "/" : root;
  pair->dst.path = std::move(relative);
  pair->dst.destination = true;
  pair->dst.role = dstRole_;
  pair->dst.digest = std::move(digest);
  pair->dst.readWhole = true;
  // Let go of at once: its reader reads on its own, with no room to wait for.
  pool_->Release(*pair);
  toPublish_.push_back(pair);
  FileStream& stream = pair->dst;
  return PendingDigest(std::move(pair), stream);
}

bool ReadAhead::WaitForDigest(const PendingDigest& digest, WaitHook& hook) {
  return pool_->WaitFor(*digest.stream_, ReaderPool::Awaited::End, hook);
}

void ReadAhead::Announce(std::string srcPath, std::string dstPath) {
  std::shared_ptr<PairStreams> pair = NewPair(std::move(srcPath), std::move(dstPath));
  toPublish_.push_back(pair);
  waiting_.push_back(std::move(pair));
}

void ReadAhead::AnnouncingDone() {
  if (toPublish_.empty()) return;
  pool_->Publish(toPublish_);
  toPublish_.clear();
}

std::unique_ptr<FilePair> ReadAhead::Take(const std::string& srcPath, const std::string& dstPath, WaitHook& hook,
                                          PendingDigest* sourceDigest) {
  const auto found = std::find_if(waiting_.begin(), waiting_.end(), [&](const std::shared_ptr<PairStreams>& pair) {
    return pair->src.path == srcPath && pair->dst.path == dstPath;
  });
  std::shared_ptr<PairStreams> pair;
  if (found != waiting_.end()) {
    pair = *found;
    std::vector<std::shared_ptr<PairStreams>> dropped(waiting_.begin(), found);
    waiting_.erase(waiting_.begin(), std::next(found));
    for (const auto& skipped : dropped) pool_->Release(*skipped);
    pool_->SetHead(pair->serial);
  } else {
    pair = NewPair(srcPath, dstPath);
    pool_->SetHead(pair->serial);
    pool_->Publish({pair}, true);
  }
  if (sourceDigest != nullptr && pair->src.digest) *sourceDigest = PendingDigest(pair, pair->src);
  return std::make_unique<TakenPair>(*this, std::move(pair), hook);
}

// The comparison is done with the pair: its readers stop at their next
// chunk, and the chunks go back.
void ReadAhead::Release(PairStreams& pair) {
  pool_->Release(pair);
  pool_->SetHead(waiting_.empty() ? nextSerial_ : waiting_.front()->serial);
}

}  // namespace ovik
