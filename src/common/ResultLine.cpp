#include "common/ResultLine.h"

#include "common/NumberFormat.h"
#include "common/SkippedFolders.h"

namespace ovik {

bool IsErrorResult(ResultKind kind) {
  switch (kind) {
    case ResultKind::Ok:
    case ResultKind::HiddenFolderSkipped:
    case ResultKind::SystemFolderSkipped:
    case ResultKind::SpecialFileSkipped:
    case ResultKind::FolderMissing:
    case ResultKind::LinkToFolderAboveSkipped:
      return false;
    default:
      return true;
  }
}

std::string ResultPrefix(ResultKind kind, std::int64_t offset) {
  switch (kind) {
    case ResultKind::Ok: return kPrefixOk;
    case ResultKind::DstMissing: return kPrefixDstMissing;
    case ResultKind::DstIsSource: return kPrefixDstIsSource;
    case ResultKind::SrcReadError: return kPrefixSrcReadError;
    case ResultKind::DstReadError: return kPrefixDstReadError;
    case ResultKind::SizeMismatch: return kPrefixSizeMismatch;
    case ResultKind::ContentMismatch: return kPrefixContentMismatch + FormatThousands(offset);
    case ResultKind::ChecksumMismatch: return kPrefixChecksumMismatch;
    case ResultKind::BadChecksumLine: return kPrefixBadChecksumLine;
    case ResultKind::HiddenFolderSkipped: return std::string(kPrefixHiddenFolderSkipped);
    case ResultKind::SystemFolderSkipped: return std::string(kPrefixSystemFolderSkipped);
    case ResultKind::SpecialFileSkipped: return std::string(kPrefixSpecialFileSkipped);
    case ResultKind::FolderMissing: return std::string(kPrefixFolderMissing);
    case ResultKind::LinkToFolderAboveSkipped: return std::string(kPrefixLinkToFolderAboveSkipped);
  }
  return {};
}

std::string ResultText(const ResultLine& line) {
  std::string text = ResultPrefix(line.kind, line.offset);
  text.reserve(text.size() + 2 + line.name.size());
  text.append(": ").append(line.name);
  return text;
}

}  // namespace ovik
