#include "engine/VerifyEngine.h"

#include "common/PathUtils.h"
#include "engine/notes/NameNotes.h"

namespace ovik {

namespace {

std::string LastName(const std::string& path) { return path.substr(path.find_last_of(kPathSeparator) + 1); }

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of(kPathSeparator);
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

}  // namespace

NameRules VerifyEngine::DescribeDestinationNames(const std::string& folder) {
  auto rules = std::make_shared<NameRules>();
  FileSystem& fileSystem = fileSystem_;
  CallAside([&fileSystem, rules, folder] { *rules = fileSystem.DescribeNames(folder); });
  return *rules;
}

std::string VerifyEngine::NoteOnNames(const std::string& srcPath, const std::string& dstPath,
                                      std::int64_t expectedSize, CompareOutcome& outcome) {
  if (!nameNotes_) return {};
  const std::string name = LastName(srcPath);
  const bool missing = outcome.result == FileResult::DstMissing;
  std::optional<std::string> twin;
  if (missing && unicodeEqual) twin = nameNotes_->UnicodeTwin(name);
  if (twin) {
    const std::optional<ReadOutcome> read = ReadPairHere(srcPath, JoinPath(FolderOf(dstPath), *twin));
    if (!read) return {};
    if (read->failure) std::rethrow_exception(read->failure);
    outcome = Judge(*read, expectedSize);
  }
  return nameNotes_->NoteFor(name, missing, twin);
}

}  // namespace ovik
