#include "output.h"

#include <algorithm>
#include <ostream>

#include "apartado/date.h"
#include "apartado/number_text.h"

namespace apartado::cli {

void PrintJson(std::ostream& out, const Json& value) {
  out << value.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
}

Json OperationJson(bool ok, const std::string& error) {
  Json result = Json::object();
  result["ok"] = ok;
  result["error"] = error;
  return result;
}

void PrintRefusal(std::ostream& err, const std::string& what, const std::string& text) {
  err << "apartado: " << what << ":\n" << text << "\n";
}

Json VariantToJson(const Variant& value) {
  switch (value.GetKind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      return nullptr;
    case Variant::Kind::Boolean:
      return value.ToBool();
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return value.ToLong();
    case Variant::Kind::Double:
      return value.ToDouble();
    case Variant::Kind::Date:
      return FormatIsoDateTime(value.ToDate());
    case Variant::Kind::Text:
      return value.ToText();
  }
  return nullptr;
}

std::string VariantToText(const Variant& value) {
  if (value.IsNull()) return "NULL";
  return value.ToText();
}

Json RowsToJson(const TableRecordset& rows) {
  Json list = Json::array();
  for (const std::vector<Variant>& row : rows.Rows()) {
    Json object = Json::object();
    for (std::size_t i = 0; i < rows.Columns().size() && i < row.size(); ++i) {
      object[rows.Columns()[i]] = VariantToJson(row[i]);
    }
    list.push_back(std::move(object));
  }
  return list;
}

namespace {
// Display width of UTF-8 text: continuation bytes take no column.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; }));
}

void Pad(std::ostream& out, const std::string& text, std::size_t width) {
  out << text;
  for (std::size_t w = Width(text); w < width; ++w) out << ' ';
}
}  // namespace

void PrintTable(std::ostream& out, const std::vector<std::string>& headers,
                const std::vector<std::vector<std::string>>& rows, const std::string& indent) {
  std::vector<std::size_t> widths(headers.size());
  for (std::size_t i = 0; i < headers.size(); ++i) widths[i] = Width(headers[i]);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    out << indent;
    for (std::size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
      if (i + 1 == cells.size()) {
        out << cells[i];
      } else {
        Pad(out, cells[i], widths[i] + 2);
      }
    }
    out << "\n";
  };
  line(headers);
  for (const auto& row : rows) line(row);
}

std::vector<std::vector<std::string>> SelectedCells(const TableRecordset& rows,
                                                    const std::vector<std::string>& columns) {
  std::vector<std::vector<std::string>> cells;
  for (const std::vector<Variant>& row : rows.Rows()) {
    std::vector<std::string> line;
    for (const std::string& column : columns) {
      const int index = rows.ColumnIndex(column);
      line.push_back(index < 0 ? "" : VariantToText(row[static_cast<std::size_t>(index)]));
    }
    cells.push_back(std::move(line));
  }
  return cells;
}

void PrintRecords(std::ostream& out, const TableRecordset& rows) {
  std::size_t width = 0;
  for (const std::string& column : rows.Columns()) width = std::max(width, Width(column));
  int number = 0;
  for (const std::vector<Variant>& row : rows.Rows()) {
    out << "-- row " << ++number << " --\n";
    for (std::size_t i = 0; i < rows.Columns().size() && i < row.size(); ++i) {
      Pad(out, rows.Columns()[i], width + 2);
      out << VariantToText(row[i]) << "\n";
    }
  }
}

}  // namespace apartado::cli
