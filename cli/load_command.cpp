#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <ostream>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "apartado/suite.h"
#include "commands.h"
#include "csv_input.h"
#include "database_checks.h"
#include "input_checks.h"
#include "json_input.h"
#include "load.h"
#include "database_reads.h"

namespace apartado::cli {

using host_json::ParseDocument;
using host_json::ReadInput;

namespace {

struct PendingRow {
  std::string where;  // "FILE: table T, row N"
  std::string table;
  std::string sql;  // the INSERT
  std::vector<Variant> params;
  // The row's primary key, when it gives every key column.
  std::vector<std::string> keyColumns;
  std::vector<Variant> keyValues;
  // Replace mode: the UPDATE of the columns given beyond the key, by the key
  // (empty when the row gives only its key), and its parameters.
  std::string updateSql;
  std::vector<Variant> updateParams;
};

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// ", column A" or ", columns A, B": the key columns a duplicate names.
std::string KeyColumnsText(const PendingRow& row) {
  return (row.keyColumns.size() == 1 ? ", column " : ", columns ") + Joined(row.keyColumns);
}

std::string KeyText(const PendingRow& row) {
  std::string text;
  for (std::size_t i = 0; i < row.keyColumns.size(); ++i) {
    text += (i ? ", " : "") + row.keyColumns[i] + " = " + row.keyValues[i].ToText();
  }
  return text;
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

bool IsIdentifier(const std::string& name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  for (char ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_') return false;
  }
  return true;
}

std::string Described(const Json& value) {
  if (value.is_string()) return "text " + value.dump();
  if (value.is_boolean()) return std::string("the Boolean ") + (value.get<bool>() ? "true" : "false");
  if (value.is_number()) return "the number " + value.dump();
  if (value.is_array()) return "an array";
  return "an object";
}

Variant WholeNumber(double value) {
  if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
    return Variant::FromLong(static_cast<std::int32_t>(value));
  }
  return Variant::FromDouble(value);
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A text cell (CSV) as the JSON value it stands for in a column of the kind:
// numbers for numeric columns (true/false as 1/0 in whole-number ones), the
// text as it is otherwise. Text that is not a number stays text, and is then
// refused with its value.
Json CellValue(const std::string& text, ColumnKind kind) {
  if (kind != ColumnKind::Integer && kind != ColumnKind::Number) return text;
  const std::string cell = Trimmed(text);
  if (kind == ColumnKind::Integer && (Lower(cell) == "true" || Lower(cell) == "false")) return Lower(cell) == "true";
  double number = 0;
  const char* end = cell.data() + cell.size();
  auto [stop, error] = std::from_chars(cell.data(), end, number);
  if (cell.empty() || error != std::errc() || stop != end) return text;
  if (kind == ColumnKind::Integer && std::trunc(number) == number) return static_cast<std::int64_t>(number);
  return number;
}

// The value to bind for a JSON value in a column of the given kind.
Variant ColumnValue(const Json& value, ColumnKind kind, const std::string& where) {
  if (value.is_null()) return Variant::MakeNull();
  auto refuse = [&](const char* expected) -> Variant {
    throw InputError(where + ": expected " + expected + ", not " + Described(value));
  };
  switch (kind) {
    case ColumnKind::Text:
      if (!value.is_string()) return refuse("text");
      return Variant::FromText(value.get<std::string>());
    case ColumnKind::Integer:
      if (value.is_boolean()) return Variant::FromLong(value.get<bool>() ? 1 : 0);
      if (!value.is_number() || std::trunc(value.get<double>()) != value.get<double>()) {
        return refuse("a whole number");
      }
      return WholeNumber(value.get<double>());
    case ColumnKind::Number:
      if (!value.is_number()) return refuse("a number");
      return Variant::FromDouble(value.get<double>());
    case ColumnKind::DateTime:
      if (!value.is_string()) return refuse("a date such as \"2026-03-10T15:30:00\"");
      try {
        // The space form: SQLite drops the time of day of the 'T' form.
        return Variant::FromText(FormatDateTime(ParseDateTime(value.get<std::string>())));
      } catch (const Failure&) {
        return refuse("a date such as \"2026-03-10T15:30:00\"");
      }
    case ColumnKind::Any:
      break;
  }
  if (value.is_string()) return Variant::FromText(value.get<std::string>());
  if (value.is_boolean()) return Variant::FromLong(value.get<bool>() ? 1 : 0);
  if (value.is_number_integer()) return WholeNumber(value.get<double>());
  if (value.is_number()) return Variant::FromDouble(value.get<double>());
  return refuse("text, a number or null");
}

class RowChecker {
 public:
  RowChecker(Database& db, bool replace) : db_(db), replace_(replace) {}

  // Checks one document and appends its rows; counts rows per table.
  void Add(const NamedDocument& doc, std::vector<PendingRow>& rows, std::vector<TableLoad>& counts) {
    if (!doc.document.is_object()) {
      throw InputError(doc.name + ": expected an object {\"Table\": [{\"Column\": value, ...}, ...]}, not " +
                       Described(doc.document));
    }
    for (auto table = doc.document.begin(); table != doc.document.end(); ++table) {
      const std::string where = doc.name + ": table " + table.key();
      const std::vector<ColumnInfo>& columns = Columns(table.key(), where);
      if (!table.value().is_array()) throw InputError(where + ": expected an array of rows");
      if (replace_ && std::none_of(columns.begin(), columns.end(), [](const ColumnInfo& c) { return c.key; })) {
        throw InputError(where + ": the table has no key, so --replace cannot tell which stored row a row replaces");
      }
      int number = 0;
      for (const Json& row : table.value()) {
        std::string rowWhere = where + ", row " + std::to_string(++number);
        if (static_cast<std::size_t>(number) <= doc.rowLines.size()) {
          rowWhere += " (line " + std::to_string(doc.rowLines[number - 1]) + ")";
        }
        rows.push_back(Prepare(table.key(), columns, row, rowWhere, doc.textCells));
        RefuseRepeatedKey(rows.back());
      }
      Count(counts, table.key(), number);
    }
  }

 private:
  const std::vector<ColumnInfo>& Columns(const std::string& table, const std::string& where) {
    auto known = tables_.find(Lower(table));
    if (known != tables_.end()) return known->second;
    std::optional<std::vector<ColumnInfo>> columns;
    if (IsIdentifier(table)) columns = DescribeTable(db_, table);
    if (!columns) throw InputError(where + ": no such table");
    return tables_.emplace(Lower(table), std::move(*columns)).first->second;
  }

  // Two rows of the input with one key: the database would refuse the
  // second, and by then its own message may not name the columns.
  void RefuseRepeatedKey(const PendingRow& row) {
    if (row.keyColumns.empty()) return;
    std::string key = Lower(row.table);
    for (const Variant& value : row.keyValues) key += '\x1f' + value.ToText();
    auto [seen, added] = keys_.emplace(key, row.where);
    if (!added) {
      throw InputError(row.where + KeyColumnsText(row) + ": duplicate key (" + KeyText(row) + "), as in " +
                       seen->second);
    }
  }

  PendingRow Prepare(const std::string& table, const std::vector<ColumnInfo>& columns, const Json& row,
                     const std::string& where, bool textCells) const {
    if (!row.is_object()) throw InputError(where + ": expected an object {\"Column\": value, ...}");
    if (row.empty()) throw InputError(where + ": no columns given");
    PendingRow pending{where, table, "INSERT INTO " + table + " (", {}, {}, {}, {}, {}};
    std::string placeholders, assignments;
    std::vector<Variant> assigned;
    for (auto cell = row.begin(); cell != row.end(); ++cell) {
      const std::string cellWhere = where + ", column " + cell.key();
      auto column = std::find_if(columns.begin(), columns.end(),
                                 [&](const ColumnInfo& c) { return Lower(c.name) == Lower(cell.key()); });
      if (column == columns.end()) throw InputError(cellWhere + ": no such column");
      const Json value = textCells && cell.value().is_string()
                             ? CellValue(cell.value().get<std::string>(), column->kind)
                             : cell.value();
      pending.params.push_back(ColumnValue(value, column->kind, cellWhere));
      CheckLoadedValue(column->name, value, cellWhere);
      if (column->key) {
        pending.keyColumns.push_back(cell.key());  // as the input spells it
        pending.keyValues.push_back(pending.params.back());
      } else {
        assigned.push_back(pending.params.back());
        assignments += (assignments.empty() ? "" : ", ") + cell.key() + " = :p" + std::to_string(assigned.size());
      }
      if (pending.params.size() > 1) {
        pending.sql += ", ";
        placeholders += ", ";
      }
      pending.sql += cell.key();
      placeholders += ":p" + std::to_string(pending.params.size());
    }
    pending.sql += ") VALUES (" + placeholders + ")";
    std::vector<std::string> keyNames;
    for (const ColumnInfo& c : columns)
      if (c.key) keyNames.push_back(c.name);
    if (pending.keyColumns.size() != keyNames.size()) {
      if (replace_) {
        throw InputError(where + ": --replace needs every key column (" + Joined(keyNames) +
                         ") to find the stored row");
      }
      pending.keyColumns.clear();
      pending.keyValues.clear();
    }
    if (replace_ && !assigned.empty()) {
      pending.updateSql = "UPDATE " + table + " SET " + assignments + " WHERE 1 = 1";
      pending.updateParams = assigned;
      for (std::size_t i = 0; i < pending.keyColumns.size(); ++i) {
        pending.updateParams.push_back(pending.keyValues[i]);
        pending.updateSql += " AND " + pending.keyColumns[i] + " = :p" + std::to_string(pending.updateParams.size());
      }
    }
    return pending;
  }

  static void Count(std::vector<TableLoad>& counts, const std::string& table, int rows) {
    for (TableLoad& entry : counts) {
      if (Lower(entry.table) == Lower(table)) {
        entry.rows += rows;
        return;
      }
    }
    counts.push_back({table, rows, 0});
  }

  Database& db_;
  const bool replace_;
  std::map<std::string, std::vector<ColumnInfo>> tables_;
  std::map<std::string, std::string> keys_;  // table and key values -> the row that gave them
};

// Replace mode: updates the stored row with the row's key; answers whether
// there was one (when not, the row is to be inserted).
bool ReplaceStoredRow(Database& db, const PendingRow& row) {
  if (row.updateSql.empty()) return RowExists(db, row.table, row.keyColumns, row.keyValues);
  return db.Command(row.updateSql, row.updateParams) > 0;
}

void CountUpdated(std::vector<TableLoad>& counts, const std::string& table) {
  for (TableLoad& entry : counts) {
    if (Lower(entry.table) == Lower(table)) ++entry.updated;
  }
}

// The table a CSV input fills: --table, else the file's name without its
// extension ("Producto.csv" fills Producto).
std::string CsvTable(const std::string& file, const std::string& table) {
  return table.empty() ? std::filesystem::path(file).stem().string() : table;
}

bool IsCsvFile(const std::string& file) {
  std::string extension = std::filesystem::path(file).extension().string();
  return Lower(extension) == ".csv";
}

}  // namespace

std::vector<TableLoad> LoadDocuments(Database& db, const std::vector<NamedDocument>& documents, bool replace,
                                     const std::string& operatorKey) {
  std::vector<PendingRow> rows;
  std::vector<TableLoad> counts;
  RowChecker checker(db, replace);
  for (const NamedDocument& doc : documents) checker.Add(doc, rows, counts);

  const PendingRow* failed = nullptr;
  std::string refusal;
  {
    Transaction transaction(db);  // rolled back unless every row goes in
    db.LabelMovements("load", "", operatorKey);
    for (const PendingRow& row : rows) {
      try {
        if (replace && ReplaceStoredRow(db, row)) {
          CountUpdated(counts, row.table);
        } else {
          db.Command(row.sql, row.params);
        }
      } catch (const Failure& refused) {
        failed = &row;
        refusal = refused.what();
        break;
      }
    }
    if (!failed) {
      transaction.Commit();
      return counts;
    }
  }
  // Rolled back: a stored row with the same key makes it a duplicate.
  if (!replace && !failed->keyColumns.empty() && RowExists(db, failed->table, failed->keyColumns, failed->keyValues)) {
    throw InputError(failed->where + KeyColumnsText(*failed) + ": duplicate key (" + KeyText(*failed) +
                     "), already stored: " + refusal + " (--replace updates stored rows)");
  }
  throw InputError(failed->where + ": " + refusal);
}

int LoadCommand(Host& host, const LoadChoices& choices) {
  std::vector<NamedDocument> documents;
  for (const std::string& file : choices.files) {
    const std::string name = file == "-" ? "stdin" : file;
    const std::string text = ReadInput(file, host.in);
    if (!choices.table.empty() || IsCsvFile(file)) {
      documents.push_back(CsvDocument(text, name, CsvTable(file, choices.table)));
    } else {
      documents.push_back({name, ParseDocument(text, name)});
    }
  }
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening());
  // load may create the database: it creates the schema where it is missing.
  if (!MissingSuiteTables(*db).empty()) suite::CreateSchema(*db);
  const std::vector<TableLoad> counts = LoadDocuments(*db, documents, choices.replace, host.options.operatorKey);

  int total = 0;
  for (const TableLoad& load : counts) total += load.rows;
  if (host.options.json) {
    Json result = OperationJson(true, "");
    Json tables = Json::object(), updated = Json::object();
    for (const TableLoad& load : counts) {
      tables[load.table] = load.rows;
      updated[load.table] = load.updated;
    }
    result["tables"] = std::move(tables);
    if (choices.replace) result["updated"] = std::move(updated);
    PrintJson(host.out, result);
  } else {
    for (const TableLoad& load : counts) {
      host.out << "  " << load.table << ": " << load.rows << " rows";
      if (choices.replace) host.out << " (" << load.updated << " replaced stored rows)";
      host.out << "\n";
    }
    host.out << "Loaded " << total << " rows from " << choices.files.size()
             << (choices.files.size() == 1 ? " file" : " files") << " in one transaction.\n";
  }
  return kExitOk;
}

}  // namespace apartado::cli
