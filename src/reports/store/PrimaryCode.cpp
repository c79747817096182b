#include "reports/store/PrimaryCode.h"

#include "reports/store/DetailCollator.h"

#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>

namespace ovik {
namespace {

// The halves of ICU's 64-bit collation elements as ucol_next hands them
// out: the top 16 bits of the primary in the first, the rest of it in a
// continuation that follows.
bool IsContinuation(std::uint32_t element) { return (element & 0xC0) == 0xC0; }

bool HoldsJoiningCharacter(const UChar* text, std::int32_t length) {
  return std::any_of(text, text + length, [](UChar c) { return c == u'/' || c == u':' || c == u' '; });
}

bool IsAllAscii(const UChar* text, std::int32_t length) {
  return std::all_of(text, text + length, [](UChar c) { return c < 0x80; });
}

}  // namespace

PrimaryCoder::PrimaryCoder(const UCollator* collator) {
  if (collator == nullptr) return;
  UErrorCode status = U_ZERO_ERROR;
  // The reordering of scripts applies to keys, not to the elements read here.
  if (ucol_getReorderCodes(collator, nullptr, 0, &status) > 0) return;
  status = U_ZERO_ERROR;
  elements_ = ucol_openElements(collator, u"", 0, &status);
  if (U_FAILURE(status)) return;
  usable_ = true;
  CheckContractions(collator);
  if (usable_) BuildTable();
}

PrimaryCoder::~PrimaryCoder() {
  if (elements_ != nullptr) ucol_closeElements(elements_);
}

// A contraction or a context that holds one of the characters where the
// pieces of a line meet could join them; one made of ASCII only would
// make the code of an ASCII text more than its characters' codes.
void PrimaryCoder::CheckContractions(const UCollator* collator) {
  UErrorCode status = U_ZERO_ERROR;
  USet* contractions = uset_openEmpty();
  ucol_getContractionsAndExpansions(collator, contractions, nullptr, true, &status);
  if (U_FAILURE(status)) usable_ = false;
  std::u16string item(64, u'\0');
  const std::int32_t count = uset_getItemCount(contractions);
  for (std::int32_t i = 0; usable_ && i < count; ++i) {
    UChar32 start = 0;
    UChar32 end = 0;
    status = U_ZERO_ERROR;
    std::int32_t length = uset_getItem(contractions, i, &start, &end, item.data(),
                                       static_cast<std::int32_t>(item.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      item.resize(static_cast<std::size_t>(length));
      status = U_ZERO_ERROR;
      length = uset_getItem(contractions, i, &start, &end, item.data(), length, &status);
    }
    if (U_FAILURE(status)) usable_ = false;
    if (length == 0) continue;  // a range of code points, no string
    if (HoldsJoiningCharacter(item.data(), length)) usable_ = false;
    if (IsAllAscii(item.data(), length)) tableUsable_ = false;
  }
  uset_close(contractions);
}

void PrimaryCoder::BuildTable() {
  std::array<std::vector<std::uint32_t>, 128> perByte;
  for (int byte = 1; byte < 0x80; ++byte) {
    const char c = static_cast<char>(byte);
    Primaries(std::string_view(&c, 1), perByte[static_cast<std::size_t>(byte)]);
    for (std::uint32_t weight : perByte[static_cast<std::size_t>(byte)]) weights_.push_back(weight);
  }
  std::sort(weights_.begin(), weights_.end());
  weights_.erase(std::unique(weights_.begin(), weights_.end()), weights_.end());
  // Codes 2, 4, ... for the table's weights; the odd bytes between them
  // lead the five-byte codes of the weights in between.
  if (weights_.size() > 126) {
    weights_.clear();
    tableUsable_ = false;
  }
  if (!tableUsable_) return;
  table_[0] = 0;  // a NUL is decoded as any other byte, but never in a name
  for (std::size_t byte = 1; byte < 0x80; ++byte) {
    const std::vector<std::uint32_t>& own = perByte[byte];
    if (own.empty()) table_[byte] = kIgnored;
    else if (own.size() == 1)
      table_[byte] = static_cast<std::uint8_t>(
          2 + 2 * (std::lower_bound(weights_.begin(), weights_.end(), own.front()) - weights_.begin()));
  }
}

bool PrimaryCoder::CodedByTable(std::string_view bytes) const {
  return tableUsable_ &&
         std::all_of(bytes.begin(), bytes.end(), [this](char c) { return table_[static_cast<unsigned char>(c)] != 0; });
}

void PrimaryCoder::Primaries(std::string_view bytes, std::vector<std::uint32_t>& out) {
  out.clear();
  DecodeLine(bytes, text_);
  UErrorCode status = U_ZERO_ERROR;
  ucol_setText(elements_, reinterpret_cast<const UChar*>(text_.data()), static_cast<std::int32_t>(text_.size()),
               &status);
  std::uint32_t pending = 0;
  for (;;) {
    const std::int32_t element = ucol_next(elements_, &status);
    if (element == UCOL_NULLORDER || U_FAILURE(status)) break;
    const auto half = static_cast<std::uint32_t>(element);
    if (IsContinuation(half)) {
      pending |= half >> 16;
      continue;
    }
    if (pending != 0) out.push_back(pending);
    pending = half & 0xFFFF0000u;
  }
  if (pending != 0) out.push_back(pending);
}

void PrimaryCoder::AppendWeight(std::uint32_t weight, std::string& out) const {
  const auto at = std::lower_bound(weights_.begin(), weights_.end(), weight);
  const auto index = static_cast<std::size_t>(at - weights_.begin());
  if (at != weights_.end() && *at == weight) {
    out.push_back(static_cast<char>(2 + 2 * index));
    return;
  }
  out.push_back(static_cast<char>(1 + 2 * index));
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((weight >> shift) & 0xFF));
}

void PrimaryCoder::AppendCode(std::string_view bytes, std::string& out) {
  if (CodedByTable(bytes)) {
    for (char c : bytes)
      if (const std::uint8_t code = table_[static_cast<unsigned char>(c)]; code != kIgnored)
        out.push_back(static_cast<char>(code));
    return;
  }
  Primaries(bytes, scratch_);
  for (std::uint32_t weight : scratch_) AppendWeight(weight, out);
}

}  // namespace ovik
