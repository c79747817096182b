#include "sums/ChecksumLine.h"

#include <algorithm>

namespace ovik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

// Undoes the escaping of coreutils: "\\", "\n" and "\r"; anything else
// after a backslash makes the name unreadable.
bool Unescape(std::string_view escaped, std::string& name) {
  name.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '\\') {
      name += escaped[i];
      continue;
    }
    if (++i == escaped.size()) return false;
    switch (escaped[i]) {
      case '\\': name += '\\'; break;
      case 'n': name += '\n'; break;
      case 'r': name += '\r'; break;
      default: return false;
    }
  }
  return true;
}

bool TakeName(std::string_view text, bool escaped, std::string& name) {
  if (escaped) return Unescape(text, name) && IsSafeListedName(name);
  name.assign(text);
  return IsSafeListedName(name);
}

bool TakeDigest(std::string_view hex, DigestKind kind, std::string& digest) {
  return hex.size() == 2 * DigestBytes(kind) && FromHex(hex, digest);
}

// The tag at the start of `text` and the text after it: letters, digits
// and a "-length" suffix, up to a space or "(".
std::string_view TagAtStart(std::string_view text) {
  const std::size_t end = text.find_first_of(" (");
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end);
}

}  // namespace

LineVerdict ChecksumLineParser::Parse(std::string_view line, ChecksumLine& out) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty() || line.front() == '#') return LineVerdict::Skipped;

  std::string_view rest = SkipBlanks(line);
  const bool escaped = !rest.empty() && rest.front() == '\\';
  if (escaped) rest.remove_prefix(1);
  // A hash begins with a hex digit, a tag with a letter that is none, but
  // for BLAKE2b's "B".
  const bool tagged = rest.starts_with("BLAKE2") || (!rest.empty() && !IsHexDigit(rest.front()));
  const bool understood = tagged ? ParseTagged(rest, escaped, out) : ParseUntagged(rest, escaped, out);
  return understood ? LineVerdict::Entry : LineVerdict::Bad;
}

// «TAG (name) = HASH»: the name ends at the last ")" of the line.
bool ChecksumLineParser::ParseTagged(std::string_view rest, bool escaped, ChecksumLine& out) const {
  const std::string_view tag = TagAtStart(rest);
  const auto kind = KindOfTag(tag);
  if (!kind) return false;
  rest.remove_prefix(tag.size());
  if (rest.starts_with(' ')) rest.remove_prefix(1);
  if (!rest.starts_with('(')) return false;
  rest.remove_prefix(1);
  const std::size_t close = rest.rfind(')');
  if (close == std::string_view::npos) return false;
  std::string_view after = SkipBlanks(rest.substr(close + 1));
  if (!after.starts_with('=')) return false;
  after = SkipBlanks(after.substr(1));
  out.kind = *kind;
  return TakeDigest(after, *kind, out.digest) && TakeName(rest.substr(0, close), escaped, out.name);
}

// «HASH␠␠name» or «HASH␠*name»; «HASH␠name» when the list uses that form
// from its first such line on.
bool ChecksumLineParser::ParseUntagged(std::string_view rest, bool escaped, ChecksumLine& out) {
  const std::size_t digits =
      static_cast<std::size_t>(std::find_if_not(rest.begin(), rest.end(), IsHexDigit) - rest.begin());
  if (digits == rest.size() || !IsBlank(rest[digits])) return false;
  const auto kind = !untagged_ ? KindOfLength(digits, naming_)
                   : digits == 2 * DigestBytes(*untagged_) ? untagged_
                                                           : std::nullopt;
  if (!kind) return false;
  const std::string_view hex = rest.substr(0, digits);
  std::string_view name = rest.substr(digits + 1);
  const bool marked = name.size() > 1 && (name.front() == ' ' || name.front() == '*');
  if (!marked) {
    if (form_ == UntaggedForm::TwoFields) return false;
    form_ = UntaggedForm::SingleSpace;
  } else if (form_ != UntaggedForm::SingleSpace) {
    form_ = UntaggedForm::TwoFields;
    name.remove_prefix(1);
  }
  out.kind = *kind;
  return TakeDigest(hex, *kind, out.digest) && TakeName(name, escaped, out.name);
}

bool IsSafeListedName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string FormatChecksumLine(std::string_view hexDigest, std::string_view name) {
  const bool escape = name.find_first_of("\\\n\r") != std::string_view::npos;
  std::string line;
  line.reserve(hexDigest.size() + name.size() + 4);
  if (escape) line += '\\';
  line.append(hexDigest).append("  ");
  for (const char c : name) {
    if (!escape) line += c;
    else if (c == '\\') line += "\\\\";
    else if (c == '\n') line += "\\n";
    else if (c == '\r') line += "\\r";
    else line += c;
  }
  return line;
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * bytes.size());
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    hex += kDigits[value >> 4];
    hex += kDigits[value & 0x0F];
  }
  return hex;
}

bool FromHex(std::string_view hex, std::string& bytes) {
  if (hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), IsHexDigit)) return false;
  bytes.resize(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>(HexValue(hex[2 * i]) << 4 | HexValue(hex[2 * i + 1]));
  return true;
}

}  // namespace ovik
