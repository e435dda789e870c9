#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apartado/export.h"
#include "apartado/recordset.h"
#include "apartado/variant.h"

namespace apartado {

// How a connection reaches its database: SQLite and PostgreSQL natively
// (the SQLite library, libpq), or any DBMS through an ODBC driver.
enum class Backend { SQLite, PostgreSQL, ODBC };

// The SQL a database speaks, whatever reaches it: the DDL, savepoints, row
// locks and error codes the library uses follow this. A native connection
// speaks its backend's; an ODBC connection learns its DBMS from the driver
// when it opens (SQL_DBMS_NAME): PostgreSQL and SQLite speak their own, any
// other (SQL Server) speaks SqlServer.
enum class SqlDialect { SQLite, PostgreSQL, SqlServer };

// How Database::Open connects.
struct OpenOptions {
  // For work that only reads. SQLite opens the file read-only: a missing
  // file is not created, and a database in a folder this process cannot
  // write can still be read. PostgreSQL transactions are read only.
  bool readOnly = false;
  // PostgreSQL: the server cancels a statement that runs longer than this
  // (statement_timeout), and its operation fails; zero keeps the server's
  // setting. Other backends ignore it.
  std::chrono::milliseconds statementTimeout{0};
};

// One open database connection over one of the backends.
//
// Connection strings: a plain path or "sqlite:PATH" (":memory:" for a private
// in-memory database), "postgresql://..." (a libpq URI), "odbc:..." (an ODBC
// connection string). SQLite connections get WAL mode, a 10-second busy
// timeout, foreign keys and a GETDATE() function answering the local date
// and time as text 'YYYY-MM-DD HH:MM:SS'. PostgreSQL connections give up
// connecting after 10 seconds unless the URI (connect_timeout) or
// PGCONNECT_TIMEOUT says otherwise, read string constants as the standard
// says (standard_conforming_strings on: a backslash is an ordinary
// character) and report only warnings and errors (the suite schema creates
// getdate() there).
//
// Values read: text as Text, whole numbers as Long (Double beyond 32 bits),
// floating and NUMERIC columns as Double, DATE/DATETIME (SQLite) and
// timestamp (PostgreSQL) columns as Date, NULL as the null Variant. SQLite
// answers expression columns (SUM(...), GETDATE()) and TIMESTAMP-declared
// columns as text, which converts on use; PostgreSQL booleans read as 1 / 0.
//
// Not thread-safe: one Database per thread.
class APARTADO_EXPORT Database {
 public:
  // Opens the connection. Throws Failure "Cannot open the database NAME:
  // " and the backend's message, NAME being the connection string without
  // its password.
  static std::unique_ptr<Database> Open(const std::string& connectionString, const OpenOptions& options = {});
  // The connection string as messages show it: without the password of a
  // PostgreSQL URI (user:password@, password=) or of an ODBC string (PWD=,
  // Password=).
  static std::string DisplayName(const std::string& connectionString);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // How the connection reaches the database.
  Backend GetBackend() const;
  // The SQL the database behind the connection speaks.
  SqlDialect GetDialect() const;

  // The text-statement path: executes a statement exactly as written (one
  // statement only), as the component's own statements are sent. On
  // PostgreSQL the text goes through the extended query protocol, so the
  // server refuses a second statement itself. Owned by this Database.
  Connection& GetConnection();

  // Bound-parameter access for code that owns its SQL. Placeholders are
  // written :p1, :p2, ... (:pN takes params[N-1]; one may appear several
  // times). Text binds as text, Boolean/Integer/Long as a whole number (True
  // as -1), Double as a real, Date as a timestamp to the second, Empty and
  // Null as NULL. Prepared statements are kept and reused per SQL text.
  // Throws Failure with the database's message, or when a placeholder has no
  // parameter.
  TableRecordset Query(const std::string& sql, const std::vector<Variant>& params = {});
  // Query, giving again the answer of an earlier run with the same parameters
  // while it is provably still what the query would answer. Only for a
  // query of one table ("SELECT ... FROM Table WHERE ...", no join, view or
  // subquery): the answer is dropped when this connection writes that table
  // (or a table whose triggers may write it), rolls back, runs a statement
  // whose effect cannot be told from its text, or fails a statement.
  // - SQLite: an answer is given again only after PRAGMA data_version has
  //   shown that no other connection committed since, asked once per
  //   transaction begun here (which holds the write lock) and before every
  //   read otherwise (":memory:" has no other connection).
  // - PostgreSQL: an answer is given again only inside the transaction
  //   (begun here) it was read in, never outside one: under read committed
  //   it is what this transaction already read and decided with. A query
  //   calling a function other than common built-in ones runs each time,
  //   and a statement calling one counts as of unknown effect. Triggers and
  //   rules are read from the catalogue when first needed and again after
  //   this connection changes the schema: one another session creates
  //   while this connection is open is not seen. A PL/pgSQL trigger
  //   function's body tells what it writes; another one may write anything.
  //   A query that locks what it reads (FOR UPDATE, FOR NO KEY UPDATE, FOR
  //   SHARE) must name one row by its whole key (others could add rows
  //   matching a wider condition): that row cannot change under other
  //   sessions until the transaction ends, so its answer is kept (when it
  //   found the row) within the transaction only, and dropped as above and
  //   on a rollback to a savepoint, which releases the lock.
  // Every query on ODBC runs each time. Not for lots, serial numbers,
  // folios or receivables, nor for stock but through a locked read of its
  // one row on PostgreSQL: those are read afresh, under locks.
  TableRecordset CachedQuery(const std::string& sql, const std::vector<Variant>& params = {});
  // How many times CachedQuery gave a kept answer instead of running.
  std::uint64_t KeptAnswersGiven() const;
  // Statements every Database of this process sent to its database so far,
  // transaction control included (what a server is asked, for benchmarks).
  static std::uint64_t StatementsSent();
  // Runs a statement that answers no rows; returns the number of rows changed.
  long long Command(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a script of several statements separated by ';' (schema creation):
  // natively on SQLite and PostgreSQL (a $$-quoted body may hold ';'), one
  // statement at a time on ODBC. Stops at the first statement refused and
  // throws Failure with the database's message.
  void RunScript(const std::string& script);

  // Transactions. Begin opens one or, inside one, a nested transaction (a
  // savepoint) that Rollback undoes alone; Commit and Rollback end the
  // innermost. On SQLite the outermost Begin takes the write lock at once
  // (BEGIN IMMEDIATE): a transaction that reads, then writes, cannot then
  // fail on another writer halfway, and what it read stays true until it
  // ends. Commit of a transaction whose health is not Sound rolls it back
  // and throws (PostgreSQL would otherwise answer a COMMIT of a failed
  // transaction by rolling it back silently). Throw Failure with the
  // database's message; Begin throws TransactionConflict when the database
  // stayed busy past the busy timeout.
  void Begin();
  void Commit();
  void Rollback();
  int TransactionDepth() const;
  bool InTransaction() const { return TransactionDepth() > 0; }
  // How the open transaction stands (Sound outside any): Conflict once a
  // statement in it failed on a deadlock, a serialization failure or a busy
  // database, until the outermost transaction ends; Failed while the
  // database refuses to go on with it (PostgreSQL after any failed
  // statement, until a savepoint before it is rolled back to; SQLite when it
  // rolled the transaction back itself).
  TransactionHealth Health() const;

  // Connection::HoldLayaway and HoldStock: on PostgreSQL (inside a
  // transaction) the rows are read FOR UPDATE in one fixed order; elsewhere
  // nothing is done (SQLite's transaction holds the write lock already; SQL
  // Server is not covered).
  void HoldLayaway(const std::string& folio);
  void HoldStock(const std::vector<StockRowKey>& keys);
  // Connection::LabelMovements: on SQLite the one row of
  // Movimiento_Contexto, written in the transaction and deleted before it
  // commits; on PostgreSQL the transaction's settings apartado.operacion,
  // apartado.folio and apartado.operador. Throws Failure as Command does.
  void LabelMovements(const std::string& operation, const std::string& folio, const std::string& operatorKey);

  // The connection string this database was opened with.
  const std::string& ConnectionString() const;

  // The backend connection, defined inside the library.
  struct APARTADO_LOCAL Impl;

 private:
  APARTADO_LOCAL explicit Database(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Rolls back unless committed; never throws from its destructor.
class APARTADO_EXPORT Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit();

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace apartado
