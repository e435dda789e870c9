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
// SOCI reads an unquoted ":word" in the text as a bind placeholder (nothing
// is bound to it: PostgreSQL then fails, SQLite reads NULL). The component's
// statements hold none; a "::" cast is left alone.
class SociConnection final : public Connection {
 public:
  explicit SociConnection(Database::Impl& database) : database_(database) {}

  // A text holding a second statement throws Failure before any of it runs.
  // A statement answering rows (SELECT, WITH, ...) answers all of them at
  // once; any other is run as a command and answers an empty recordset.
  std::unique_ptr<Recordset> Execute(const std::string& commandText) override;

  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionDepth() const override;
  TransactionHealth Health() const override;
  void HoldLayaway(const std::string& Ap_Folio) override;
  void HoldStock(const std::vector<StockRowKey>& keys) override;

 private:
  Database::Impl& database_;
};

// The description of the refusal of a text holding two statements.
inline constexpr const char* kMultipleStatementsMessage = "Multiple statements are not allowed in one command text";

}  // namespace apartado
