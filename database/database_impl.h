#pragma once
// The inside of a Database, shared by the files that implement it.
#include <soci/soci.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "apartado/database.h"
#include "database/answer_cache.h"
#include "database/soci_connection.h"
#include "database/prepared_statements.h"

namespace sqlite_api {
struct sqlite3;  // SOCI's SQLite backend declares SQLite's API in this namespace
}
struct pg_conn;

namespace apartado {

// The versions of the tables whose answers are kept across transactions on
// PostgreSQL (AnswerCache::TableVersions).
const std::string& PostgresTableVersionsSql();

// Member order matters: the prepared statements go before the session they
// were made on.
struct Database::Impl {
  Impl(Backend kind, std::string connection)
      : backend(kind),
        dialect(kind == Backend::SQLite       ? SqlDialect::SQLite
                : kind == Backend::PostgreSQL ? SqlDialect::PostgreSQL
                                              : SqlDialect::SqlServer),
        connectionString(std::move(connection)) {}

  Backend backend;
  // Native connections speak their backend's; an ODBC one learns its own
  // when it opens (Database::Open).
  SqlDialect dialect;
  std::string connectionString;
  soci::session session;
  SociConnection connection{*this};
  PreparedStatements cache{session, backend == Backend::PostgreSQL};
  std::unique_ptr<AnswerCache> answers;  // SQLite and PostgreSQL
  // The backend's own handle, for what SOCI does not offer.
  sqlite_api::sqlite3* sqlite = nullptr;
  pg_conn* postgres = nullptr;

  // Transactions open, and what befell the outermost one.
  int depth = 0;
  std::uint64_t transactionSerial = 0;  // raised by every outermost Begin
  bool conflict = false;                // a statement failed on another session's work
  // SQLite: the transaction wrote the row of Movimiento_Contexto, which
  // goes before it commits; and whether the database has that table, once
  // found.
  bool labelled = false;
  bool hasMovementContext = false;
  // The movements' label the database holds now, and what it held when each
  // open savepoint began: a label is sent only when it changes, and rolling
  // back to a savepoint brings back the one before (both backends undo it).
  struct MovementLabel {
    std::string operation, folio, operatorKey;
    bool operator==(const MovementLabel&) const = default;
  };
  std::optional<MovementLabel> label;
  std::vector<std::optional<MovementLabel>> labelsBeforeSavepoints;
  // ODBC to PostgreSQL: a statement failed in the open transaction, which
  // the server now refuses to go on with, and no savepoint from before it
  // was rolled back to since (libpq tells this natively).
  bool failedOverOdbc = false;

  // Throws the Failure (TransactionConflict for a deadlock, a serialization
  // failure or a busy database) carrying the database's message of a SOCI
  // error, noting what it means for the open transaction and kept answers.
  [[noreturn]] void Fail(const soci::soci_error& error);
  // The same for a failure known by its message and whether it is a
  // conflict. A lost connection's message names the database (lost: known
  // so already; a native PostgreSQL connection is asked).
  [[noreturn]] void Fail(std::string message, bool conflict, bool lost = false);
  // After a statement of this text ran: kept answers follow what it wrote.
  void Ran(std::string_view sql) {
    CountSent();
    if (answers) answers->Ran(sql);
  }
  // One more statement sent to the database (Database::StatementsSent).
  static void CountSent();
  // A kept answer when one holds in this scope, else the query run (and its
  // answer kept when its one table allows).
  TableRecordset KeptOrRun(const std::string& sql, const std::vector<Variant>& params, const AnswerCache::Scope& scope);
  // Runs a statement the database layer itself owns (transaction control).
  void Exec(const std::string& sql);

  // Database::Begin, Commit, Rollback, Health, HoldLayaway, HoldStock.
  void Begin();
  // PostgreSQL: BEGIN and the table versions kept answers depend on, in one
  // round trip.
  void BeginReadingTableVersions();
  void Commit();
  void Rollback();
  // Ends the outermost transaction: COMMIT or ROLLBACK, or the driver's own
  // end of it (DriverTransactions).
  void EndTransaction(bool commit);
  TransactionHealth Health() const;
  void HoldLayaway(const std::string& folio);
  void HoldStock(const std::vector<StockRowKey>& keys);
  void LabelMovements(const std::string& operation, const std::string& folio, const std::string& operatorKey);
  // SQLite ended the transaction by itself (it does on some I/O errors).
  bool SqliteEndedTransaction() const;
  // The connection goes through an ODBC driver to a database other than SQL
  // Server: transactions are begun and ended through the driver, which
  // otherwise keeps its own idea of them (psqlODBC ends a transaction begun
  // by a BEGIN it did not send at the first failed statement).
  bool DriverTransactions() const { return backend == Backend::ODBC && dialect != SqlDialect::SqlServer; }
  // The outermost transaction holds SQLite's write lock.
  bool HoldsWriteLock() const { return backend == Backend::SQLite && depth > 0 && !SqliteEndedTransaction(); }
};

}  // namespace apartado
