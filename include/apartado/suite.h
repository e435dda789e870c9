#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "apartado/database.h"
#include "apartado/export.h"
#include "apartado/services.h"

// The reference implementations of the suite services, over the suite's own
// database. A host may install them as they are or replace any of them.
namespace apartado::suite {

// A message handed to SessionServices::ReportMessage.
struct ReportedMessage {
  std::string message;
  std::int32_t style = 0;
  std::string title;
  std::string componentName;
  std::string errorId;
};

struct SuiteOptions {
  // Where the suite database is (see Database::Open).
  std::string connectionString = "apartado.db";
  // PostgreSQL: statements of the services' connections that run longer are
  // cancelled by the server (OpenOptions::statementTimeout); zero keeps the
  // server's setting.
  std::chrono::milliseconds statementTimeout{0};
  // An open database to use instead of connectionString, on the thread that
  // opened it only (a Database is not thread-safe): for a single-threaded host
  // or a private in-memory database.
  std::shared_ptr<Database> database;
  // The operator key the session answers.
  std::string operatorKey = "ADMIN";
  // The id of the server the session runs on.
  std::string serverId;
  // Whether the session runs away from the central server.
  bool remote = false;
  // Receives every reported message, on the thread that reported it. Without
  // a sink, messages are written to stderr.
  std::function<void(const ReportedMessage&)> messageSink;
};

// A factory whose services share one connection per thread to the database.
APARTADO_EXPORT std::shared_ptr<ServiceFactory> MakeSuiteFactory(SuiteOptions options);

// Creates the suite schema if it is missing (safe to repeat): every table
// and index that does not exist yet. Throws Failure with the database's
// message when a statement is refused.
APARTADO_EXPORT void CreateSchema(Database& db);

// The DDL script CreateSchema runs on a database of the dialect, one
// statement per ';' (a PostgreSQL $$ body or an SQLite trigger may hold ';').
APARTADO_EXPORT std::string SchemaScript(SqlDialect dialect);

}  // namespace apartado::suite
