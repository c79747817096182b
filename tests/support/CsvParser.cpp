#include "support/CsvParser.h"

namespace ovik::testing {
namespace {

class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : text_(text) {}

  std::optional<std::vector<CsvRecord>> ReadAll() {
    std::vector<CsvRecord> records;
    while (pos_ < text_.size()) {
      CsvRecord record;
      if (!ReadRecord(record)) return std::nullopt;
      records.push_back(std::move(record));
    }
    return records;
  }

 private:
  bool ReadRecord(CsvRecord& record) {
    for (;;) {
      std::string field;
      if (!ReadField(field)) return false;
      record.push_back(std::move(field));
      if (AtEnd()) return false;  // every record ends with CR LF
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (text_.substr(pos_, 2) != "\r\n") return false;
      pos_ += 2;
      return true;
    }
  }

  bool ReadField(std::string& field) {
    if (!AtEnd() && text_[pos_] == '"') return ReadQuotedField(field);
    while (!AtEnd() && text_[pos_] != ',' && text_[pos_] != '\r') {
      if (text_[pos_] == '"' || text_[pos_] == '\n') return false;
      field += text_[pos_++];
    }
    return true;
  }

  bool ReadQuotedField(std::string& field) {
    ++pos_;
    for (;;) {
      if (AtEnd()) return false;
      const char c = text_[pos_++];
      if (c != '"') {
        field += c;
      } else if (!AtEnd() && text_[pos_] == '"') {
        field += '"';
        ++pos_;
      } else {
        return AtEnd() || text_[pos_] == ',' || text_[pos_] == '\r';
      }
    }
  }

  bool AtEnd() const { return pos_ >= text_.size(); }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<std::vector<CsvRecord>> ParseCsv(std::string_view text) { return CsvReader(text).ReadAll(); }

}  // namespace ovik::testing
