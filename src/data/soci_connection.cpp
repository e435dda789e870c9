#include "data/soci_connection.h"

#include <soci/soci.h>

#include "apartado/failure.h"
#include "data/soci_rows.h"
#include "data/statement_text.h"

namespace apartado {

std::unique_ptr<Recordset> SociConnection::Execute(const std::string& commandText) {
  // SQLite would run the first statement and drop the rest unseen,
  // PostgreSQL would run them all: refuse before either happens.
  if (HasSecondStatement(commandText)) throw Failure(kMultipleStatementsMessage);
  try {
    if (!AnswersRows(commandText)) {
      // Run as a command: on PostgreSQL a rowset over a command never ends.
      session_ << commandText;
      return std::make_unique<TableRecordset>();
    }
    // Prepared as a one-off: PostgreSQL then runs it in one round trip
    // instead of preparing, executing and deallocating a named statement.
    soci::row row;
    soci::statement st(session_);
    st.exchange(soci::into(row));
    st.alloc();
    st.prepare(commandText, soci::details::st_one_time_query);
    st.define_and_bind();
    return std::make_unique<TableRecordset>(ReadAll(st, row));
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

}  // namespace apartado
