#include "cli/JsonStream.h"

#include "Version.h"
#include "engine/VerifyEngine.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace ovik {
namespace {

using nlohmann::json;

const char* KindName(ResultKind kind) {
  switch (kind) {
    case ResultKind::Ok: return "ok";
    case ResultKind::DstMissing: return "dst_missing";
    case ResultKind::DstIsSource: return "dst_is_source";
    case ResultKind::SrcReadError: return "src_read_error";
    case ResultKind::DstReadError: return "dst_read_error";
    case ResultKind::SizeMismatch: return "size_mismatch";
    case ResultKind::ContentMismatch: return "content_mismatch";
    case ResultKind::ChecksumMismatch: return "checksum_mismatch";
    case ResultKind::BadChecksumLine: return "bad_checksum_line";
    case ResultKind::HiddenFolderSkipped: return "hidden_folder_skipped";
    case ResultKind::SystemFolderSkipped: return "system_folder_skipped";
    case ResultKind::SpecialFileSkipped: return "special_file_skipped";
    case ResultKind::FolderMissing: return "folder_missing";
    case ResultKind::LinkToFolderAboveSkipped: return "link_to_folder_above_skipped";
  }
  return "";
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::VerifiedOk: return "verified_ok";
    case Verdict::Errors: return "errors";
    case Verdict::NoSourceFiles: return "no_source_files";
    case Verdict::Aborted: return "aborted";
    case Verdict::None: break;
  }
  return "none";
}

bool IsUtf8(const std::string& text) {
  try {
    (void)json(text).dump();
    return true;
  } catch (const json::type_error&) {
    return false;
  }
}

// A name as text, with U+FFFD for what is not UTF-8, and then as its bytes too.
void PutName(json& object, std::string_view name) {
  const std::string bytes(name);
  object["name"] = bytes;
  if (IsUtf8(bytes)) return;
  std::vector<int> values;
  for (const unsigned char c : bytes) values.push_back(c);
  object["name_bytes"] = values;
}

// Results are flushed with the next progress event or the summary, so
// that a run of many small files does not make a write of each.
void Write(std::FILE* out, const json& object, bool flush = true) {
  const std::string line = object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
  std::fwrite(line.data(), 1, line.size(), out);
  if (flush) std::fflush(out);
}

json Totals(const VerifyTotals& t) {
  return {{"source_files", t.SrcFileCount},          {"source_folders", t.SrcFolderCount},
          {"source_bytes", t.SrcByteTotal},          {"checked_files", t.DstFileCount},
          {"checked_folders", t.DstFolderCount},     {"checked_bytes", t.DstByteTotal},
          {"errors", t.ErrorCount},                  {"dst_missing", t.DstMissingCount},
          {"src_read_errors", t.SrcReadErrorCount},  {"dst_read_errors", t.DstReadErrorCount},
          {"mismatches", t.MismatchCount}};
}

}  // namespace

JsonStream::JsonStream(std::FILE* out, const VerifyEngine& engine, std::function<std::int64_t()> checkedBytes,
                       Clock& clock)
    : out_(out), engine_(engine), checkedBytes_(std::move(checkedBytes)), clock_(clock), rate_(clock),
      lastProgress_(clock.SteadyNow()) {}

void JsonStream::Start(const std::string& source, const std::string& destination) {
  json start = {{"type", "start"}, {"version", kJsonStreamVersion}, {"program_version", kVersionText}};
  start["source"] = source;
  start["destination"] = destination;
  Write(out_, start);
}

void JsonStream::Result(const ResultLine& line, ReportFilter filter) {
  const std::string text = ResultText(line);
  if (!LineQualifies(text, filter, false)) return;
  json result = {{"type", "result"}, {"kind", KindName(line.kind)}, {"error", IsErrorResult(line.kind)},
                 {"prefix", ResultPrefix(line.kind, line.offset)}};
  PutName(result, line.name);
  if (line.kind == ResultKind::ContentMismatch) result["offset"] = line.offset;
  if (line.srcSize >= 0) result["source_size"] = line.srcSize;
  if (line.dstSize >= 0) result["destination_size"] = line.dstSize;
  if (!line.damage.empty()) result["damage"] = std::string(line.damage);
  if (!line.note.empty()) result["note"] = std::string(line.note);
  Write(out_, result, false);
}

void JsonStream::Progress() {
  const double now = clock_.SteadyNow();
  const std::int64_t checked = checkedBytes_();
  if (engine_.runState == RunState::Verifying && !engine_.CurrentRelativeName.empty()) rate_.Record(checked);
  if (now - lastProgress_ < kOneSecond) return;
  lastProgress_ = now;
  const VerifyTotals& t = engine_.totals;
  json progress = {{"type", "progress"},         {"files_checked", t.DstFileCount},
                   {"files_total", t.SrcFileCount}, {"bytes_checked", checked},
                   {"bytes_total", t.SrcByteTotal}, {"elapsed_seconds", (now - t.StartSteady) * kSecondsPerDay}};
  const auto rate = rate_.BytesPerSecond();
  const auto left = rate_.SecondsLeft(t.SrcByteTotal - checked);
  progress["bytes_per_second"] = rate ? json(*rate) : json(nullptr);
  progress["seconds_left"] = left ? json(*left) : json(nullptr);
  Write(out_, progress);
}

void JsonStream::Summary(const std::string& status, int exitStatus) {
  Write(out_, {{"type", "summary"},
               {"version", kJsonStreamVersion},
               {"totals", Totals(engine_.totals)},
               {"elapsed_seconds", (clock_.SteadyNow() - engine_.totals.StartSteady) * kSecondsPerDay},
               {"verdict", VerdictName(engine_.verdict)},
               {"status", status},
               {"exit_status", exitStatus}});
}

void JsonStream::Failure(const std::string& message, int exitStatus) {
  Write(out_, {{"type", "summary"},
               {"version", kJsonStreamVersion},
               {"verdict", "failed"},
               {"error_message", message},
               {"exit_status", exitStatus}});
}

}  // namespace ovik
