#include "reports/store/ResultRuns.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <stdexcept>

namespace ovik {
namespace {

void PutSized(std::FILE* file, std::string_view bytes) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  std::fwrite(&size, sizeof size, 1, file);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace

// Reads the entries of one run back, a buffer at a time.
class ResultRuns::RunReader {
 public:
  RunReader(std::FILE* file, Run run) : file_(file), at_(run.begin), end_(run.end) {}

  bool Next(Entry& entry) {
    if (at_ >= end_ && held_ == used_) return false;
    std::uint8_t kind = 0;
    Take(&kind, 1);
    entry.kind = static_cast<ResultKind>(kind);
    TakeSized(entry.key);
    TakeSized(entry.text);
    TakeSized(entry.note);
    return true;
  }

 private:
  void TakeSized(std::string& out) {
    std::uint32_t size = 0;
    Take(&size, sizeof size);
    out.resize(size);
    Take(out.data(), size);
  }

  void Take(void* into, std::size_t count) {
    auto* bytes = static_cast<char*>(into);
    while (count > 0) {
      if (used_ == held_) Refill();
      const std::size_t part = std::min(count, held_ - used_);
      std::memcpy(bytes, buffer_.data() + used_, part);
      used_ += part;
      bytes += part;
      count -= part;
    }
  }

  void Refill() {
    const auto wanted = static_cast<std::size_t>(std::min<long>(end_ - at_, static_cast<long>(buffer_.size())));
    if (wanted == 0 || std::fseek(file_, at_, SEEK_SET) != 0 || std::fread(buffer_.data(), 1, wanted, file_) != wanted)
      throw std::runtime_error("cannot read back the sorted results");
    at_ += static_cast<long>(wanted);
    held_ = wanted;
    used_ = 0;
  }

  std::FILE* file_;
  long at_;
  long end_;
  std::vector<char> buffer_ = std::vector<char>(32768);
  std::size_t held_ = 0;
  std::size_t used_ = 0;
};

ResultRuns::ResultRuns() : collator_(OpenCaseInsensitiveCollator()) {}

ResultRuns::~ResultRuns() {
  if (spill_ != nullptr) std::fclose(spill_);
}

void ResultRuns::Append(const ResultLine& line) {
  Entry entry{{}, ResultText(line), std::string(line.note), line.kind};
  DecodeLine(entry.text, wide_);
  const auto* chars = reinterpret_cast<const UChar*>(wide_.data());
  const auto length = static_cast<std::int32_t>(wide_.size());
  entry.key.resize(static_cast<std::size_t>(ucol_getSortKey(collator_.get(), chars, length, nullptr, 0)));
  ucol_getSortKey(collator_.get(), chars, length, reinterpret_cast<std::uint8_t*>(entry.key.data()),
                  static_cast<std::int32_t>(entry.key.size()));
  batchBytes_ += entry.key.size() + entry.text.size() + entry.note.size() + sizeof(Entry);
  batch_.push_back(std::move(entry));
  ++count_;
  if (batchBytes_ >= kBatchBytes && !spillFailed_) WriteBatch();
}

void ResultRuns::Clear() {
  batch_ = {};
  batchBytes_ = 0;
  count_ = 0;
  runs_.clear();
  if (spill_ != nullptr) std::fclose(spill_);
  spill_ = nullptr;
}

// The comparison of SortDetailLines: the keys, then the bytes.
bool ResultRuns::Less(const Entry& a, const Entry& b) {
  if (const int byKey = a.key.compare(b.key); byKey != 0) return byKey < 0;
  return a.text < b.text;
}

void ResultRuns::SortBatch() { std::sort(batch_.begin(), batch_.end(), Less); }

// Without a temporary file to be had, or once writing it failed, the lines
// stay in memory.
void ResultRuns::WriteBatch() {
  if (spillFailed_) return;
  if (spill_ == nullptr) spill_ = std::tmpfile();
  if (spill_ == nullptr) {
    spillFailed_ = true;
    return;
  }
  SortBatch();
  std::fseek(spill_, 0, SEEK_END);
  Run run{std::ftell(spill_), 0};
  for (const Entry& entry : batch_) {
    const auto kind = static_cast<std::uint8_t>(entry.kind);
    std::fwrite(&kind, 1, 1, spill_);
    PutSized(spill_, entry.key);
    PutSized(spill_, entry.text);
    PutSized(spill_, entry.note);
  }
  if (std::fflush(spill_) != 0 || std::ferror(spill_)) {
    std::clearerr(spill_);
    spillFailed_ = true;
    return;
  }
  run.end = std::ftell(spill_);
  runs_.push_back(run);
  batch_ = {};
  batchBytes_ = 0;
}

void ResultRuns::ForEach(const std::function<bool(const Visited& line)>& visit) {
  if (runs_.empty()) {
    SortBatch();
    for (const Entry& entry : batch_)
      if (!visit({entry.text, entry.kind, entry.note})) return;
    return;
  }
  if (!batch_.empty()) WriteBatch();
  SortBatch();
  // The first entry of each run, smallest first; what could not be written
  // out is one more run, in memory.
  const std::size_t inMemory = runs_.size();
  std::size_t nextInMemory = 0;
  std::vector<RunReader> readers;
  std::vector<Entry> heads(runs_.size() + 1);
  readers.reserve(runs_.size());
  const auto advance = [&](std::size_t run) {
    if (run != inMemory) return readers[run].Next(heads[run]);
    if (nextInMemory == batch_.size()) return false;
    heads[run] = batch_[nextInMemory++];
    return true;
  };
  auto after = [&heads](std::size_t a, std::size_t b) { return Less(heads[b], heads[a]); };
  std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(after)> next(after);
  for (std::size_t run = 0; run < runs_.size(); ++run) readers.emplace_back(spill_, runs_[run]);
  for (std::size_t run = 0; run <= inMemory; ++run)
    if (advance(run)) next.push(run);
  while (!next.empty()) {
    const std::size_t run = next.top();
    next.pop();
    const Entry& entry = heads[run];
    if (!visit({entry.text, entry.kind, entry.note})) return;
    if (advance(run)) next.push(run);
  }
}

}  // namespace ovik
