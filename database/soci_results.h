#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"

namespace soci {
class row;
class soci_error;
class statement;
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

// Executes a statement whose results go into row and reads every row it
// answers. The statement runs even when it answers nothing (an INSERT); a
// statement answering no columns answers no rows (PostgreSQL would otherwise
// hand out empty rows without end).
TableRecordset ReadAll(soci::statement& statement, soci::row& row);

// The database's own message inside a SOCI error: without SOCI's prefixes
// ("sqlite3_statement_backend::prepare: ", "Cannot execute query. Fatal
// error. ERROR:  ") and context (" while executing ..."); for PostgreSQL
// only the primary line (the LINE and caret lines point into the text); for
// ODBC the driver's diagnostic (OdbcMessage).
std::string DatabaseMessage(const soci::soci_error& error);

// Whether the error is another session's concurrent work getting in the way:
// PostgreSQL's serialization failure (40001), deadlock (40P01) or lock not
// available (55P03); SQLite's busy or locked database; the same SQLSTATEs
// from an ODBC driver.
bool IsConflict(const soci::soci_error& error);

}  // namespace apartado
