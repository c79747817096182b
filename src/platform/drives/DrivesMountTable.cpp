#include "platform/drives/DrivesMountTable.h"

#include <sstream>

namespace ovik {

namespace {

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

bool HasOctalEscapeAt(const std::string& text, std::size_t i) {
  return text[i] == '\\' && i + 3 < text.size() && IsOctalDigit(text[i + 1]) && IsOctalDigit(text[i + 2]) &&
         IsOctalDigit(text[i + 3]);
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (in >> field) fields.push_back(field);
  return fields;
}

// Fields: id parent major:minor root mount-point options [optional...] - type source super-options
bool ParseMountLine(const std::string& line, MountRecord& record) {
  const std::vector<std::string> fields = SplitFields(line);
  std::size_t separator = 6;
  while (separator < fields.size() && fields[separator] != "-") ++separator;
  if (fields.size() < 6 || separator + 2 >= fields.size()) return false;
  record.deviceNumber = fields[2];
  record.root = DecodeMountEscapes(fields[3]);
  record.mountPoint = DecodeMountEscapes(fields[4]);
  record.fsType = fields[separator + 1];
  record.source = DecodeMountEscapes(fields[separator + 2]);
  return true;
}

}  // namespace

std::string DecodeMountEscapes(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (HasOctalEscapeAt(text, i)) {
      decoded += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
      i += 3;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

std::vector<MountRecord> ParseMountTable(const std::string& text) {
  std::vector<MountRecord> records;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    MountRecord record;
    if (ParseMountLine(line, record)) records.push_back(std::move(record));
  }
  return records;
}

}  // namespace ovik
