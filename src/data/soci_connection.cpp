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
    soci::row row;
    soci::statement st = (session_.prepare << commandText, soci::into(row));
    return std::make_unique<TableRecordset>(ReadAll(st, row));
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

}  // namespace apartado
