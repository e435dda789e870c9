#pragma once
// How the host writes what it found: JSON objects and plain text tables.
#include <iosfwd>
#include <string>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"
#include "json_types.h"

namespace apartado::cli {

using host_json::Json;

// Writes the object on one line, followed by a newline. Bytes that are not
// UTF-8 are replaced rather than refused.
void PrintJson(std::ostream& out, const Json& value);

// {"ok": ok, "error": error}
Json OperationJson(bool ok, const std::string& error);

// Writes "apartado: WHAT:" and, on the lines after it, the text exactly as
// given (the component's CR LF included), then a newline.
void PrintRefusal(std::ostream& err, const std::string& what, const std::string& text);

// A database value as JSON: null, a number, a Boolean, text; dates as ISO 8601
// text.
Json VariantToJson(const Variant& value);
// A database value for a text table: numbers in the general number form,
// dates as "YYYY-MM-DD HH:MM:SS", NULL for a null.
std::string VariantToText(const Variant& value);

// Each row of the recordset as an object with every column.
Json RowsToJson(const TableRecordset& rows);

// Prints a table with a header line, columns padded to their widest cell.
void PrintTable(std::ostream& out, const std::vector<std::string>& headers,
                const std::vector<std::vector<std::string>>& rows, const std::string& indent = "");

// The named columns of every row as display texts ("" for a column the rows
// lack); names match regardless of letter case.
std::vector<std::vector<std::string>> SelectedCells(const TableRecordset& rows,
                                                    const std::vector<std::string>& columns);

// Prints every column of every row as "Column  value", one row after another
// (a layaway row has too many columns for one line).
void PrintRecords(std::ostream& out, const TableRecordset& rows);

}  // namespace apartado::cli
