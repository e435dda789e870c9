#pragma once
// The component's statement texts on PostgreSQL, run by libpq itself.
#include <stdexcept>
#include <string>

#include "apartado/recordset.h"

struct pg_conn;

namespace apartado {

// A statement PostgreSQL refused or could not run: the server's primary
// message (or libpq's, for a lost connection) and the SQLSTATE ("" when
// none came).
class PostgresError : public std::runtime_error {
 public:
  PostgresError(const std::string& message, std::string sqlstate)
      : std::runtime_error(message), sqlstate_(std::move(sqlstate)) {}
  const std::string& SqlState() const { return sqlstate_; }

 private:
  std::string sqlstate_;
};

// Runs the text as written, with no parameters, through the extended query
// protocol (PQexecParams): the server parses it as one statement and refuses
// a text holding two ("cannot insert multiple commands into a prepared
// statement") before running any of it. Answers the rows of a statement
// that answers rows, an empty recordset otherwise. Columns are read by
// their type, as over SOCI: text types as Text, bool as Long 1 / 0, int2 and
// int4 as Long, int8 as Long (Double beyond 32 bits), float4, float8 and
// numeric as Double, date and timestamp types as Date to the second, NULL as
// the null Variant, anything else as its text. Throws PostgresError.
TableRecordset RunPostgresText(pg_conn* connection, const std::string& text);

// Whether a SQLSTATE is another session's concurrent work getting in the
// way: a serialization failure (40001), a deadlock (40P01) or a lock not
// available (55P03).
bool IsPostgresConflict(const std::string& sqlstate);

}  // namespace apartado
