#include "apartado/database.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include "apartado/failure.h"
#include "data/connection_string.h"
#include "data/soci_connection.h"
#include "data/soci_rows.h"
#include "data/sqlite_change_tracker.h"
#include "data/sqlite_functions.h"
#include "data/statement_cache.h"
#include "data/statement_text.h"

namespace apartado {

// Member order matters: the cached statements, then the tracker's hooks, go
// before the session they were made on.
struct Database::Impl {
  explicit Impl(Backend kind) : backend(kind) {}
  Backend backend;
  soci::session session;
  SociConnection connection{session};
  std::unique_ptr<SqliteChangeTracker> tracker;
  StatementCache cache{session};
};

namespace {

// A busy writer elsewhere is waited for this long before SQLite gives up.
constexpr int kSqliteBusyTimeoutMs = 10000;

void ConfigureSqlite(soci::session& session) {
  auto* backend = static_cast<soci::sqlite3_session_backend*>(session.get_backend());
  if (!RegisterSqliteFunctions(backend->conn_)) throw Failure("Could not register GETDATE() on the SQLite connection");
  session << "PRAGMA busy_timeout = " + std::to_string(kSqliteBusyTimeoutMs);
  session << "PRAGMA foreign_keys = ON";
  // Readers do not block the writer nor the writer readers (":memory:" keeps
  // its own journal mode).
  session << "PRAGMA journal_mode = WAL";
}

void ConfigurePostgres(soci::session& session) {
  // Notices ("relation already exists, skipping") would go to stderr.
  session << "SET client_min_messages TO warning";
}

void RunSqliteScript(soci::session& session, const std::string& script) {
  auto* backend = static_cast<soci::sqlite3_session_backend*>(session.get_backend());
  char* error = nullptr;
  if (sqlite_api::sqlite3_exec(backend->conn_, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite_api::sqlite3_errmsg(backend->conn_);
    sqlite_api::sqlite3_free(error);
    throw Failure(message);
  }
}

void RunPostgresScript(soci::session& session, const std::string& script) {
  // libpq runs a multi-statement text natively, dollar-quoted bodies included.
  PGconn* conn = static_cast<soci::postgresql_session_backend*>(session.get_backend())->conn_;
  PGresult* result = PQexec(conn, script.c_str());
  const ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) {
    PQclear(result);
    return;
  }
  const char* primary = result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string message = primary != nullptr ? primary : PQerrorMessage(conn);
  PQclear(result);
  while (!message.empty() && message.back() == '\n') message.pop_back();
  throw Failure(message);
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& connectionString) {
  const BackendTarget target = ParseConnectionString(connectionString);
  auto impl = std::make_unique<Impl>(target.Kind);
  try {
    switch (target.Kind) {
      case Backend::SQLite: {
        impl->session.open(*soci::factory_sqlite3(), target.SociConnect);
        ConfigureSqlite(impl->session);
        void* native = static_cast<soci::sqlite3_session_backend*>(impl->session.get_backend())->conn_;
        impl->tracker = std::make_unique<SqliteChangeTracker>(native, target.PrivateDatabase);
        impl->cache.UseTracker(impl->tracker.get());
        break;
      }
      case Backend::PostgreSQL:
        impl->session.open(*soci::factory_postgresql(), target.SociConnect);
        ConfigurePostgres(impl->session);
        break;
      case Backend::ODBC:
        impl->session.open(*soci::factory_odbc(), target.SociConnect);
        break;
    }
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;

Backend Database::GetBackend() const { return impl_->backend; }

Connection& Database::GetConnection() { return impl_->connection; }

TableRecordset Database::Query(const std::string& sql, const std::vector<Variant>& params) {
  return impl_->cache.Query(sql, params);
}

TableRecordset Database::CachedQuery(const std::string& sql, const std::vector<Variant>& params) {
  return impl_->cache.CachedQuery(sql, params);
}

long long Database::Command(const std::string& sql, const std::vector<Variant>& params) {
  return impl_->cache.Command(sql, params);
}

void Database::RunScript(const std::string& script) {
  // Statements prepared before may no longer fit the schema, nor kept
  // answers the data.
  impl_->cache.Clear();
  if (impl_->tracker) impl_->tracker->InvalidateAll();
  try {
    switch (impl_->backend) {
      case Backend::SQLite:
        RunSqliteScript(impl_->session, script);
        break;
      case Backend::PostgreSQL:
        RunPostgresScript(impl_->session, script);
        break;
      case Backend::ODBC:
        for (const std::string& statement : SplitScript(script)) impl_->session << statement;
        break;
    }
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

void Database::Begin() {
  try {
    // IMMEDIATE takes the write lock at once: a transaction that reads, then
    // writes, cannot then fail on another writer's lock.
    if (impl_->backend == Backend::SQLite)
      impl_->session << "BEGIN IMMEDIATE";
    else
      impl_->session.begin();
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

void Database::Commit() {
  try {
    impl_->session.commit();
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

void Database::Rollback() {
  try {
    impl_->session.rollback();
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

Transaction::Transaction(Database& db) : db_(db) { db_.Begin(); }

Transaction::~Transaction() {
  if (done_) return;
  try {
    db_.Rollback();
  } catch (...) {
    // Nothing can be reported from here; the connection drops the
    // transaction when it closes.
  }
}

void Transaction::Commit() {
  db_.Commit();
  done_ = true;
}

}  // namespace apartado
