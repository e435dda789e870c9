#pragma once
// What SOCI's ODBC backend does not offer: a text run exactly as written,
// and the driver's diagnostics in the form the other backends give them.
#include <stdexcept>
#include <string>

namespace soci {
class session;
class soci_error;
class statement;
}  // namespace soci

namespace apartado {

// A statement the driver refused: its diagnostic (OdbcMessage) and SQLSTATE.
class OdbcError : public std::runtime_error {
 public:
  OdbcError(const std::string& message, std::string sqlstate)
      : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}
  const std::string& SqlState() const { return sqlstate_; }

 private:
  std::string sqlstate_;
};

// Runs one statement of an ODBC session through the driver untouched: SOCI
// reads every ':' outside quotes as the start of a placeholder, which a
// PL/pgSQL body's ":=" or a "::" cast is not. Answers nothing; throws
// OdbcError.
void OdbcExecDirect(soci::session& session, const std::string& sql);

// Whether the driver found the connection gone (SQL_ATTR_CONNECTION_DEAD).
bool OdbcConnectionDead(soci::session& session);

// Closes the cursor a prepared statement of an ODBC session may have left
// open: SOCI leaves it open after the last row (or none) was fetched, and
// the driver refuses to run the statement again over it ("Invalid cursor
// state"). Nothing when none is open.
void OdbcCloseCursor(soci::statement& statement);

// Throws the error SOCI raised about the statement again, with the driver's
// diagnostic of the statement when it left one: SOCI reports a statement the
// server refused while it was described (psqlODBC prepares it then) as
// "Failed to get result columns count" alone.
[[noreturn]] void RethrowWithDiagnostic(soci::statement& statement, const soci::soci_error& error);

// The driver's diagnostic as the native backends give it. psqlODBC writes
// the server's message as "ERROR: primary\nDETAIL: ...;\nError while
// executing the query": only the primary line is kept. Other drivers'
// diagnostics are kept whole.
std::string OdbcMessage(std::string diagnostic);

// The SQLSTATEs of a statement that met another session's work: a
// serialization failure or a deadlock (40001; PostgreSQL's 40P01), a lock
// not available (55P03).
bool IsOdbcConflict(const std::string& sqlstate);

}  // namespace apartado
