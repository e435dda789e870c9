#pragma once
#include <string>
#include <vector>

#include "apartado/database.h"

namespace apartado::suite {

// A catalogue row named by its key, and by a second key when column2 is
// given. Names reach the statement's text: plain identifiers only.
struct RowKey {
  std::string table;
  std::string column;
  std::string value;
  std::string column2;
  std::string value2;
};

// The rows the key names with `columns` readable. The whole rows are read
// ("SELECT * ...", through Database::CachedQuery), so that look-ups of
// different columns of one row share one statement and one kept answer;
// when those do not show every column asked (no row told which columns
// there are, or a column is missing), the query of exactly those columns
// answers instead, failing with the database's own message on a column the
// table lacks.
TableRecordset RowsShowing(Database& db, const RowKey& key, const std::vector<std::string>& columns);

}  // namespace apartado::suite
