// apartado schema: the tables and columns load takes, from the description
// the schema's DDL is rendered from, so that a catalogue can be written
// without opening the database.
#include <algorithm>
#include <cctype>
#include <ostream>
#include <sstream>

#include "apartado/schema.h"
#include "commands.h"
#include "output.h"

namespace apartado::cli {
namespace {

// Lines are wrapped to this width.
constexpr std::size_t kWidth = 118;

const char* const kIntroduction =
    R"(The tables of the suite schema, as `apartado init` creates them and `apartado load` fills them (JSON, or
CSV with one file per table), and what the reference suite requires of each column.

Types: text; number; quantity (a number kept exact to 6 decimals); whole (a whole number: true and false
load as 1 and 0); date (ISO 8601 text: "2026-03-10" or "2026-03-10T15:30:00"). A required column must be
given; any other may be left out (an empty CSV cell leaves it out) and takes its default, or null.
A catalogue row whose Es_Cve_Estado is 'BA' is withdrawn, and a row whose description is empty counts as
missing: the reference suite refuses a layaway that names either.

To capture a layaway line, the catalogue needs at least: the warehouse of the branch (Almacen), the currency
(Moneda), the seller (Vendedor), the customer (Cliente), the sale condition (Condicion_Venta), the product
(Producto), its unit (Unidad), the size and colour "00" (Talla, Color) or the line's own, and, for the line
to reserve its stock, the stock row (Existencia, or Existencia_Kit for a kit) with enough available.
)";

std::string TypeName(suite::ColumnType type) {
  switch (type) {
    case suite::ColumnType::Text:
      return "text";
    case suite::ColumnType::Number:
      return "number";
    case suite::ColumnType::Quantity:
      return "quantity";
    case suite::ColumnType::Whole:
      return "whole";
    case suite::ColumnType::Date:
      return "date";
  }
  return "text";
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// The words of text in lines of at most width characters.
std::vector<std::string> Wrapped(const std::string& text, std::size_t width) {
  std::vector<std::string> lines;
  std::istringstream words(text);
  std::string line;
  for (std::string word; words >> word;) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

void PrintSchemaTable(std::ostream& out, const suite::SchemaTable& table) {
  out << table.name << "\n";
  for (const std::string& line : Wrapped(table.purpose + ".", kWidth - 2)) out << "  " << line << "\n";
  const std::vector<std::string> headers = {"column", "type", "key", "required", "default"};
  std::vector<std::vector<std::string>> rows;
  for (const suite::SchemaColumn& c : table.columns) {
    rows.push_back({c.name, TypeName(c.type), c.key ? "yes" : "", c.required ? "yes" : "no", c.defaultValue});
  }
  std::vector<std::size_t> widths;
  for (std::size_t i = 0; i < headers.size(); ++i) {
    std::size_t width = headers[i].size();
    for (const auto& row : rows) width = std::max(width, row[i].size());
    widths.push_back(width + 2);
  }
  std::size_t ruleColumn = 2;
  for (std::size_t width : widths) ruleColumn += width;
  auto line = [&](const std::vector<std::string>& cells, const std::string& rule) {
    std::string text = "  ";
    for (std::size_t i = 0; i < cells.size(); ++i) text += cells[i] + std::string(widths[i] - cells[i].size(), ' ');
    const std::vector<std::string> ruleLines = Wrapped(rule, std::max<std::size_t>(40, kWidth - ruleColumn));
    if (ruleLines.empty()) {
      text.erase(text.find_last_not_of(' ') + 1);
      out << text << "\n";
      return;
    }
    out << text << ruleLines[0] << "\n";
    for (std::size_t i = 1; i < ruleLines.size(); ++i) out << std::string(ruleColumn, ' ') << ruleLines[i] << "\n";
  };
  line(headers, "what the reference suite requires or does");
  for (std::size_t i = 0; i < rows.size(); ++i) line(rows[i], table.columns[i].rule);
}

Json TableJson(const suite::SchemaTable& table) {
  Json columns = Json::array();
  for (const suite::SchemaColumn& c : table.columns) {
    columns.push_back({{"name", c.name},
                       {"type", TypeName(c.type)},
                       {"key", c.key},
                       {"required", c.required},
                       {"default", c.defaultValue},
                       {"rule", c.rule}});
  }
  return {{"name", table.name}, {"purpose", table.purpose}, {"columns", std::move(columns)}};
}

}  // namespace

int SchemaCommand(Host& host, const std::string& tableName) {
  std::vector<suite::SchemaTable> tables = suite::DescribeSchema();
  if (!tableName.empty()) {
    auto table = std::find_if(tables.begin(), tables.end(),
                              [&](const suite::SchemaTable& t) { return Lower(t.name) == Lower(tableName); });
    if (table == tables.end()) {
      std::string names;
      for (const suite::SchemaTable& t : tables) names += (names.empty() ? "" : ", ") + t.name;
      throw InputError("no such table in the suite schema: " + tableName + " (the tables: " + names + ")");
    }
    tables = {*table};
  }
  if (host.options.json) {
    Json list = Json::array();
    for (const suite::SchemaTable& table : tables) list.push_back(TableJson(table));
    PrintJson(host.out, Json{{"tables", std::move(list)}});
    return kExitOk;
  }
  if (tableName.empty()) host.out << kIntroduction;
  for (const suite::SchemaTable& table : tables) {
    host.out << (tableName.empty() ? "\n" : "");
    PrintSchemaTable(host.out, table);
  }
  return kExitOk;
}

}  // namespace apartado::cli
