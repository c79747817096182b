#pragma once

#include "engine/walk/WalkRules.h"
#include "platform/files/NameRules.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ovik {

// What the destination may have made of the names of one source folder's
// files: a name it has in another Unicode form, names it takes as one, a
// name it cannot hold. Told of each folder before its files are compared,
// then asked for the note of each file's line. The destination's rules are
// read only for a folder whose names could meet or whose file is missing,
// and the destination folder is listed only when one of its files is
// missing, once.
class NameNotes {
 public:
  using RulesReader = std::function<NameRules(const std::string& folder)>;
  NameNotes(FolderLister listDestination, RulesReader readRules)
      : listDestination_(std::move(listDestination)), readRules_(std::move(readRules)) {}

  // The folder whose files come next, and the source's listing of it.
  void EnterFolder(const std::string& dstFolder, const std::vector<DirEntry>& sourceEntries);
  // The name of the destination file that is `name` in another Unicode form, if there is one.
  std::optional<std::string> UnicodeTwin(const std::string& name);
  // The note for the line of the source file `name`: missing in the
  // destination, or compared with `twin`, the file it has in another form.
  std::string NoteFor(const std::string& name, bool missing, const std::optional<std::string>& twin = {});

 private:
  const NameRules& Rules();
  void FindMeetings(const std::vector<const std::string*>& names);

  FolderLister listDestination_;
  RulesReader readRules_;
  std::string dstFolder_;
  std::optional<NameRules> rules_;
  // The destination's file names by their form C, once listed.
  std::optional<std::unordered_map<std::string, std::string>> dstByNfc_;
  // For a source name, the other source names it is one with on the destination.
  std::unordered_map<std::string, std::vector<std::string>> meetings_;
};

}  // namespace ovik
