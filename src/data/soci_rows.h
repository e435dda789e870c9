#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"

namespace soci {
class row;
class soci_error;
}  // namespace soci

namespace apartado {

// The value of column i of a fetched row, by the column's data type: text
// stays text (SQLite answers expression columns such as SUM(...) as text like
// '100.0', which the Variant converts when used), integers become Long (Double
// when they do not fit 32 bits), floating types Double, dates Date with their
// time of day, NULL the null Variant.
Variant ColumnValue(const soci::row& row, std::size_t i);

// The column names of a fetched row, as the database gave them.
std::vector<std::string> ColumnNames(const soci::row& row);

// Appends the values of a fetched row to rows.
void AppendRow(const soci::row& row, std::vector<std::vector<Variant>>& rows);

// The database's own message inside a SOCI error: without SOCI's prefixes
// ("sqlite3_statement_backend::prepare: ", "Cannot execute query. Fatal
// error. ERROR:  ") and context (" while executing ..."), and for PostgreSQL
// only the primary line (the LINE and caret lines point into the text).
std::string DatabaseMessage(const soci::soci_error& error);

}  // namespace apartado
