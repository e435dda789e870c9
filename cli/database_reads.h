#pragma once
// The host's own queries, with bound parameters: table descriptions for
// load, the rows of a layaway, stock rows.
#include <optional>
#include <string>
#include <vector>

#include "apartado/database.h"
#include "commands.h"

namespace apartado::cli {

// What a column accepts, from its declared type.
enum class ColumnKind { Text, Integer, Number, DateTime, Any };

struct ColumnInfo {
  std::string name;  // as the suite schema spells it, else as the database does
  ColumnKind kind = ColumnKind::Any;
  bool key = false;  // part of the primary key
};

// The columns of a table, found regardless of letter case, with their
// primary-key membership; nullopt when the database has no such table.
std::optional<std::vector<ColumnInfo>> DescribeTable(Database& db, const std::string& table);

// The kind of a declared type such as "VARCHAR(10)", "REAL", "DATETIME",
// "character varying", "timestamp without time zone".
ColumnKind KindOfDeclaredType(const std::string& declaredType);

// Whether a row with these values in these columns exists.
bool RowExists(Database& db, const std::string& table, const std::vector<std::string>& columns,
               const std::vector<Variant>& values);

// The column names of the suite's tables as the schema spells them: a server
// that folds names to lower case answers "ap_folio" for Ap_Folio. Names the
// host does not know stay as they came.
TableRecordset WithSchemaNames(TableRecordset rows);

// Every column of the rows of Apartado for the folio, ordered by Ap_ID.
TableRecordset LayawayRows(Database& db, const std::string& folio);

// Every column of the rows of Existencia or Existencia_Kit that match the
// filter, ordered by their keys.
TableRecordset StockRows(Database& db, const std::string& table, const StockFilter& filter);

}  // namespace apartado::cli
