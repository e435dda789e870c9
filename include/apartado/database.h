#pragma once
#include <memory>
#include <string>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"

namespace apartado {

enum class Backend { SQLite, PostgreSQL, ODBC };

// One open database connection over one of the backends.
//
// Connection strings: a plain path or "sqlite:PATH" (":memory:" for a private
// in-memory database), "postgresql://..." (a libpq URI), "odbc:..." (an ODBC
// connection string). SQLite connections get WAL mode, a 10-second busy
// timeout, foreign keys and a GETDATE() function answering the local date
// and time as text 'YYYY-MM-DD HH:MM:SS'; PostgreSQL connections report only
// warnings and errors (the suite schema creates getdate() there).
//
// Values read: text as Text, whole numbers as Long (Double beyond 32 bits),
// floating and NUMERIC columns as Double, DATE/DATETIME (SQLite) and
// timestamp (PostgreSQL) columns as Date, NULL as the null Variant. SQLite
// answers expression columns (SUM(...), GETDATE()) and TIMESTAMP-declared
// columns as text, which converts on use; PostgreSQL booleans read as 1 / 0.
//
// Not thread-safe: one Database per thread.
class Database {
 public:
  // Opens the connection. Throws Failure with the backend's message.
  static std::unique_ptr<Database> Open(const std::string& connectionString);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  Backend GetBackend() const;

  // The text-statement path: executes a statement exactly as written (one
  // statement only), as the component's own statements are sent. Owned by
  // this Database.
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
  // while nothing it read can have changed. On SQLite an answer is dropped by
  // this connection's writes to a table it read, a rollback, a schema change
  // or pragma, and any commit of another connection to the database (in WAL
  // mode noticed without a lock from the WAL index header, then confirmed by
  // PRAGMA data_version; ":memory:" has no other connection); attaching a
  // database stops the keeping. Other backends run the query every time.
  // Only for statements that read tables and call no function whose answer
  // changes by itself (GETDATE()).
  TableRecordset CachedQuery(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a statement that answers no rows; returns the number of rows changed.
  long long Command(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a script of several statements separated by ';' (schema creation):
  // natively on SQLite and PostgreSQL (a $$-quoted body may hold ';'), one
  // statement at a time on ODBC. Stops at the first statement refused and
  // throws Failure with the database's message.
  void RunScript(const std::string& script);

  // Transactions: on SQLite Begin takes the write lock at once (BEGIN
  // IMMEDIATE), so that a transaction that reads and then writes cannot fail
  // on another writer halfway. Throw Failure with the database's message.
  void Begin();
  void Commit();
  void Rollback();

  struct Impl;

 private:
  explicit Database(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Rolls back unless committed; never throws from its destructor.
class Transaction {
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
