// Transactions around operations of an Apartado object, on the connection
// its session hands out.
#include "apartado/operation_scope.h"

#include <chrono>
#include <random>
#include <thread>

#include "apartado/failure.h"
#include "component/publico.h"

namespace apartado {
namespace {

// What the stock ledger records as the operation of a scope the host gave no
// name (OperationScope::Label).
const char* const kUnnamedOperation = "Apartado";

}  // namespace

OperationScope::OperationScope(Apartado& object, OnRefusal onRefusal)
    : object_(object), onRefusal_(onRefusal), connection_(&Publico().SessionServices->GetConnection()), saved_(object) {
  const bool outermost = connection_->TransactionDepth() == 0;
  connection_->BeginTrans();
  // The stock it moves is the component's work even when the host names no
  // operation: it is told from changes made outside any scope.
  if (outermost) {
    try {
      Label(kUnnamedOperation, object_.Encabezado().Ap_Folio);
    } catch (...) {
      connection_->RollbackTrans();
      throw;
    }
  }
}

OperationScope::~OperationScope() {
  if (finished_) return;
  try {
    RollBackAndRestore();
  } catch (...) {
    // The connection is gone: its server rolled the transaction back.
  }
}

void OperationScope::HoldLayaway(const std::string& Ap_Folio) { connection_->HoldLayaway(Ap_Folio); }

void OperationScope::HoldStock(const std::vector<StockRowKey>& keys) { connection_->HoldStock(keys); }

void OperationScope::Label(const std::string& operation, const std::string& Ap_Folio) {
  connection_->LabelMovements(operation, Ap_Folio, Publico().SessionServices->GetOperator());
}

void OperationScope::RollBackAndRestore() {
  finished_ = true;
  // After a conflict the work runs again from the start: its error too goes.
  std::string error = connection_->Health() == TransactionHealth::Conflict ? saved_.ErrorText : object_.ErrorText;
  State() = saved_;
  object_.ErrorText = std::move(error);
  connection_->RollbackTrans();
}

void OperationScope::Rollback() { RollBackAndRestore(); }

void OperationScope::Commit() {
  switch (connection_->Health()) {
    case TransactionHealth::Sound:
      break;
    case TransactionHealth::Conflict:
      RollBackAndRestore();
      throw TransactionConflict("The transaction conflicted with another session's work and was rolled back");
    case TransactionHealth::Failed:
      RollBackAndRestore();
      throw Failure("The transaction was rolled back: a statement in it failed");
  }
  finished_ = true;
  connection_->CommitTrans();
}

Boolean OperationScope::Finish(Boolean answer) {
  const TransactionHealth health = connection_->Health();
  if (health == TransactionHealth::Failed && !IsTrue(answer)) {
    // What failed is part of the refusal; its text says why.
    RollBackAndRestore();
    return answer;
  }
  if (health == TransactionHealth::Sound && !IsTrue(answer) && onRefusal_ == OnRefusal::RollBack) {
    RollBackAndRestore();
    return answer;
  }
  Commit();
  return answer;
}

Boolean RunInTransaction(Apartado& object, const std::function<Boolean()>& work, TransactionPolicy policy) {
  const bool outermost = Publico().SessionServices->GetConnection().TransactionDepth() == 0;
  std::minstd_rand jitter(std::random_device{}());
  for (int attempt = 1;; ++attempt) {
    try {
      OperationScope scope(object, policy.onRefusal);
      return scope.Finish(work());
    } catch (const TransactionConflict& conflict) {
      // The scope rolled back and put the object back as before the attempt.
      if (!outermost) throw;
      if (attempt >= policy.attempts)
        throw TransactionConflict("The operation was tried " + std::to_string(attempt) +
                                  " times and each time conflicted with another session's work; nothing of it was "
                                  "kept. Last conflict: " +
                                  conflict.what());
      // Waits grow and spread, so that the sessions in conflict stop meeting.
      const int ceilingMs = 2 << std::min(attempt, 8);
      std::this_thread::sleep_for(std::chrono::milliseconds(1 + jitter() % ceilingMs));
    }
  }
}

}  // namespace apartado
