#pragma once
#include <string>

#include "apartado/database.h"

namespace apartado {

// Which backend a connection string names and what its SOCI connect string is.
struct BackendTarget {
  Backend Kind = Backend::SQLite;
  std::string SociConnect;
  bool PrivateDatabase = false;  // SQLite ":memory:": no other connection reaches it
};

// "sqlite:PATH" or a plain path (":memory:" included), "postgresql://..." or
// "postgres://..." (a libpq URI, turned into keyword=value pairs because
// SOCI's PostgreSQL backend re-parses what it is given and cannot read a
// URI), "odbc:..." (passed through). Throws Failure for an empty string, an
// unknown scheme, a malformed URI, or a URI value holding blanks (SOCI splits
// the pairs on blanks).
BackendTarget ParseConnectionString(const std::string& connectionString);

}  // namespace apartado
