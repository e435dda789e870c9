// What a connection that keeps no transactions answers.
#include "apartado/failure.h"
#include "apartado/recordset.h"

namespace apartado {
namespace {

[[noreturn]] void NoTransactions() { throw Failure("This connection keeps no transactions"); }

}  // namespace

void Connection::BeginTrans() { NoTransactions(); }
void Connection::CommitTrans() { NoTransactions(); }
void Connection::RollbackTrans() { NoTransactions(); }
int Connection::TransactionDepth() const { return 0; }
TransactionHealth Connection::Health() const { return TransactionHealth::Sound; }
void Connection::HoldLayaway(const std::string&) {}
void Connection::HoldStock(const std::vector<StockRowKey>&) {}
void Connection::LabelMovements(const std::string&, const std::string&, const std::string&) {}

}  // namespace apartado
