#pragma once

#include <unicode/ucoleitr.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ovik {

// The primary weights of a text under a collator (what it compares first,
// case and accents aside), written as bytes so that comparing the bytes of
// two texts compares their weights, and so that the bytes of two pieces
// put together are those of the pieces' text put together. The details
// order keeps one code per folder and compares the names of files by it,
// never making a key per line.
//
// The weights of the printable ASCII characters take one byte each; any
// other weight takes five. A name of ASCII bytes is coded byte by byte
// through a table, so it needs no code of its own.
class PrimaryCoder {
 public:
  explicit PrimaryCoder(const UCollator* collator);
  ~PrimaryCoder();
  PrimaryCoder(const PrimaryCoder&) = delete;
  PrimaryCoder& operator=(const PrimaryCoder&) = delete;

  // False when pieces of a details line cannot be coded apart from each
  // other: the collation reorders scripts, or joins a "/", a ":" or a
  // space with what follows it, or the collator is missing.
  bool Usable() const { return usable_; }

  // True when every byte of `bytes` is coded by the table.
  bool CodedByTable(std::string_view bytes) const;
  // The table's code of an ASCII byte: kIgnored for a byte without weight.
  std::uint8_t TableCode(unsigned char byte) const { return table_[byte]; }
  static constexpr std::uint8_t kIgnored = 0xFF;

  // Appends the code of `bytes` (decoded as the details order decodes).
  void AppendCode(std::string_view bytes, std::string& out);

 private:
  void Primaries(std::string_view bytes, std::vector<std::uint32_t>& out);
  void AppendWeight(std::uint32_t weight, std::string& out) const;
  void CheckContractions(const UCollator* collator);
  void BuildTable();

  bool usable_ = false;
  UCollationElements* elements_ = nullptr;
  // The distinct weights of the ASCII characters, ascending.
  std::vector<std::uint32_t> weights_;
  // Per byte below 0x80: its one-byte code, kIgnored, or 0 for a byte the
  // table cannot code (above 0x7F, or a character of several weights).
  std::array<std::uint8_t, 256> table_{};
  bool tableUsable_ = true;
  std::u16string text_;
  std::vector<std::uint32_t> scratch_;
};

}  // namespace ovik
