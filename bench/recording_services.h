#pragma once
// The reference suite with the session's connection wrapped, so that the
// benchmark learns what the component asked of it: every statement text, and
// every transaction a host opened around the component's operations.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apartado/database.h"
#include "apartado/recordset.h"
#include "apartado/services.h"

namespace apartado::bench {

// One thing asked of the session's connection.
struct Step {
  enum class Kind { Statement, Begin, Commit, Rollback };
  Kind kind = Kind::Statement;
  std::string text;  // Statement only
};

// Runs the steps straight on db, as the session's connection ran them: each
// statement's text through the database's connection, each transaction (a
// savepoint when nested) through the database itself, which sends SQLite the
// same BEGIN IMMEDIATE, SAVEPOINT, RELEASE and COMMIT the component's
// database sent.
void Replay(Database& db, const std::vector<Step>& steps);

// Records what is asked, passing each request on unchanged.
class RecordingConnection : public Connection {
 public:
  RecordingConnection(Connection& inner, std::vector<Step>& log) : inner_(inner), log_(log) {}
  std::unique_ptr<Recordset> Execute(const std::string& text) override;
  void BeginTrans() override;
  void CommitTrans() override;
  void RollbackTrans() override;
  int TransactionDepth() const override { return inner_.TransactionDepth(); }
  TransactionHealth Health() const override { return inner_.Health(); }
  void HoldLayaway(const std::string& Ap_Folio) override { inner_.HoldLayaway(Ap_Folio); }
  void HoldStock(const std::vector<StockRowKey>& keys) override { inner_.HoldStock(keys); }
  bool logEnabled = false;

 private:
  void Log(Step::Kind kind, const std::string& text = {}) {
    if (logEnabled) log_.push_back({kind, text});
  }
  Connection& inner_;
  std::vector<Step>& log_;
};

class RecordingSession : public SessionServices {
 public:
  RecordingSession(std::shared_ptr<SessionServices> inner, std::vector<Step>& log, bool& enabled)
      : inner_(std::move(inner)), log_(log), enabled_(enabled) {}
  Connection& GetConnection() override;
  std::string GetOperator() override { return inner_->GetOperator(); }
  Variant ReadParameter(const std::string& n, std::int32_t w, const std::string& k, const std::string& d) override {
    return inner_->ReadParameter(n, w, k, d);
  }
  std::string GetServerId() override { return inner_->GetServerId(); }
  Boolean IsRemoteServer() override { return inner_->IsRemoteServer(); }
  void ReportMessage(const std::string& m, std::int32_t s, const std::string& t, const std::optional<Variant>& h,
                     const std::string& c, const std::string& e) override {
    inner_->ReportMessage(m, s, t, h, c, e);
  }

 private:
  std::shared_ptr<SessionServices> inner_;
  std::vector<Step>& log_;
  bool& enabled_;
  std::unique_ptr<RecordingConnection> recorder_;
  Connection* wrapped_ = nullptr;
};

// The reference suite, with the session's connection wrapped to record.
class RecordingFactory : public ServiceFactory {
 public:
  explicit RecordingFactory(std::shared_ptr<ServiceFactory> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<SessionServices> CreateSessionServices() override {
    return std::make_shared<RecordingSession>(inner_->CreateSessionServices(), log, recording);
  }
  std::shared_ptr<CatalogServices> CreateCatalogServices() override { return inner_->CreateCatalogServices(); }
  std::shared_ptr<WarehouseServices> CreateWarehouseServices() override { return inner_->CreateWarehouseServices(); }
  std::unique_ptr<TaxCalculator> CreateTaxCalculator() override { return inner_->CreateTaxCalculator(); }
  std::unique_ptr<ReceivableDocument> CreateReceivableDocument() override { return inner_->CreateReceivableDocument(); }
  std::unique_ptr<SeriesAssignment> CreateSeriesAssignment() override { return inner_->CreateSeriesAssignment(); }
  std::unique_ptr<LotAssignment> CreateLotAssignment() override { return inner_->CreateLotAssignment(); }

  std::vector<Step> log;
  bool recording = false;

 private:
  std::shared_ptr<ServiceFactory> inner_;
};

}  // namespace apartado::bench
