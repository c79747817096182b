#include "reports/store/StoreOrder.h"

#include "reports/store/DetailCollator.h"
#include "reports/DetailOrder.h"
#include "reports/store/PrimaryCode.h"

#include <algorithm>
#include <numeric>

namespace ovik {
namespace {

using Line = ResultStore::Line;

// Every line of a group shares its prefix text, and no group's text is a
// beginning of another's in weights ("...offset 1: " and "...offset 12: "
// part at the ":"), so the groups go in the order of their texts and the
// lines of a group in the order of their relative names.
struct Groups {
  std::vector<std::uint32_t> rankOfKind;
  std::vector<std::pair<std::int64_t, std::uint32_t>> rankOfOffset;  // by offset
  std::size_t count = 0;

  std::uint32_t RankOf(const ResultStore& store, Line line) const {
    const ResultKind kind = store.Kind(line);
    if (kind != ResultKind::ContentMismatch) return rankOfKind[static_cast<std::size_t>(kind)];
    const auto at = std::lower_bound(rankOfOffset.begin(), rankOfOffset.end(),
                                     std::make_pair(store.Offset(line), std::uint32_t{0}));
    return at->second;
  }
};

Groups GroupsOf(const ResultStore& store) {
  std::vector<bool> kindSeen(static_cast<std::size_t>(ResultKind::FolderMissing) + 1);
  std::vector<std::int64_t> offsets;
  for (Line line = 0; line < store.Count(); ++line) {
    const ResultKind kind = store.Kind(line);
    if (kind == ResultKind::ContentMismatch) offsets.push_back(store.Offset(line));
    else kindSeen[static_cast<std::size_t>(kind)] = true;
  }
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());

  std::vector<std::string> texts;
  std::vector<ResultKind> kinds;
  for (std::size_t k = 0; k < kindSeen.size(); ++k) {
    if (!kindSeen[k]) continue;
    kinds.push_back(static_cast<ResultKind>(k));
    texts.push_back(ResultPrefix(kinds.back()) + ": ");
  }
  for (std::int64_t offset : offsets) texts.push_back(ResultPrefix(ResultKind::ContentMismatch, offset) + ": ");

  Groups groups;
  groups.rankOfKind.assign(kindSeen.size(), 0);
  groups.count = texts.size();
  const std::vector<std::size_t> order = SortedDetailOrder(texts);
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    const std::size_t group = order[rank];
    if (group < kinds.size()) groups.rankOfKind[static_cast<std::size_t>(kinds[group])] = static_cast<std::uint32_t>(rank);
    else groups.rankOfOffset.emplace_back(offsets[group - kinds.size()], static_cast<std::uint32_t>(rank));
  }
  std::sort(groups.rankOfOffset.begin(), groups.rankOfOffset.end());
  return groups;
}

// The lines by group, each group in the order the lines came.
std::vector<Line> ByGroup(const ResultStore& store, const Groups& groups, std::vector<std::size_t>& starts) {
  std::vector<Line> rank(store.Count());
  starts.assign(groups.count + 1, 0);
  for (Line line = 0; line < store.Count(); ++line) {
    rank[line] = groups.RankOf(store, line);
    ++starts[rank[line] + 1];
  }
  std::partial_sum(starts.begin(), starts.end(), starts.begin());
  std::vector<std::size_t> next(starts.begin(), starts.end() - 1);
  std::vector<Line> order(store.Count());
  for (Line line = 0; line < store.Count(); ++line) order[next[rank[line]]++] = line;
  return order;
}

// A piece of a code: stored code bytes, or the bytes of a name that the
// coder's table codes one by one.
struct Piece {
  std::string_view bytes;
  bool byTable = false;
};

// Reads the code of a folder and a name as one.
class CodeReader {
 public:
  CodeReader(const PrimaryCoder& coder, Piece first, Piece second) : coder_(coder), pieces_{first, second} {}

  // The next byte of the code, or -1 at its end.
  int Next() {
    for (; piece_ < 2; ++piece_, at_ = 0) {
      const Piece& piece = pieces_[piece_];
      while (at_ < piece.bytes.size()) {
        const auto byte = static_cast<unsigned char>(piece.bytes[at_++]);
        if (!piece.byTable) return byte;
        if (const std::uint8_t code = coder_.TableCode(byte); code != PrimaryCoder::kIgnored) return code;
      }
    }
    return -1;
  }

 private:
  const PrimaryCoder& coder_;
  Piece pieces_[2];
  int piece_ = 0;
  std::size_t at_ = 0;
};

int CompareCodes(CodeReader a, CodeReader b) {
  for (;;) {
    const int x = a.Next();
    const int y = b.Next();
    if (x != y) return x < y ? -1 : 1;
    if (x < 0) return 0;
  }
}

class PathOrder {
 public:
  PathOrder(const ResultStore& store, const UCollator* collator, PrimaryCoder& coder)
      : store_(store), collator_(collator), coder_(coder) {
    CodeFolders();
    CodeNames();
  }

  bool Less(Line a, Line b) {
    const std::uint32_t fa = store_.FolderOf(a);
    const std::uint32_t fb = store_.FolderOf(b);
    int order = 0;
    if (fa == fb) {
      order = CompareNames(a, b);
    } else if (!Related(fa, fb)) {
      return rank_[fa] < rank_[fb];
    } else {
      order = CompareCodes(CodeReader(coder_, {FolderCode(fa)}, NamePiece(a)),
                           CodeReader(coder_, {FolderCode(fb)}, NamePiece(b)));
    }
    return order != 0 ? order < 0 : ExactLess(a, b);
  }

 private:
  std::string_view FolderCode(std::uint32_t folder) const {
    return std::string_view(folderCodes_).substr(folderStarts_[folder], folderStarts_[folder + 1] - folderStarts_[folder]);
  }

  Piece NamePiece(Line line) const {
    if (nameSlots_.empty() || nameSlots_[line] == kByTable) return {store_.Name(line), true};
    const std::uint32_t slot = nameSlots_[line];
    return {std::string_view(nameCodes_).substr(nameStarts_[slot], nameStarts_[slot + 1] - nameStarts_[slot]), false};
  }

  int CompareNames(Line a, Line b) const {
    Piece pa = NamePiece(a);
    Piece pb = NamePiece(b);
    if (pa.byTable && pb.byTable) {
      // Equal bytes have equal codes: start where the bytes part.
      const std::size_t common = static_cast<std::size_t>(
          std::mismatch(pa.bytes.begin(), pa.bytes.end(), pb.bytes.begin(), pb.bytes.end()).first - pa.bytes.begin());
      pa.bytes.remove_prefix(common);
      pb.bytes.remove_prefix(common);
    }
    return CompareCodes(CodeReader(coder_, {}, pa), CodeReader(coder_, {}, pb));
  }

  // True when one folder's code begins the other's, so that their lines
  // interleave by what follows.
  bool Related(std::uint32_t a, std::uint32_t b) const {
    return (rank_[a] < rank_[b] && rank_[b] <= last_[a]) || (rank_[b] < rank_[a] && rank_[a] <= last_[b]);
  }

  // Lines whose weights are all equal: the whole comparison, as for texts.
  bool ExactLess(Line a, Line b) {
    store_.Text(a, textA_);
    store_.Text(b, textB_);
    DecodeLine(textA_, wideA_);
    DecodeLine(textB_, wideB_);
    const UCollationResult result =
        ucol_strcoll(collator_, reinterpret_cast<const UChar*>(wideA_.data()), static_cast<std::int32_t>(wideA_.size()),
                     reinterpret_cast<const UChar*>(wideB_.data()), static_cast<std::int32_t>(wideB_.size()));
    if (result != UCOL_EQUAL) return result == UCOL_LESS;
    return textA_ < textB_;
  }

  void CodeFolders() {
    const std::size_t count = store_.FolderCount();
    folderStarts_.reserve(count + 1);
    folderStarts_.push_back(0);
    for (std::uint32_t folder = 0; folder < count; ++folder) {
      coder_.AppendCode(store_.Folder(folder), folderCodes_);
      folderStarts_.push_back(folderCodes_.size());
    }
    std::vector<std::uint32_t> byCode(count);
    std::iota(byCode.begin(), byCode.end(), 0u);
    std::sort(byCode.begin(), byCode.end(), [this](std::uint32_t a, std::uint32_t b) {
      return CompareBytes(FolderCode(a), FolderCode(b)) < 0;
    });
    rank_.resize(count);
    last_.resize(count);
    // A folder's code begins the codes that follow it in code order up to
    // its last such one.
    std::vector<std::uint32_t> open;
    for (std::uint32_t at = 0; at < count; ++at) {
      const std::uint32_t folder = byCode[at];
      rank_[folder] = at;
      while (!open.empty() && !FolderCode(folder).starts_with(FolderCode(byCode[open.back()]))) {
        last_[byCode[open.back()]] = at - 1;
        open.pop_back();
      }
      open.push_back(at);
    }
    for (std::uint32_t at : open) last_[byCode[at]] = static_cast<std::uint32_t>(count - 1);
  }

  static int CompareBytes(std::string_view a, std::string_view b) {
    // Unsigned, as std::string_view compares.
    return a.compare(b);
  }

  void CodeNames() {
    for (Line line = 0; line < store_.Count(); ++line) {
      const std::string_view name = store_.Name(line);
      if (coder_.CodedByTable(name)) continue;
      if (nameSlots_.empty()) {
        nameSlots_.assign(store_.Count(), kByTable);
        nameStarts_.push_back(0);
      }
      nameSlots_[line] = static_cast<std::uint32_t>(nameStarts_.size() - 1);
      coder_.AppendCode(name, nameCodes_);
      nameStarts_.push_back(nameCodes_.size());
    }
  }

  static constexpr std::uint32_t kByTable = 0xFFFFFFFF;

  const ResultStore& store_;
  const UCollator* collator_;
  PrimaryCoder& coder_;
  std::string folderCodes_;
  std::vector<std::size_t> folderStarts_;
  std::vector<std::uint32_t> rank_;
  std::vector<std::uint32_t> last_;
  // Only when some name is not coded by the table: per line its slot.
  std::vector<std::uint32_t> nameSlots_;
  std::string nameCodes_;
  std::vector<std::size_t> nameStarts_;
  std::string textA_, textB_;
  std::u16string wideA_, wideB_;
};

// Without a usable coder: the texts, sorted whole.
std::vector<Line> SortedByTexts(const ResultStore& store) {
  std::vector<std::string> texts(store.Count());
  for (Line line = 0; line < store.Count(); ++line) store.Text(line, texts[line]);
  const std::vector<std::size_t> order = SortedDetailOrder(texts);
  return std::vector<Line>(order.begin(), order.end());
}

}  // namespace

std::vector<Line> SortedStoreOrder(const ResultStore& store) {
  if (store.Count() == 0) return {};
  const Collator collator = OpenCaseInsensitiveCollator();
  PrimaryCoder coder(collator.get());
  if (!coder.Usable()) return SortedByTexts(store);

  std::vector<std::size_t> starts;
  std::vector<Line> order = ByGroup(store, GroupsOf(store), starts);
  PathOrder paths(store, collator.get(), coder);
  auto less = [&paths](Line a, Line b) { return paths.Less(a, b); };
  for (std::size_t group = 0; group + 1 < starts.size(); ++group)
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(starts[group]),
              order.begin() + static_cast<std::ptrdiff_t>(starts[group + 1]), less);
  return order;
}

}  // namespace ovik
