#pragma once
#include <iosfwd>
#include <string>
#include <vector>

// The suite's tables described once, so that every dialect's DDL carries the
// same tables and columns (see schema.cpp for the per-dialect types).
#include "apartado/database.h"

namespace apartado::suite {

enum class ColumnKind {
  Key,       // short text: keys, codes, operator keys
  Text,      // longer text: descriptions, comments, values
  Number,    // amounts, costs, prices, factors (a double)
  Quantity,  // stock, lot and line quantities: exact to kQuantityDecimals places
  Date,      // date with its time of day
  Whole,     // small whole numbers: 0/1 flags, days
  Counter,   // 64-bit whole numbers: folio counters
  Serial     // 64-bit whole numbers the database numbers itself, in order
};

// Decimal places a Quantity column keeps: fixed point on PostgreSQL and SQL
// Server, rounded by triggers on SQLite, so that moving the same fractions in
// and out of a stock row brings it back exactly where it was.
constexpr int kQuantityDecimals = 6;
// Digits in all of a fixed-point Quantity column.
constexpr int kQuantityDigits = 20;

struct ColumnSpec {
  std::string name;
  ColumnKind kind;
  // A literal default in SQL ("'AC'", "0"), or empty for none.
  std::string defaultValue;
  bool notNull = false;
  // A column that tables created before it lack: CreateSchema adds it to an
  // existing table that does not have it yet.
  bool addedLater = false;
  // What the reference suite requires of the column or does with it, for
  // those who fill the table (apartado schema, docs/schema.md); may be empty.
  std::string rule;
};

struct IndexSpec {
  std::string name;
  std::vector<std::string> columns;
  bool unique = false;
  // A condition for a partial index ("Es_Cve_Estado <> 'CA'"), or empty.
  std::string where;
};

struct TableSpec {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<std::string> primaryKey;
  std::vector<IndexSpec> indexes;
  // What a row is and who writes the table, for those who fill it.
  std::string purpose;
};

// Every table of the suite schema, in creation order.
const std::vector<TableSpec>& SuiteTables();

// SQL for the value rounded to kQuantityDecimals places the way SQLite
// stores Quantity columns (schema.cpp).
std::string SqliteRounded(const std::string& value);

// The stock ledger's triggers (stock_ledger.cpp): every change to the
// quantities of Existencia and Existencia_Kit appends a row to
// Movimiento_Existencia, which refuses updates and deletions. Stock rows
// that have no movement yet get one opening movement for what they hold.
void WriteStockLedger(std::ostream& out, SqlDialect dialect);

}  // namespace apartado::suite
