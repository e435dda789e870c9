#pragma once
// The stock ledger as the commands read it back: its tables, the columns of
// a movement, and movements printed for an operator.
#include <ostream>
#include <string>
#include <vector>

#include "apartado/database.h"
#include "apartado/schema.h"

namespace apartado::cli::ledger {

// The ledger's description, from the suite that creates it: the keys of a
// stock row, the change columns (available-1, available-2, reserved-1,
// reserved-2) and the stock tables.
using StockTable = suite::LedgerStockTable;
inline const std::vector<std::string>& kKeys = suite::LedgerKeyColumns();
inline const std::vector<std::string>& kChanges = suite::LedgerChangeColumns();
inline const std::vector<StockTable>& kStockTables = suite::LedgerStockTables();

// Whether kChanges[i] is a change of a reserved quantity.
inline bool IsReserved(std::size_t i) { return i >= 2; }

// Quantities are kept to six decimals: two that round to the same are equal.
bool SameQuantity(double a, double b);
double Number(const Variant& value);  // 0 for null or empty
std::string Text(const Variant& value);  // "" for null
// A change as an operator reads it: signed, "0" for none.
std::string Signed(const Variant& value);

// Every column of a movement, in the table's order.
extern const char* const kMovementColumns;
// The movements as a table, one line each.
void PrintMovements(std::ostream& out, TableRecordset rows, const std::string& indent);

}  // namespace apartado::cli::ledger
