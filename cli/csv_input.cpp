#include "csv_input.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>

#include "host.h"

namespace apartado::cli {
namespace {

bool EndsField(char ch) { return ch == ',' || ch == '\n' || ch == '\r'; }

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool IsBlank(const CsvRecord& record) {
  return std::all_of(record.cells.begin(), record.cells.end(),
                     [](const CsvCell& cell) { return !cell.quoted && Trimmed(cell.text).empty(); });
}

class CsvReader {
 public:
  CsvReader(std::string_view text, const std::string& name) : text_(text), name_(name) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
  }

  std::vector<CsvRecord> Records() {
    std::vector<CsvRecord> records;
    while (pos_ < text_.size()) {
      CsvRecord record{line_, {}};
      do {
        record.cells.push_back(Field());
      } while (Take(','));
      // The record's end: CR LF, LF, CR, or the end of the text.
      if (Take('\r'))
        Take('\n');
      else
        Take('\n');
      ++line_;
      records.push_back(std::move(record));
    }
    return records;
  }

 private:
  CsvCell Field() {
    CsvCell cell;
    if (!Take('"')) {
      while (pos_ < text_.size() && !EndsField(text_[pos_])) {
        if (text_[pos_] == '"')
          Fail(line_, "a quote inside an unquoted field (quote the whole field and write the quote twice)");
        cell.text += text_[pos_++];
      }
      return cell;
    }
    cell.quoted = true;
    const int opened = line_;
    while (true) {
      if (pos_ >= text_.size()) Fail(opened, "a quoted field is never closed");
      const char ch = text_[pos_++];
      if (ch == '"') {
        if (!Take('"')) break;  // a quote written twice is one quote
      } else if (ch == '\n') {
        ++line_;
      }
      cell.text += ch;
    }
    if (pos_ < text_.size() && !EndsField(text_[pos_])) Fail(line_, "text after the closing quote of a field");
    return cell;
  }

  bool Take(char ch) {
    if (pos_ < text_.size() && text_[pos_] == ch) {
      ++pos_;
      return true;
    }
    return false;
  }

  [[noreturn]] void Fail(int line, const std::string& what) const {
    throw InputError(name_ + ": line " + std::to_string(line) + ": " + what);
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<CsvRecord> ParseCsv(const std::string& text, const std::string& name) {
  return CsvReader(text, name).Records();
}

NamedDocument CsvDocument(const std::string& text, const std::string& name, const std::string& table) {
  std::vector<CsvRecord> records = ParseCsv(text, name);
  auto record = std::find_if(records.begin(), records.end(), [](const CsvRecord& r) { return !IsBlank(r); });
  if (record == records.end()) throw InputError(name + ": no header row naming the columns");
  const CsvRecord& header = *record;
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const CsvCell& cell : header.cells) {
    const std::string column = Trimmed(cell.text);
    const std::string where = name + ": line " + std::to_string(header.line) + ", the header";
    if (column.empty()) throw InputError(where + ": column " + std::to_string(columns.size() + 1) + " has no name");
    if (!seen.insert(Lower(column)).second) throw InputError(where + ": column " + column + " is named twice");
    columns.push_back(column);
  }

  NamedDocument document{name, Json::object(), true, {}};
  Json rows = Json::array();
  for (++record; record != records.end(); ++record) {
    if (IsBlank(*record)) continue;
    if (record->cells.size() != columns.size()) {
      throw InputError(name + ": line " + std::to_string(record->line) + ": " + std::to_string(record->cells.size()) +
                       " fields, but the header names " + std::to_string(columns.size()) + " columns");
    }
    Json row = Json::object();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const CsvCell& cell = record->cells[i];
      if (cell.quoted || !Trimmed(cell.text).empty()) row[columns[i]] = cell.text;
    }
    rows.push_back(std::move(row));
    document.rowLines.push_back(record->line);
  }
  document.document[table] = std::move(rows);
  return document;
}

}  // namespace apartado::cli
