#pragma once
#include <string>
#include <vector>

#include "apartado/export.h"

// The suite schema described for those who fill it: every table and column
// suite::CreateSchema makes, with what the reference services require of it.
// It is rendered from the same description as the schema's DDL.
namespace apartado::suite {

// What a column holds, whatever the backend's type for it.
enum class ColumnType {
  Text,
  Number,    // a number (a double)
  Quantity,  // a number kept exact to six decimals
  Whole,     // a whole number
  Date,      // a date with its time of day
};

struct SchemaColumn {
  std::string name;
  ColumnType type = ColumnType::Text;
  bool key = false;       // part of the table's primary key
  bool required = false;  // a row must give it: never null and no default
  // What a row that does not give the column gets, in SQL ("'AC'", "0"); empty for null.
  std::string defaultValue;
  // What the reference suite requires of the column or does with it; may be empty.
  std::string rule;
};

struct SchemaTable {
  std::string name;
  // What a row is, what needs one and who writes the table.
  std::string purpose;
  std::vector<SchemaColumn> columns;  // in the table's order
};

// Every table of the suite schema, in creation order.
APARTADO_EXPORT std::vector<SchemaTable> DescribeSchema();

// The stock ledger, Movimiento_Existencia, as its triggers fill it: the key
// columns of a stock row; the change columns, available-1, available-2,
// reserved-1 and reserved-2; and each stock table with, for each change
// column, the quantity column it follows (empty: none, the change is 0).
struct LedgerStockTable {
  std::string name;
  std::vector<std::string> quantities;
};
APARTADO_EXPORT const std::vector<std::string>& LedgerKeyColumns();
APARTADO_EXPORT const std::vector<std::string>& LedgerChangeColumns();
APARTADO_EXPORT const std::vector<LedgerStockTable>& LedgerStockTables();

}  // namespace apartado::suite
