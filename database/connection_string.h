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
  Backend kind = Backend::SQLite;
  std::string sociConnect;
  bool privateDatabase = false;  // SQLite ":memory:": no other connection reaches it
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

// Whether an ODBC connection string sets the keyword (in any case).
bool OdbcSetsKeyword(const std::string& odbc, const std::string& keyword);

// What psqlODBC is told when the connection string leaves it to the driver:
// on a failed statement it leaves the transaction as the server left it.
// Its default wraps every statement of a transaction in a savepoint of its
// own, which loses the savepoints of nested transactions ("savepoint ...
// does not exist" on rolling back to one); its other choice rolls the whole
// transaction back at once, under the feet of the nested ones.
inline constexpr const char* kPsqlOdbcProtocol = "Protocol=7.4-0";
// And how long it takes a VARCHAR without a length (the suite's text
// columns) to be: psqlODBC's default, 255, cuts every longer value read to
// 255 characters; from this size on, longer values are read whole.
inline constexpr const char* kPsqlOdbcVarchar = "MaxVarcharSize=65535";
// And that it sends each statement with its values rather than preparing it
// on the server: a statement handle freed while the transaction has failed
// leaves its server-side statement behind, under a name made of the
// handle's address, and the next handle given that address then fails on
// every statement ("prepared statement \"_PLAN0x...\" already exists"),
// rolling back to a savepoint included.
inline constexpr const char* kPsqlOdbcPrepare = "UseServerSidePrepare=0";

// The ODBC connection string a PostgreSQL database is reached with: the
// string given, plus each of kPsqlOdbcProtocol, kPsqlOdbcVarchar and
// kPsqlOdbcPrepare whose keyword it does not set.
std::string WithPsqlOdbcDefaults(const std::string& odbc);

// The dialect of a database by the name its ODBC driver gives the DBMS
// (SQL_DBMS_NAME): "PostgreSQL" (psqlODBC), "SQLite..." (the SQLite ODBC
// driver); any other is taken for SQL Server.
SqlDialect DialectOfDbms(const std::string& dbmsName);

}  // namespace apartado
