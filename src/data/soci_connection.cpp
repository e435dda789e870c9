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
    st.execute(false);
    std::vector<std::vector<Variant>> rows;
    while (row.size() > 0 && st.fetch()) AppendRow(row, rows);
    return std::make_unique<TableRecordset>(ColumnNames(row), std::move(rows));
  } catch (const soci::soci_error& e) {
    throw Failure(DatabaseMessage(e));
  }
}

}  // namespace apartado
