#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <ostream>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "commands.h"
#include "json_input.h"
#include "load.h"
#include "queries.h"

namespace apartado::cli {

using host_json::ParseDocument;
using host_json::ReadInput;

namespace {

struct PendingRow {
  std::string where;  // "FILE: table T, row N"
  std::string table;
  std::string sql;
  std::vector<Variant> params;
  // The row's primary key, when it gives every key column.
  std::vector<std::string> keyColumns;
  std::vector<Variant> keyValues;
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
  explicit RowChecker(Database& db) : db_(db) {}

  // Checks one document and appends its rows; counts rows per table.
  void Add(const NamedDocument& doc, std::vector<PendingRow>& rows, std::vector<std::pair<std::string, int>>& counts) {
    if (!doc.document.is_object()) {
      throw InputError(doc.name + ": expected an object {\"Table\": [{\"Column\": value, ...}, ...]}, not " +
                       Described(doc.document));
    }
    for (auto table = doc.document.begin(); table != doc.document.end(); ++table) {
      const std::string where = doc.name + ": table " + table.key();
      const std::vector<ColumnInfo>& columns = Columns(table.key(), where);
      if (!table.value().is_array()) throw InputError(where + ": expected an array of rows");
      int number = 0;
      for (const Json& row : table.value()) {
        rows.push_back(Prepare(table.key(), columns, row, where + ", row " + std::to_string(++number)));
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

  static PendingRow Prepare(const std::string& table, const std::vector<ColumnInfo>& columns, const Json& row,
                            const std::string& where) {
    if (!row.is_object()) throw InputError(where + ": expected an object {\"Column\": value, ...}");
    if (row.empty()) throw InputError(where + ": no columns given");
    PendingRow pending{where, table, "INSERT INTO " + table + " (", {}, {}, {}};
    std::size_t keysGiven = 0;
    std::string placeholders;
    for (auto cell = row.begin(); cell != row.end(); ++cell) {
      const std::string cellWhere = where + ", column " + cell.key();
      auto column = std::find_if(columns.begin(), columns.end(),
                                 [&](const ColumnInfo& c) { return Lower(c.name) == Lower(cell.key()); });
      if (column == columns.end()) throw InputError(cellWhere + ": no such column");
      pending.params.push_back(ColumnValue(cell.value(), column->kind, cellWhere));
      if (column->key) {
        pending.keyColumns.push_back(cell.key());  // as the input spells it
        pending.keyValues.push_back(pending.params.back());
        ++keysGiven;
      }
      if (pending.params.size() > 1) {
        pending.sql += ", ";
        placeholders += ", ";
      }
      pending.sql += cell.key();
      placeholders += ":p" + std::to_string(pending.params.size());
    }
    pending.sql += ") VALUES (" + placeholders + ")";
    const auto keyCount = std::count_if(columns.begin(), columns.end(), [](const ColumnInfo& c) { return c.key; });
    if (keysGiven == 0 || keysGiven != static_cast<std::size_t>(keyCount)) {
      pending.keyColumns.clear();
      pending.keyValues.clear();
    }
    return pending;
  }

  static void Count(std::vector<std::pair<std::string, int>>& counts, const std::string& table, int rows) {
    for (auto& entry : counts) {
      if (Lower(entry.first) == Lower(table)) {
        entry.second += rows;
        return;
      }
    }
    counts.emplace_back(table, rows);
  }

  Database& db_;
  std::map<std::string, std::vector<ColumnInfo>> tables_;
  std::map<std::string, std::string> keys_;  // table and key values -> the row that gave them
};

}  // namespace

std::vector<std::pair<std::string, int>> LoadDocuments(Database& db, const std::vector<NamedDocument>& documents) {
  std::vector<PendingRow> rows;
  std::vector<std::pair<std::string, int>> counts;
  RowChecker checker(db);
  for (const NamedDocument& doc : documents) checker.Add(doc, rows, counts);

  const PendingRow* failed = nullptr;
  std::string refusal;
  {
    Transaction transaction(db);  // rolled back unless every row goes in
    for (const PendingRow& row : rows) {
      try {
        db.Command(row.sql, row.params);
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
  if (!failed->keyColumns.empty() && RowExists(db, failed->table, failed->keyColumns, failed->keyValues)) {
    throw InputError(failed->where + KeyColumnsText(*failed) + ": duplicate key (" + KeyText(*failed) +
                     "), already stored: " + refusal);
  }
  throw InputError(failed->where + ": " + refusal);
}

int LoadCommand(Host& host, const std::vector<std::string>& files) {
  std::vector<NamedDocument> documents;
  for (const std::string& file : files) {
    const std::string name = file == "-" ? "stdin" : file;
    documents.push_back({name, ParseDocument(ReadInput(file, host.in), name)});
  }
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString);
  std::vector<std::pair<std::string, int>> counts = LoadDocuments(*db, documents);

  int total = 0;
  for (const auto& [table, rows] : counts) total += rows;
  if (host.options.json) {
    Json result = OperationJson(true, "");
    Json tables = Json::object();
    for (const auto& [table, rows] : counts) tables[table] = rows;
    result["tables"] = std::move(tables);
    PrintJson(host.out, result);
  } else {
    for (const auto& [table, rows] : counts) host.out << "  " << table << ": " << rows << " rows\n";
    host.out << "Loaded " << total << " rows from " << files.size() << (files.size() == 1 ? " file" : " files")
             << " in one transaction.\n";
  }
  return kExitOk;
}

}  // namespace apartado::cli
