// The suite schema rendered for each backend from the one table description
// in schema_tables.cpp. Every statement is idempotent, so creating the schema
// again over an existing database changes nothing.
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

void WriteTable(std::ostream& out, Backend backend, const TableSpec& table) {
  if (backend == Backend::ODBC) {
    out << "IF OBJECT_ID(N'" << table.name << "', N'U') IS NULL CREATE TABLE " << table.name << " (\n";
  } else {
    out << "CREATE TABLE IF NOT EXISTS " << table.name << " (\n";
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnSpec& column = table.columns[i];
    out << "  " << column.name << ' ' << TypeName(backend, column.kind);
    if (column.notNull) out << " NOT NULL";
    if (!column.defaultValue.empty()) out << " DEFAULT " << column.defaultValue;
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

}  // namespace

std::string SchemaScript(Backend backend) {
  std::ostringstream out;
  if (backend == Backend::PostgreSQL) {
    // The component's statements stamp rows with GETDATE(), as on SQL Server.
    out << "CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp AS $$ SELECT LOCALTIMESTAMP(0) $$ "
           "LANGUAGE sql;\n";
  }
  for (const TableSpec& table : SuiteTables()) WriteTable(out, backend, table);
  return out.str();
}

void CreateSchema(Database& db) { db.RunScript(SchemaScript(db.GetBackend())); }

}  // namespace apartado::suite
