#pragma once
#include <memory>
#include <string>

#include "apartado/database.h"
#include "apartado/recordset.h"

namespace apartado {

// The connection a session hands out over a Database: the text reaches the
// database as written, one statement at a time; transactions and holds are
// the database's.
//
// On PostgreSQL libpq runs the text through the extended query protocol
// (RunPostgresText), so the server refuses a second statement itself.
// Elsewhere SOCI runs it, and reads an unquoted ":word" in it as a bind
// placeholder (nothing is bound to it: SQLite reads NULL). The component's
// statements hold none; a "::" cast is left alone.
class SociConnection final : public Connection {
 public:
  explicit SociConnection(Database::Impl& database) : database_(database) {}

  // A text holding a second statement throws Failure before any of it runs:
  // PostgreSQL's own refusal, elsewhere kMultipleStatementsMessage when any
  // dialect would read two statements in it (HasSecondStatement). A
  // statement answering rows answers all of them at once; any other answers
  // an empty recordset.
  std::unique_ptr<Recordset> Execute(const std::string& commandText) override;

  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionDepth() const override;
  TransactionHealth Health() const override;
  void HoldLayaway(const std::string& Ap_Folio) override;
  void HoldStock(const std::vector<StockRowKey>& keys) override;
  void LabelMovements(const std::string& operation, const std::string& folio, const std::string& operatorKey) override;

 private:
  Database::Impl& database_;
};

// The description of the refusal of a text holding two statements on SQLite
// and ODBC.
inline constexpr const char* kMultipleStatementsMessage = "Multiple statements are not allowed in one command text";

}  // namespace apartado
