#include "apartado/database.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <sql.h>
#include <sqlext.h>

#include <atomic>
#include <mutex>

#include "apartado/failure.h"
#include "database/connection_string.h"
#include "database/database_impl.h"
#include "database/odbc_direct.h"
#include "database/postgres_text.h"
#include "database/soci_results.h"
#include "database/sqlite_functions.h"
#include "database/statement_analysis.h"

namespace apartado {
namespace {

std::atomic<std::uint64_t> statementsSent{0};

// A busy writer elsewhere is waited for this long before SQLite gives up.
constexpr int kSqliteBusyTimeoutMs = 10000;

void ConfigureSqlite(soci::session& session, const OpenOptions& options) {
  auto* backend = static_cast<soci::sqlite3_session_backend*>(session.get_backend());
  if (!RegisterSqliteFunctions(backend->conn_)) throw Failure("Could not register GETDATE() on the SQLite connection");
  session << "PRAGMA busy_timeout = " + std::to_string(kSqliteBusyTimeoutMs);
  session << "PRAGMA foreign_keys = ON";
  // Readers do not block the writer nor the writer readers (":memory:" keeps
  // its own journal mode). A reader leaves the file as it is.
  if (!options.readOnly) session << "PRAGMA journal_mode = WAL";
}

void ConfigurePostgres(soci::session& session, const OpenOptions& options) {
  // Notices ("relation already exists, skipping") would go to stderr.
  session << "SET client_min_messages TO warning";
  // The component writes values between single quotes: a backslash in them
  // must stay a backslash, whatever the server's configuration.
  session << "SET standard_conforming_strings TO on";
  if (options.statementTimeout.count() > 0)
    session << "SET statement_timeout TO " + std::to_string(options.statementTimeout.count());
  if (options.readOnly) session << "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY";
}

// The DBMS behind an ODBC connection, as its driver names it.
std::string OdbcDbmsName(soci::session& session) {
  auto* backend = static_cast<soci::odbc_session_backend*>(session.get_backend());
  SQLCHAR name[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(backend->hdbc_, SQL_DBMS_NAME, name, sizeof name, &length))) return "";
  return reinterpret_cast<const char*>(name);
}

// Opens an ODBC connection and learns the dialect of the database behind it.
// psqlODBC is opened again with its defaults (WithPsqlOdbcDefaults) when the
// string leaves them out: which driver answers is known only once connected.
SqlDialect OpenOdbc(soci::session& session, const std::string& connect, const OpenOptions& options) {
  // psqlODBC sets the process's locale while it connects, and setlocale is
  // not thread-safe: two threads connecting at once race inside the driver.
  static std::mutex connecting;
  const std::scoped_lock oneAtATime(connecting);
  session.open(*soci::factory_odbc(), connect);
  const SqlDialect dialect = DialectOfDbms(OdbcDbmsName(session));
  if (dialect == SqlDialect::PostgreSQL) {
    const std::string withDefaults = WithPsqlOdbcDefaults(connect);
    if (withDefaults != connect) {
      session.close();
      session.open(*soci::factory_odbc(), withDefaults);
    }
    ConfigurePostgres(session, options);
  }
  return dialect;
}

// Kept answers learn of other connections' commits, and of the schema, here.
std::unique_ptr<AnswerCache> SqliteAnswerCache(PreparedStatements& cache, bool privateDatabase) {
  return std::make_unique<AnswerCache>(
      AnswerCache::Lifetime::Connection, privateDatabase,
      [&cache] {
        Database::Impl::CountSent();
        TableRecordset versions =
            cache.Query("SELECT data_version, schema_version FROM pragma_data_version, pragma_schema_version", {});
        return std::make_pair(static_cast<std::int64_t>(versions.Field("data_version").ToDouble()),
                              static_cast<std::int64_t>(versions.Field("schema_version").ToDouble()));
      },
      [&cache] {
        Database::Impl::CountSent();
        return cache.Query(
            "SELECT type, tbl_name, sql, NULL AS events FROM sqlite_schema WHERE type IN ('table', 'trigger')", {});
      });
}

// A table's version is kept while a statement-level trigger of the version
// function fires on its every write (INSERT, UPDATE, DELETE, TRUNCATE:
// tgtype 4 | 8 | 16 | 32, not per row), whatever the session's replication
// role ('A').
const char* const kTriggers =
    " FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid JOIN pg_proc p ON p.oid = t.tgfoid ";
const char* const kVersionTriggers =
    "WHERE p.proname = 'version_tabla_cambio' AND t.tgenabled = 'A' AND (t.tgtype & 61) = 60 "
    "AND pg_table_is_visible(c.oid)";

}  // namespace

const std::string& PostgresTableVersionsSql() {
  static const std::string sql = std::string("SELECT c.relname::text AS tbl_name, v.Vt_Version AS version") +
                                 kTriggers + "JOIN Version_Tabla v ON v.Vt_Tabla = c.relname::text " + kVersionTriggers;
  return sql;
}

namespace {

// On PostgreSQL answers live within their transaction, but for tables whose
// version the schema keeps. The catalogue says which names are plain tables
// (no view, partition or inheritance, whose rows other tables' writes
// change), which writes fire a trigger or a rule of a table, and which
// tables raise their version in Version_Tabla on every statement that
// writes them. What a PL/pgSQL trigger function writes is read from its body
// (TablesPlpgsqlWrites); firing a trigger of any other language, or one
// whose body does what its text does not tell, counts as writing anything.
std::unique_ptr<AnswerCache> PostgresAnswerCache(PreparedStatements& cache) {
  auto schema = [&cache] {
    Database::Impl::CountSent();
    return cache.Query(
        std::string("SELECT 'table' AS type, c.relname::text AS tbl_name, NULL::text AS sql, NULL::text AS events "
                    "FROM pg_class c WHERE c.relkind = 'r' AND NOT c.relispartition AND pg_table_is_visible(c.oid) "
                    "AND NOT EXISTS (SELECT 1 FROM pg_inherits i WHERE i.inhparent = c.oid OR i.inhrelid = c.oid) "
                    "UNION ALL SELECT CASE WHEN l.lanname = 'plpgsql' THEN 'plpgsql' ELSE 'trigger' END, "
                    "c.relname::text, CASE WHEN l.lanname = 'plpgsql' THEN p.prosrc END, CONCAT(CASE WHEN "
                    "t.tgtype & 4 <> 0 THEN 'I' END, CASE WHEN t.tgtype & 16 <> 0 THEN 'U' END, CASE WHEN "
                    "t.tgtype & 8 <> 0 THEN 'D' END) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                    "JOIN pg_proc p ON p.oid = t.tgfoid JOIN pg_language l ON l.oid = p.prolang "
                    "WHERE pg_table_is_visible(c.oid) "
                    "UNION ALL SELECT 'trigger', c.relname::text, NULL, CASE r.ev_type WHEN '2' THEN 'U' WHEN '3' "
                    "THEN 'I' WHEN '4' THEN 'D' ELSE '' END FROM pg_rewrite r JOIN pg_class c ON c.oid = r.ev_class "
                    "WHERE r.rulename <> '_RETURN' AND pg_table_is_visible(c.oid) "
                    "UNION ALL SELECT 'versioned', c.relname::text, NULL, NULL") +
            kTriggers + kVersionTriggers + " AND to_regclass('version_tabla') IS NOT NULL",
        {});
  };
  auto versions = [&cache] {
    Database::Impl::CountSent();
    return cache.Query(PostgresTableVersionsSql(), {});
  };
  return std::make_unique<AnswerCache>(AnswerCache::Lifetime::Transaction, false, nullptr, schema, versions);
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

void RunPostgresScript(PGconn* conn, const std::string& script) {
  // libpq runs a multi-statement text natively, dollar-quoted bodies included.
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
  throw PostgresError(message, "");
}

}  // namespace

std::string Database::DisplayName(const std::string& connectionString) {
  return DisplayedConnection(connectionString);
}

std::unique_ptr<Database> Database::Open(const std::string& connectionString, const OpenOptions& options) {
  const BackendTarget target = ParseConnectionString(connectionString, options.readOnly);
  auto impl = std::make_unique<Impl>(target.kind, connectionString);
  try {
    switch (target.kind) {
      case Backend::SQLite:
        impl->session.open(*soci::factory_sqlite3(), target.sociConnect);
        ConfigureSqlite(impl->session, options);
        impl->sqlite = static_cast<soci::sqlite3_session_backend*>(impl->session.get_backend())->conn_;
        impl->answers = SqliteAnswerCache(impl->cache, target.privateDatabase);
        break;
      case Backend::PostgreSQL:
        impl->session.open(*soci::factory_postgresql(), target.sociConnect);
        ConfigurePostgres(impl->session, options);
        impl->postgres = static_cast<soci::postgresql_session_backend*>(impl->session.get_backend())->conn_;
        impl->answers = PostgresAnswerCache(impl->cache);
        break;
      case Backend::ODBC:
        // No kept answers: what tells them apart (PRAGMA data_version, the
        // table versions read with BEGIN) needs the native connection.
        impl->dialect = OpenOdbc(impl->session, target.sociConnect, options);
        impl->cache.SetRealsAsText(impl->dialect == SqlDialect::PostgreSQL);
        impl->cache.SetOdbc(true);
        break;
    }
  } catch (const soci::soci_error& e) {
    throw Failure("Cannot open the database " + DisplayedConnection(connectionString) + ": " + DatabaseMessage(e));
  }
  return std::unique_ptr<Database>(new Database(std::move(impl)));
}

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;

Backend Database::GetBackend() const { return impl_->backend; }

SqlDialect Database::GetDialect() const { return impl_->dialect; }

const std::string& Database::ConnectionString() const { return impl_->connectionString; }

Connection& Database::GetConnection() { return impl_->connection; }

TableRecordset Database::Query(const std::string& sql, const std::vector<Variant>& params) {
  try {
    TableRecordset rows = impl_->cache.Query(sql, params);
    impl_->Ran(sql);
    return rows;
  } catch (const soci::soci_error& e) {
    impl_->Fail(e);
  }
}

TableRecordset Database::CachedQuery(const std::string& sql, const std::vector<Variant>& params) {
  Impl& m = *impl_;
  // On PostgreSQL an answer is kept only inside a transaction that can go on.
  const bool postgres = m.backend == Backend::PostgreSQL;
  if (!m.answers || (postgres && m.Health() != TransactionHealth::Sound) || (postgres && m.depth == 0))
    return Query(sql, params);
  return m.KeptOrRun(sql, params, {postgres ? m.transactionSerial : 0, postgres, false});
}

TableRecordset Database::Impl::KeptOrRun(const std::string& sql, const std::vector<Variant>& params,
                                         const AnswerCache::Scope& scope) {
  try {
    const std::string table = answers->KeepableTable(sql);
    if (table.empty()) {
      TableRecordset rows = cache.Query(sql, params);
      Ran(sql);
      return rows;
    }
    answers->Refresh(HoldsWriteLock(), transactionSerial);
    AnswerCache::Scope kept = scope;
    if (backend == Backend::PostgreSQL && answers->LocksRows(sql)) {
      // Rows locked by this transaction stay as read until it ends, and no
      // longer than that: their answer is not given in a later one.
      kept.laterTransactions = false;
      kept.lockedRows = true;
    }
    const std::uint64_t given = answers->Given();
    TableRecordset rows = cache.CachedQuery(sql, params, *answers, table, kept);
    if (answers->Given() == given) CountSent();
    return rows;
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

void Database::Impl::CountSent() { statementsSent.fetch_add(1, std::memory_order_relaxed); }

std::uint64_t Database::StatementsSent() { return statementsSent.load(std::memory_order_relaxed); }

std::uint64_t Database::KeptAnswersGiven() const { return impl_->answers ? impl_->answers->Given() : 0; }

long long Database::Command(const std::string& sql, const std::vector<Variant>& params) {
  try {
    const long long changed = impl_->cache.Command(sql, params);
    impl_->Ran(sql);
    return changed;
  } catch (const soci::soci_error& e) {
    impl_->Fail(e);
  }
}

void Database::RunScript(const std::string& script) {
  // Statements prepared before may no longer fit the schema, nor kept
  // answers the data.
  impl_->cache.Clear();
  if (impl_->answers) impl_->answers->SchemaChanged();
  try {
    switch (impl_->backend) {
      case Backend::SQLite:
        RunSqliteScript(impl_->session, script);
        break;
      case Backend::PostgreSQL:
        RunPostgresScript(impl_->postgres, script);
        break;
      case Backend::ODBC:
        // One statement at a time, as the dialect splits them.
        for (const std::string& statement : SplitScript(script, impl_->dialect))
          OdbcExecDirect(impl_->session, statement);
        break;
    }
  } catch (const soci::soci_error& e) {
    impl_->Fail(e);
  } catch (const PostgresError& e) {
    impl_->Fail(e.what(), false);
  } catch (const OdbcError& e) {
    impl_->Fail(e.what(), IsOdbcConflict(e.SqlState()));
  }
}

void Database::Begin() { impl_->Begin(); }
void Database::Commit() { impl_->Commit(); }
void Database::Rollback() { impl_->Rollback(); }
int Database::TransactionDepth() const { return impl_->depth; }
TransactionHealth Database::Health() const { return impl_->Health(); }
void Database::HoldLayaway(const std::string& folio) { impl_->HoldLayaway(folio); }
void Database::HoldStock(const std::vector<StockRowKey>& keys) { impl_->HoldStock(keys); }
void Database::LabelMovements(const std::string& operation, const std::string& folio, const std::string& operatorKey) {
  impl_->LabelMovements(operation, folio, operatorKey);
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
  done_ = true;
  db_.Commit();
}

}  // namespace apartado
