#pragma once
// Inserting catalogue and stock rows given as JSON.
#include <string>
#include <utility>
#include <vector>

#include "apartado/database.h"
#include "output.h"

namespace apartado::cli {

// A parsed input document and the name its errors carry (the file name).
struct NamedDocument {
  std::string name;
  Json document;  // {"Table": [{"Column": value, ...}, ...], ...}
};

// Checks every document against the database's tables first, then inserts
// all their rows in one transaction with bound parameters. Throws InputError
// naming the document, table, row (1-based) and column of the first problem:
// an unknown table or column, a value of the wrong type, or an insertion the
// database refused (a duplicate key); nothing is written then. Answers the
// number of rows inserted per table, in input order.
std::vector<std::pair<std::string, int>> LoadDocuments(Database& db, const std::vector<NamedDocument>& documents);

}  // namespace apartado::cli
