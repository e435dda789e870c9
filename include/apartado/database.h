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
// connection string). SQLite connections get WAL mode, a busy timeout,
// foreign keys and a GETDATE() function answering the local date and time.
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
  // statement only), as the component's own statements are sent.
  Connection& GetConnection();

  // Bound-parameter access for code that owns its SQL. Placeholders are
  // written :p1, :p2, ... and take params in order; an Empty or Null Variant
  // binds NULL. Prepared statements are kept and reused per SQL text.
  TableRecordset Query(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a statement that answers no rows; returns the number of rows changed.
  long long Command(const std::string& sql, const std::vector<Variant>& params = {});
  // Runs a script of several statements separated by ';' (schema creation).
  void RunScript(const std::string& script);

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
