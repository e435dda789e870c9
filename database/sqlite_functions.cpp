#include "database/sqlite_functions.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>

namespace apartado {
namespace {

void GetDate(sqlite3_context* context, int, sqlite3_value**) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                                   local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  sqlite3_result_text(context, text, length, SQLITE_TRANSIENT);
}

}  // namespace

bool RegisterSqliteFunctions(sqlite_api::sqlite3* connection) {
  // The same SQLite structure as ::sqlite3, declared in SOCI's namespace.
  auto* db = reinterpret_cast<::sqlite3*>(connection);
  // Not SQLITE_DETERMINISTIC: the answer changes with the clock.
  return sqlite3_create_function_v2(db, "GETDATE", 0, SQLITE_UTF8, nullptr, GetDate, nullptr, nullptr, nullptr) ==
         SQLITE_OK;
}

}  // namespace apartado
