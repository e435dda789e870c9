#pragma once
// Reading catalogue rows kept in spreadsheets: CSV as RFC 4180 writes it,
// one file per table, its first record naming the columns.
#include <string>
#include <vector>

#include "load.h"

namespace apartado::cli {

struct CsvCell {
  std::string text;
  bool quoted = false;  // written in double quotes: "" is an empty text, not an empty cell
};

struct CsvRecord {
  int line = 0;  // the input line it starts on, counted from 1
  std::vector<CsvCell> cells;
};

// Splits CSV text into records: fields separated by commas, records by LF,
// CR LF or CR; a field in double quotes may hold commas, line breaks and
// quotes written twice. A UTF-8 byte order mark (as spreadsheets write) is
// skipped. Throws InputError "NAME: line N: ..." for a quote inside an
// unquoted field, text after a closing quote, or a quoted field never closed.
std::vector<CsvRecord> ParseCsv(const std::string& text, const std::string& name);

// A CSV file as rows of `table` for LoadDocuments: the first record names the
// columns; every further record is a row whose empty, unquoted cells are left
// out (the column is not given), and whose cells are text the load reads by
// the column's type. Blank records are skipped. Throws InputError for a
// header naming no column, an empty or repeated column name, or a record with
// more or fewer fields than the header.
NamedDocument CsvDocument(const std::string& text, const std::string& name, const std::string& table);

}  // namespace apartado::cli
