#include "engine/notes/NameNotes.h"

#include "engine/notes/UnicodeNames.h"

#include <algorithm>

namespace ovik {

namespace {

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Two names that are one on some destination are one under this key: case
// folded, then in form C.
std::string LooseKey(const std::string& name) {
  std::string folded = FoldedCase(name);
  return NfcForm(folded).value_or(std::move(folded));
}

std::string KeyOn(const NameRules& rules, const std::string& name) {
  return rules.ignoresUnicodeForm ? NfdForm(FoldedCase(name)) : FoldedCase(name);
}

// Whether any file system refuses the name: only then are the destination's rules read for it.
bool SomeFileSystemRefuses(const std::string& name) {
  NameRules strictest;
  strictest.refusesWindowsCharacters = strictest.refusesTrailingDotOrSpace = strictest.refusesReservedNames = true;
  return !WhyNameNotHeld(strictest, name).empty();
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

}  // namespace

void NameNotes::EnterFolder(const std::string& dstFolder, const std::vector<DirEntry>& sourceEntries) {
  dstFolder_ = dstFolder;
  rules_.reset();
  dstByNfc_.reset();
  meetings_.clear();

  // Sorted by key, the names that share one lie side by side.
  std::vector<std::pair<std::string, const std::string*>> keyed;
  keyed.reserve(sourceEntries.size());
  for (const DirEntry& entry : sourceEntries)
    if (IsFile(entry)) keyed.emplace_back(LooseKey(entry.name), &entry.name);
  std::sort(keyed.begin(), keyed.end());
  for (auto first = keyed.begin(); first != keyed.end();) {
    const auto last = std::find_if(first, keyed.end(), [&](const auto& other) { return other.first != first->first; });
    if (last - first > 1) {
      std::vector<const std::string*> names;
      for (auto it = first; it != last; ++it) names.push_back(it->second);
      FindMeetings(names);
    }
    first = last;
  }
}

void NameNotes::FindMeetings(const std::vector<const std::string*>& names) {
  const NameRules& rules = Rules();
  if (!rules.ignoresCase) return;
  std::unordered_map<std::string, std::vector<std::string>> byKey;
  for (const std::string* name : names) byKey[KeyOn(rules, *name)].push_back(*name);
  for (const auto& [key, group] : byKey) {
    if (group.size() < 2) continue;
    for (const std::string& name : group)
      for (const std::string& other : group)
        if (other != name) meetings_[name].push_back(other);
  }
}

const NameRules& NameNotes::Rules() {
  if (!rules_) rules_ = readRules_(dstFolder_);
  return *rules_;
}

std::optional<std::string> NameNotes::UnicodeTwin(const std::string& name) {
  const std::optional<std::string> nfc = NfcForm(name);
  if (!nfc) return std::nullopt;
  if (!dstByNfc_) {
    dstByNfc_.emplace();
    const ListingRef listing = listDestination_(dstFolder_);
    for (const DirEntry& entry : listing->entries)
      if (IsFile(entry))
        if (std::optional<std::string> form = NfcForm(entry.name)) dstByNfc_->emplace(std::move(*form), entry.name);
  }
  const auto found = dstByNfc_->find(*nfc);
  if (found == dstByNfc_->end() || found->second == name) return std::nullopt;
  return found->second;
}

std::string NameNotes::NoteFor(const std::string& name, bool missing, const std::optional<std::string>& twin) {
  std::vector<std::string> notes;
  if (const auto met = meetings_.find(name); met != meetings_.end()) {
    std::vector<std::string> others;
    for (const std::string& other : met->second) others.push_back(Quoted(other));
    const std::string& fileSystem = Rules().fileSystem;
    notes.push_back("on the destination, which ignores case" + (fileSystem.empty() ? "" : " (" + fileSystem + ")") +
                    ", this name and " + Joined(others, ", ") + " are one name");
  }
  const auto formOf = [](const std::string& other) {
    const std::string_view form = UnicodeFormOf(other);
    return form.empty() ? std::string("another Unicode form") : "Unicode form " + std::string(form);
  };
  if (twin) {
    notes.push_back("compared with the destination's " + Quoted(*twin) + ", the same name in " + formOf(*twin));
  } else if (missing) {
    if (const std::optional<std::string> other = UnicodeTwin(name))
      notes.push_back("the destination has this name as " + Quoted(*other) + ", in " + formOf(*other));
    else if (SomeFileSystemRefuses(name))
      if (std::string why = WhyNameNotHeld(Rules(), name); !why.empty()) notes.push_back(std::move(why));
  }
  return Joined(notes, "; ");
}

}  // namespace ovik
