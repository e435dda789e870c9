#pragma once
// Loading catalogue and stock rows given as JSON or CSV.
#include <string>
#include <vector>

#include "apartado/database.h"
#include "output.h"

namespace apartado::cli {

// A parsed input document and the name its errors carry (the file name).
struct NamedDocument {
  std::string name;
  Json document;  // {"Table": [{"Column": value, ...}, ...], ...}
  // Every value is text to be read by its column's type (CSV): "12" for a
  // number, "true" for a whole number 1.
  bool textCells = false;
  // The input line each row starts on, when rows are counted by lines (CSV).
  std::vector<int> rowLines{};
};

struct TableLoad {
  std::string table;  // as the input first spelled it
  int rows = 0;       // rows given
  int updated = 0;    // of them, rows that replaced a stored row (replace mode)
};

// Checks every document against the database's tables first, then writes
// all their rows in one transaction with bound parameters. Without replace,
// each row is inserted; with it, a row whose key is stored already updates
// the columns it gives (the others keep their values) and any other row is
// inserted. Throws InputError naming the document, table, row (1-based) and
// column of the first problem: an unknown table or column, a value of the
// wrong type, a key given twice, a row the database refused (a key already
// stored, without replace), or, with replace, a table without a key or a row
// without every key column; nothing is written then. Answers what each table
// took, in input order.
// The stock rows it writes are recorded in the stock ledger as operation
// "load" by operatorKey.
std::vector<TableLoad> LoadDocuments(Database& db, const std::vector<NamedDocument>& documents, bool replace = false,
                                     const std::string& operatorKey = "ADMIN");

}  // namespace apartado::cli
