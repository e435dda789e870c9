#pragma once
// Fake suite services for unit tests. Every fake records each call (service,
// operation, arguments) in one shared log, in order, and answers what the
// test scripted: a value for every call of an operation, a value for its n-th
// call, or a Failure thrown at its n-th call. Installed through the same
// ServiceFactory a host uses.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apartado/services.h"
#include "support/values.h"

namespace apartado::testing {

struct Call {
  std::string operation;          // "Service.Operation", e.g. "Catalog.LookupValue"
  std::vector<std::string> args;  // each argument as text (numbers in the general number form)
  std::string Text() const;       // "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, ...)"
};

// What the fakes answer and the log of what they were asked.
class Script {
 public:
  // Answer every call of the operation with value (unless a numbered answer applies).
  void Answer(const std::string& operation, Variant value) { answers_[operation] = std::move(value); }
  // Answer the n-th call (1-based) of the operation with value.
  void AnswerAt(const std::string& operation, int n, Variant value) { numbered_[{operation, n}] = std::move(value); }
  // Throw Failure(description) at the n-th call (1-based) of the operation.
  void ThrowAt(const std::string& operation, int n, const std::string& description) {
    throws_[{operation, n}] = description;
  }
  // Answer a call of LookupValue whose table and result column match.
  void Lookup(const std::string& table, const std::string& resultColumn, const std::string& value) {
    lookups_[{table, resultColumn}] = value;
  }

  // Records a call and returns the scripted answer, or fallback.
  Variant Record(const std::string& operation, std::vector<std::string> args, const Variant& fallback);

  const std::vector<Call>& Calls() const { return calls_; }
  // The calls as text, optionally only those whose operation starts with prefix.
  std::vector<std::string> CallTexts(const std::string& prefix = "") const;
  // How many times the operation was called.
  int Count(const std::string& operation) const { return counts_.contains(operation) ? counts_.at(operation) : 0; }
  void ClearCalls() { calls_.clear(); }

  // Messages handed to Session.ReportMessage, as (errorId, message).
  std::vector<std::pair<std::string, std::string>> reported;
  // CalculateLineAmounts behaviour; by default leaves the amounts untouched.
  std::function<void(std::vector<double*>&, std::int16_t)> calculate;

 private:
  std::vector<Call> calls_;
  std::map<std::string, int> counts_;
  std::map<std::string, Variant> answers_;
  std::map<std::pair<std::string, int>, Variant> numbered_;
  std::map<std::pair<std::string, int>, std::string> throws_;
  std::map<std::pair<std::string, std::string>, std::string> lookups_;
};

// A connection that records every statement and answers scripted rows.
class FakeConnection : public Connection {
 public:
  explicit FakeConnection(std::shared_ptr<Script> script) : script_(std::move(script)) {}
  std::unique_ptr<Recordset> Execute(const std::string& commandText) override;

  // The next statement containing `fragment` answers these rows (queued in order);
  // with no queued answer such a statement answers `rows` every time via AnswerAlways.
  void AnswerNext(const std::string& fragment, std::vector<std::string> columns,
                  std::vector<std::vector<Variant>> rows) {
    queued_.push_back({fragment, std::move(columns), std::move(rows)});
  }
  void AnswerAlways(const std::string& fragment, std::vector<std::string> columns,
                    std::vector<std::vector<Variant>> rows) {
    always_.push_back({fragment, std::move(columns), std::move(rows)});
  }
  // The n-th statement executed (1-based) fails with description.
  void FailAt(int n, const std::string& description) { failures_[n] = description; }

  // Transactions are recorded among the statements as "BEGIN TRANS",
  // "COMMIT TRANS" and "ROLLBACK TRANS"; health answers Health().
  void BeginTrans() override { Transaction("BEGIN TRANS", 1); }
  void CommitTrans() override { Transaction("COMMIT TRANS", -1); }
  void RollbackTrans() override { Transaction("ROLLBACK TRANS", -1); }
  int TransactionDepth() const override { return depth_; }
  TransactionHealth Health() const override { return health ? health() : TransactionHealth::Sound; }
  std::function<TransactionHealth()> health;

  const std::vector<std::string>& Statements() const { return statements_; }

 private:
  struct Rows {
    std::string fragment;
    std::vector<std::string> columns;
    std::vector<std::vector<Variant>> rows;
  };
  void Transaction(const std::string& statement, int depthChange);
  std::shared_ptr<Script> script_;
  std::vector<std::string> statements_;
  std::deque<Rows> queued_;
  std::vector<Rows> always_;
  std::map<int, std::string> failures_;
  int depth_ = 0;
};

// The factory that hands out fakes sharing one Script and one FakeConnection.
class FakeFactory : public ServiceFactory {
 public:
  FakeFactory();
  std::shared_ptr<SessionServices> CreateSessionServices() override;
  std::shared_ptr<CatalogServices> CreateCatalogServices() override;
  std::shared_ptr<WarehouseServices> CreateWarehouseServices() override;
  std::unique_ptr<TaxCalculator> CreateTaxCalculator() override;
  std::unique_ptr<ReceivableDocument> CreateReceivableDocument() override;
  std::unique_ptr<SeriesAssignment> CreateSeriesAssignment() override;
  std::unique_ptr<LotAssignment> CreateLotAssignment() override;

  std::shared_ptr<Script> script;
  std::shared_ptr<FakeConnection> connection;
  // The last receivable header handed to GenerateReceivable.
  std::shared_ptr<ReceivableHeader> lastReceivable;
};

// Installs a new FakeFactory, discards this thread's module state so the next
// object runs the start-up against the fakes, and uninstalls on destruction.
class FakeSuite {
 public:
  FakeSuite();
  ~FakeSuite();
  Script& GetScript() { return *factory->script; }
  FakeConnection& GetConnection() { return *factory->connection; }
  std::shared_ptr<FakeFactory> factory;
};

}  // namespace apartado::testing
