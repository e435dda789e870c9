#pragma once
// The stock rows as a reader wants them: available and reserved side by side.
#include <iosfwd>
#include <string>

#include "apartado/database.h"
#include "commands.h"

namespace apartado::cli {

// Prints the matching rows of Existencia and of Existencia_Kit as two tables.
void PrintStockTables(std::ostream& out, Database& db, const StockFilter& filter, const std::string& indent = "");

}  // namespace apartado::cli
