#include "database/soci_connection.h"

#include <soci/soci.h>

#include "apartado/failure.h"
#include "database/database_impl.h"
#include "database/odbc_direct.h"
#include "database/postgres_text.h"
#include "database/soci_results.h"
#include "database/statement_analysis.h"

namespace apartado {

std::unique_ptr<Recordset> SociConnection::Execute(const std::string& commandText) {
  if (database_.backend == Backend::PostgreSQL) {
    // The server itself refuses a second statement in a text run this way.
    try {
      auto rows = std::make_unique<TableRecordset>(RunPostgresText(database_.postgres, commandText));
      database_.Ran(commandText);
      return rows;
    } catch (const PostgresError& e) {
      database_.Fail(e.what(), IsPostgresConflict(e.SqlState()));
    }
  }
  // SQLite would run the first statement and drop the rest unseen, an ODBC
  // server (of whatever dialect) would run them all: refuse before either
  // happens.
  if (HasSecondStatement(commandText)) throw Failure(kMultipleStatementsMessage);
  try {
    std::unique_ptr<Recordset> rows;
    if (!AnswersRows(commandText)) {
      // Run as a command: on PostgreSQL a rowset over a command never ends.
      database_.session << commandText;
      rows = std::make_unique<TableRecordset>();
    } else {
      soci::row row;
      soci::statement st(database_.session);
      st.exchange(soci::into(row));
      try {
        st.alloc();
        st.prepare(commandText, soci::details::st_one_time_query);
        st.define_and_bind();
        rows = std::make_unique<TableRecordset>(ReadAll(st, row));
      } catch (const soci::soci_error& e) {
        if (database_.backend == Backend::ODBC) RethrowWithDiagnostic(st, e);
        throw;
      }
    }
    database_.Ran(commandText);
    return rows;
  } catch (const soci::soci_error& e) {
    database_.Fail(e);
  }
}

void SociConnection::BeginTrans() { database_.Begin(); }
void SociConnection::CommitTrans() { database_.Commit(); }
void SociConnection::RollbackTrans() { database_.Rollback(); }
int SociConnection::TransactionDepth() const { return database_.depth; }
TransactionHealth SociConnection::Health() const { return database_.Health(); }
void SociConnection::HoldLayaway(const std::string& Ap_Folio) { database_.HoldLayaway(Ap_Folio); }
void SociConnection::HoldStock(const std::vector<StockRowKey>& keys) { database_.HoldStock(keys); }
void SociConnection::LabelMovements(const std::string& operation, const std::string& folio,
                                    const std::string& operatorKey) {
  database_.LabelMovements(operation, folio, operatorKey);
}

}  // namespace apartado
