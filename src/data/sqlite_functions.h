#pragma once

namespace apartado {

// Registers on a native SQLite connection (a sqlite3*, passed untyped so that
// callers holding SOCI's own view of the SQLite API need not include
// sqlite3.h) the functions the suite's statements call: GETDATE(), the local
// date and time as text 'YYYY-MM-DD HH:MM:SS'. Answers false when SQLite
// refuses.
bool RegisterSqliteFunctions(void* nativeConnection);

}  // namespace apartado
