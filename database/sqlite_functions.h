#pragma once

// SOCI's SQLite backend declares the SQLite API inside this namespace; its
// session holds the connection as a sqlite_api::sqlite3*.
namespace sqlite_api {
struct sqlite3;
}

namespace apartado {

// Registers on SOCI's native SQLite connection the functions the suite's
// statements call: GETDATE(), the local date and time as text
// 'YYYY-MM-DD HH:MM:SS'. Answers false when SQLite refuses.
bool RegisterSqliteFunctions(sqlite_api::sqlite3* connection);

}  // namespace apartado
