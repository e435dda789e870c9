// The suite schema rendered for each backend from the one table description
// in schema_tables.cpp. Every statement is idempotent, so creating the schema
// again over an existing database changes nothing; over a database created by
// an earlier release it makes the quantities exact.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "apartado/suite.h"
#include "schema_tables.h"

namespace apartado::suite {
namespace {

std::string TypeName(Backend backend, ColumnKind kind) {
  switch (backend) {
    case Backend::SQLite:
      switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Text:
          return "TEXT";
        case ColumnKind::Number:
        case ColumnKind::Quantity:
          return "REAL";
        case ColumnKind::Date:
          return "DATETIME";
        case ColumnKind::Whole:
          return "INTEGER";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
    case Backend::PostgreSQL:
      switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Text:
          return "VARCHAR";
        case ColumnKind::Number:
          return "DOUBLE PRECISION";
        case ColumnKind::Quantity:
          return "NUMERIC(" + std::to_string(kQuantityDigits) + "," + std::to_string(kQuantityDecimals) + ")";
        case ColumnKind::Date:
          return "TIMESTAMP(0)";
        case ColumnKind::Whole:
          return "INTEGER";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
    case Backend::ODBC:  // SQL Server
      switch (kind) {
        case ColumnKind::Key:
          return "VARCHAR(60)";
        case ColumnKind::Text:
          return "VARCHAR(255)";
        case ColumnKind::Number:
          return "FLOAT";
        case ColumnKind::Quantity:
          return "DECIMAL(" + std::to_string(kQuantityDigits) + "," + std::to_string(kQuantityDecimals) + ")";
        case ColumnKind::Date:
          return "DATETIME2(0)";
        case ColumnKind::Whole:
          return "INT";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
  }
  return "TEXT";
}

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string ColumnDefinition(Backend backend, const ColumnSpec& column) {
  std::string text = column.name + ' ' + TypeName(backend, column.kind);
  if (column.notNull) text += " NOT NULL";
  if (!column.defaultValue.empty()) text += " DEFAULT " + column.defaultValue;
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::vector<std::string> QuantityColumns(const TableSpec& table) {
  std::vector<std::string> names;
  for (const ColumnSpec& column : table.columns)
    if (column.kind == ColumnKind::Quantity) names.push_back(column.name);
  return names;
}

void WriteTable(std::ostream& out, Backend backend, const TableSpec& table) {
  if (backend == Backend::ODBC) {
    out << "IF OBJECT_ID(N'" << table.name << "', N'U') IS NULL CREATE TABLE " << table.name << " (\n";
  } else {
    out << "CREATE TABLE IF NOT EXISTS " << table.name << " (\n";
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnSpec& column = table.columns[i];
    out << "  " << ColumnDefinition(backend, column);
    if (i + 1 < table.columns.size() || !table.primaryKey.empty()) out << ',';
    out << '\n';
  }
  if (!table.primaryKey.empty()) out << "  PRIMARY KEY (" << List(table.primaryKey) << ")\n";
  out << ");\n";
  for (const IndexSpec& index : table.indexes) {
    const std::string create = std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ");
    if (backend == Backend::ODBC) {
      out << "IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'" << index.name << "') " << create << index.name;
    } else {
      out << create << "IF NOT EXISTS " << index.name;
    }
    out << " ON " << table.name << " (" << List(index.columns) << ")";
    if (!index.where.empty()) out << " WHERE " << index.where;
    out << ";\n";
  }
}

// The double nearest the value's decimal. SQLite 3.40 reads some decimals one
// unit in the last place off (the literal 0.736512, and round(x, 6) of it,
// give 0.7365120000000001), while a whole number divided by 10^6 is rounded
// correctly: the quantities stored are those the host and the services hold
// (for magnitudes below 2^53 / 10^6).
std::string SqliteRounded(const std::string& value) {
  const std::string scale = "1" + std::string(kQuantityDecimals, '0');
  return "round(" + value + " * " + scale + ") / " + scale;
}

// True when some quantity of the row (its columns prefixed by `row`) is a
// number not rounded yet. Text and null are left as they are.
std::string SqliteUnrounded(const std::vector<std::string>& columns, const std::string& row) {
  std::string text;
  for (const std::string& column : columns) {
    const std::string value = row + column;
    text += (text.empty() ? "" : " OR ") + ("(typeof(" + value + ") = 'real' AND " + value + " <> ") +
            SqliteRounded(value) + ")";
  }
  return text;
}

std::string SqliteRoundingSet(const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    text += (text.empty() ? "" : ", ") + column + " = CASE WHEN typeof(" + column + ") = 'real' THEN " +
            SqliteRounded(column) + " ELSE " + column + " END";
  }
  return text;
}

// Quantity columns hold exact decimals. PostgreSQL and SQL Server store them
// in fixed point. SQLite stores doubles: after every insert and every update
// of a quantity, a trigger rounds the row's quantities to the double nearest
// their decimal, so that adding and taking away the same fractions comes back
// to the same value (0.2 + 0.5 - 0.2 gives 0.5, and 0.5 - 0.5 gives 0). The
// WHEN clause keeps the extra update for rows that need it; the trigger's own
// update does not fire it again (recursive triggers are off).
void WriteQuantityRounding(std::ostream& out, const TableSpec& table) {
  const std::vector<std::string> columns = QuantityColumns(table);
  if (columns.empty()) return;
  // Rows stored before the triggers existed.
  out << "UPDATE " << table.name << " SET " << SqliteRoundingSet(columns) << " WHERE " << SqliteUnrounded(columns, "")
      << ";\n";
  for (const char* event : {"Insert", "Update"}) {
    out << "CREATE TRIGGER IF NOT EXISTS TR_" << table.name << "_Redondeo_" << event << " AFTER "
        << (event[0] == 'I' ? "INSERT" : "UPDATE OF " + List(columns)) << " ON " << table.name << " FOR EACH ROW WHEN "
        << SqliteUnrounded(columns, "NEW.") << "\nBEGIN\n  UPDATE " << table.name << " SET "
        << SqliteRoundingSet(columns) << " WHERE rowid = NEW.rowid;\nEND;\n";
  }
}

// A database whose quantities were created as DOUBLE PRECISION gets them in
// fixed point; a table already converted is left alone (no lock, no rewrite).
void WritePostgresQuantityUpgrade(std::ostream& out) {
  out << "DO $$\nBEGIN\n";
  for (const TableSpec& table : SuiteTables()) {
    const std::vector<std::string> columns = QuantityColumns(table);
    if (columns.empty()) continue;
    std::string names, alters;
    for (const std::string& column : columns) {
      names += (names.empty() ? "'" : ", '") + Lower(column) + "'";
      alters += std::string(alters.empty() ? "" : ",\n") + "      ALTER COLUMN " + column + " TYPE " +
                TypeName(Backend::PostgreSQL, ColumnKind::Quantity);
    }
    out << "  IF EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = current_schema() AND "
           "table_name = '"
        << Lower(table.name) << "' AND column_name IN (" << names
        << ") AND NOT (data_type = 'numeric' AND numeric_precision = " << kQuantityDigits
        << " AND numeric_scale = " << kQuantityDecimals << ")) THEN\n    ALTER TABLE " << table.name << "\n"
        << alters << ";\n  END IF;\n";
  }
  out << "END\n$$;\n";
}

}  // namespace

std::string SchemaScript(Backend backend) {
  std::ostringstream out;
  if (backend == Backend::PostgreSQL) {
    // The component's statements stamp rows with GETDATE(), as on SQL Server.
    out << "CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp AS $$ SELECT LOCALTIMESTAMP(0) $$ "
           "LANGUAGE sql;\n";
  }
  for (const TableSpec& table : SuiteTables()) WriteTable(out, backend, table);
  if (backend == Backend::PostgreSQL) WritePostgresQuantityUpgrade(out);
  if (backend == Backend::SQLite)
    for (const TableSpec& table : SuiteTables()) WriteQuantityRounding(out, table);
  return out.str();
}

void CreateSchema(Database& db) { db.RunScript(SchemaScript(db.GetBackend())); }

}  // namespace apartado::suite
