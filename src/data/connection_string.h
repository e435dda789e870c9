#pragma once
#include <string>

#include "apartado/database.h"

namespace apartado {

// PostgreSQL connections give up connecting after this many seconds unless
// the connection string (connect_timeout) or PGCONNECT_TIMEOUT says
// otherwise: a server that accepts the connection and never answers would
// otherwise hold the caller for ever.
inline constexpr int kPostgresConnectTimeoutSeconds = 10;

// Which backend a connection string names and what its SOCI connect string is.
struct BackendTarget {
  Backend Kind = Backend::SQLite;
  std::string SociConnect;
  bool PrivateDatabase = false;  // SQLite ":memory:": no other connection reaches it
};

// "sqlite:PATH" or a plain path (":memory:" included), "postgresql://..." or
// "postgres://..." (a libpq URI, turned into keyword=value pairs because
// SOCI's PostgreSQL backend re-parses what it is given and cannot read a
// URI; connect_timeout added when neither the URI nor PGCONNECT_TIMEOUT sets
// one), "odbc:..." (passed through). Throws Failure for an empty string, an
// unknown scheme, a malformed URI, or a URI value holding blanks (SOCI splits
// the pairs on blanks).
//
// readOnly opens an SQLite file for reading only, as an SQLite URI
// (file:PATH?mode=ro): a missing file is not created. When this process
// cannot write the file's folder and no write-ahead log lies beside the
// file, it is opened as immutable: SQLite could not create the files a WAL
// database is read with, and no writer can be at work there.
BackendTarget ParseConnectionString(const std::string& connectionString, bool readOnly = false);

// The connection string as messages show it: without the password of a
// PostgreSQL URI (user:password@ or password=) or of an ODBC string (PWD=,
// Password=).
std::string DisplayedConnection(const std::string& connectionString);

}  // namespace apartado
