#include "support/fakes.h"

#include "apartado/failure.h"
#include "apartado/number_text.h"
#include "component/publico.h"

namespace apartado::testing {

std::string Call::Text() const {
  std::string text = operation + "(";
  for (std::size_t i = 0; i < args.size(); ++i) text += (i ? ", " : "") + args[i];
  return text + ")";
}

Variant Script::Record(const std::string& operation, std::vector<std::string> args, const Variant& fallback) {
  const int n = ++counts_[operation];
  const bool lookup = operation == "Catalog.LookupValue" && args.size() >= 4;
  const auto found = lookup ? lookups_.find({args[0], args[3]}) : lookups_.end();
  calls_.push_back({operation, std::move(args)});
  if (auto t = throws_.find({operation, n}); t != throws_.end()) throw Failure(t->second);
  if (auto a = numbered_.find({operation, n}); a != numbered_.end()) return a->second;
  if (found != lookups_.end()) return Variant::FromText(found->second);
  if (auto a = answers_.find(operation); a != answers_.end()) return a->second;
  return fallback;
}

std::vector<std::string> Script::CallTexts(const std::string& prefix) const {
  std::vector<std::string> texts;
  for (const Call& c : calls_)
    if (c.operation.compare(0, prefix.size(), prefix) == 0) texts.push_back(c.Text());
  return texts;
}

std::unique_ptr<Recordset> FakeConnection::Execute(const std::string& commandText) {
  statements_.push_back(commandText);
  script_->Record("Connection.Execute", {commandText}, Variant());
  const int n = static_cast<int>(statements_.size());
  if (auto f = failures_.find(n); f != failures_.end()) throw Failure(f->second);
  for (auto it = queued_.begin(); it != queued_.end(); ++it) {
    if (commandText.find(it->fragment) != std::string::npos) {
      auto rs = std::make_unique<TableRecordset>(it->columns, it->rows);
      queued_.erase(it);
      return rs;
    }
  }
  for (const Rows& r : always_)
    if (commandText.find(r.fragment) != std::string::npos) return std::make_unique<TableRecordset>(r.columns, r.rows);
  return std::make_unique<TableRecordset>();
}

void FakeConnection::Transaction(const std::string& statement, int depthChange) {
  statements_.push_back(statement);
  depth_ += depthChange;
}

namespace {

// An argument as the call log shows it: numbers in the general number form.
std::string Arg(const std::string& s) { return s; }
std::string Arg(double d) { return NumberText(d); }
std::string Arg(std::integral auto n) { return std::to_string(n); }

// The addresses of the amounts CalculateLineAmounts is handed, in order.
template <typename... Amounts>
std::vector<double*> Addresses(Amounts&... amounts) {
  return {&amounts...};
}

// What every fake does: its creation is recorded as the factory's call
// ("Factory.Create" + service), which the script may make fail; each of its
// operations records the call with its arguments and answers the script's
// value for it, or fallback. Dates are handed over as text.
class Fake {
 protected:
  Fake(std::shared_ptr<Script> s, const std::string& service) : s_(std::move(s)) {
    s_->Record("Factory.Create" + service, {}, Variant());
  }
  template <typename... Args>
  Variant Ask(const std::string& operation, const Variant& fallback, const Args&... args) {
    return s_->Record(operation, {Arg(args)...}, fallback);
  }
  std::shared_ptr<Script> s_;
};

class FakeSession : public SessionServices, Fake {
 public:
  FakeSession(std::shared_ptr<Script> s, std::shared_ptr<FakeConnection> c)
      : Fake(std::move(s), "SessionServices"), c_(std::move(c)) {}
  Connection& GetConnection() override {
    Ask("Session.GetConnection", Variant());
    return *c_;
  }
  std::string GetOperator() override { return Ask("Session.GetOperator", Text("OPER")).ToText(); }
  Variant ReadParameter(const std::string& name, std::int32_t whole, const std::string& kind,
                        const std::string& defaultText) override {
    return Ask("Session.ReadParameter", Text(defaultText), name, whole, kind, defaultText);
  }
  std::string GetServerId() override { return Ask("Session.GetServerId", Text("")).ToText(); }
  Boolean IsRemoteServer() override { return Ask("Session.IsRemoteServer", Flag(kFalse)).ToInteger(); }
  void ReportMessage(const std::string& message, std::int32_t style, const std::string& title,
                     const std::optional<Variant>& helpContext, const std::string& componentName,
                     const std::string& errorId) override {
    Ask("Session.ReportMessage", Variant(), message, style, title, helpContext ? helpContext->ToText() : "<omitted>",
        componentName, errorId);
    s_->reported.emplace_back(errorId, message);
  }

 private:
  std::shared_ptr<FakeConnection> c_;
};

class FakeCatalog : public CatalogServices, Fake {
 public:
  explicit FakeCatalog(std::shared_ptr<Script> s) : Fake(std::move(s), "CatalogServices") {}
  std::string LookupValue(const std::string& table, const std::string& keyColumn, const std::string& keyValue,
                          const std::string& resultColumn, std::int32_t whole, const std::string& keyColumn2,
                          const std::string& keyValue2, const std::string& excludedStatus) override {
    return Ask("Catalog.LookupValue", Text(""), table, keyColumn, keyValue, resultColumn, whole, keyColumn2, keyValue2,
               excludedStatus)
        .ToText();
  }
  Date GetCurrentDate() override {
    return Ask("Catalog.GetCurrentDate", Variant::FromDate(MakeDate(2026, 3, 10, 15, 30))).ToDate();
  }
  std::string FormatDateForSql(Date date) override {
    return Ask("Catalog.FormatDateForSql", Text(FormatDateTime(date)), FormatDateTime(date)).ToText();
  }
  std::string FormatDateTimeForSql(Date date) override {
    return Ask("Catalog.FormatDateTimeForSql", Text(FormatDateTime(date)), FormatDateTime(date)).ToText();
  }
  Variant GetNextFolio(const std::string& branch, const std::string& kind, std::int32_t width,
                       std::int32_t flag) override {
    return Ask("Catalog.GetNextFolio", Text("A0000001"), branch, kind, width, flag);
  }
  Boolean CheckProductSize(const std::string& p, const std::string& s) override {
    return Ask("Catalog.CheckProductSize", Flag(kTrue), p, s).ToInteger();
  }
  Boolean CheckProductColour(const std::string& p, const std::string& c) override {
    return Ask("Catalog.CheckProductColour", Flag(kTrue), p, c).ToInteger();
  }
  Boolean CheckProductSizeColour(const std::string& p, const std::string& s, const std::string& c) override {
    return Ask("Catalog.CheckProductSizeColour", Flag(kTrue), p, s, c).ToInteger();
  }
  double GetUnitFactor(const std::string& p, const std::string& from, const std::string& to) override {
    return Ask("Catalog.GetUnitFactor", Number(1), p, from, to).ToDouble();
  }
  void CalculateLineAmounts(double& quantity, double& listPrice, double& listPriceAmount, double& discountFactor,
                            double& discountAmount, double& discountedPrice, double& discountedAmount,
                            double& globalDiscountFactor, double& globalDiscountAmount, double& taxFactor,
                            double& taxAmount, double& netPrice, double& netAmount, std::int16_t mode) override {
    std::vector<double*> refs = Addresses(quantity, listPrice, listPriceAmount, discountFactor, discountAmount,
                                          discountedPrice, discountedAmount, globalDiscountFactor, globalDiscountAmount,
                                          taxFactor, taxAmount, netPrice, netAmount);
    std::vector<std::string> args;
    for (double* r : refs) args.push_back(Arg(*r));
    args.push_back(Arg(mode));
    s_->Record("Catalog.CalculateLineAmounts", std::move(args), Variant());
    if (s_->calculate) s_->calculate(refs, mode);
  }
  Boolean AddFollowUpHistory(const std::string& app, const std::string& kind, const std::string& folio,
                             const std::string& entityKind, const std::string& entityKey, Date date,
                             const std::string& description) override {
    return Ask("Catalog.AddFollowUpHistory", Flag(kTrue), app, kind, folio, entityKind, entityKey, FormatDateTime(date),
               description)
        .ToInteger();
  }
  Boolean NotifyDocument(const std::string& kind, const std::string& folio, const std::string& text) override {
    return Ask("Catalog.NotifyDocument", Flag(kTrue), kind, folio, text).ToInteger();
  }
  std::string GetErrorText() override { return Ask("Catalog.GetErrorText", Text("catalogue refused")).ToText(); }
};

class FakeWarehouse : public WarehouseServices, Fake {
 public:
  explicit FakeWarehouse(std::shared_ptr<Script> s) : Fake(std::move(s), "WarehouseServices") {}
  Boolean HandlesSizes(const std::string& b, const std::string& w) override { return Handles("Sizes", b, w); }
  Boolean HandlesColours(const std::string& b, const std::string& w) override { return Handles("Colours", b, w); }
  Boolean HandlesLots(const std::string& b, const std::string& w) override { return Handles("Lots", b, w); }
  Boolean HandlesSeries(const std::string& b, const std::string& w) override { return Handles("Series", b, w); }
  double GetStock(const std::string& b, const std::string& w, const std::string& p, const std::string& sz,
                  const std::string& c, std::int32_t control, const std::string& extra) override {
    return Ask("Warehouse.GetStock", Number(1000), b, w, p, sz, c, control, extra).ToDouble();
  }
  double GetCost(const std::string& b, const std::string& w, const std::string& p, const std::string& sz,
                 const std::string& c, double quantity, const std::string& extra) override {
    return Ask("Warehouse.GetCost", Number(0), b, w, p, sz, c, quantity, extra).ToDouble();
  }
  std::string PickAutomaticLot(std::string b, std::string w, std::string p, std::string sz, std::string c, double q,
                               double q2) override {
    return Ask("Warehouse.PickAutomaticLot", Text(""), b, w, p, sz, c, q, q2).ToText();
  }

 private:
  // A warehouse keeps no sizes, colours, lots or serial numbers unless told.
  Boolean Handles(const std::string& what, const std::string& b, const std::string& w) {
    return Ask("Warehouse.Handles" + what, Flag(kFalse), b, w).ToInteger();
  }
};

class FakeTax : public TaxCalculator, Fake {
 public:
  explicit FakeTax(std::shared_ptr<Script> s) : Fake(std::move(s), "TaxCalculator") {}
  double GetTaxFactor(const std::string& b, const std::string& c, const std::string& p) override {
    return Ask("Tax.GetTaxFactor", Number(0.16), b, c, p).ToDouble();
  }
};

class FakeReceivable : public ReceivableDocument, Fake {
 public:
  FakeReceivable(std::shared_ptr<Script> s, std::shared_ptr<ReceivableHeader> last)
      : Fake(std::move(s), "ReceivableDocument"), last_(std::move(last)) {}
  Boolean GenerateReceivable(ReceivableHeader& h, Boolean f1, Boolean f2) override {
    *last_ = h;
    return Ask("Receivable.GenerateReceivable", Flag(kTrue), h.OriginDocument, f1, f2).ToInteger();
  }
  Boolean CancelReceivable(const std::string& kind, const std::string& folio) override {
    return Ask("Receivable.CancelReceivable", Flag(kTrue), kind, folio).ToInteger();
  }
  std::string GetErrorText() override { return Ask("Receivable.GetErrorText", Text("receivable refused")).ToText(); }

 private:
  std::shared_ptr<ReceivableHeader> last_;
};

class FakeSeries : public SeriesAssignment, Fake {
 public:
  explicit FakeSeries(std::shared_ptr<Script> s) : Fake(std::move(s), "SeriesAssignment") {}
  Boolean AssignSeries(const std::string& kind, const std::string& folio, const std::string& line, const std::string& p,
                       const std::string& sz, const std::string& c, const std::string& serial,
                       const std::string& customs, Date customsDate, std::int16_t quantity) override {
    return Ask("Series.AssignSeries", Flag(kTrue), kind, folio, line, p, sz, c, serial, customs,
               FormatDateTime(customsDate), quantity)
        .ToInteger();
  }
  std::string GetErrorText() override { return Ask("Series.GetErrorText", Text("series refused")).ToText(); }
};

class FakeLot : public LotAssignment, Fake {
 public:
  explicit FakeLot(std::shared_ptr<Script> s) : Fake(std::move(s), "LotAssignment") {}
  Boolean AssignLot(const std::string& kind, const std::string& folio, const std::string& line, const std::string& p,
                    const std::string& sz, const std::string& c, const std::string& lot, double q1,
                    double q2) override {
    return Ask("Lot.AssignLot", Flag(kTrue), kind, folio, line, p, sz, c, lot, q1, q2).ToInteger();
  }
  std::string GetErrorText() override { return Ask("Lot.GetErrorText", Text("lot refused")).ToText(); }
};

}  // namespace

FakeFactory::FakeFactory()
    : script(std::make_shared<Script>()),
      connection(std::make_shared<FakeConnection>(script)),
      lastReceivable(std::make_shared<ReceivableHeader>()) {}

std::shared_ptr<SessionServices> FakeFactory::CreateSessionServices() {
  return std::make_shared<FakeSession>(script, connection);
}
std::shared_ptr<CatalogServices> FakeFactory::CreateCatalogServices() { return std::make_shared<FakeCatalog>(script); }
std::shared_ptr<WarehouseServices> FakeFactory::CreateWarehouseServices() {
  return std::make_shared<FakeWarehouse>(script);
}
std::unique_ptr<TaxCalculator> FakeFactory::CreateTaxCalculator() { return std::make_unique<FakeTax>(script); }
std::unique_ptr<ReceivableDocument> FakeFactory::CreateReceivableDocument() {
  return std::make_unique<FakeReceivable>(script, lastReceivable);
}
std::unique_ptr<SeriesAssignment> FakeFactory::CreateSeriesAssignment() { return std::make_unique<FakeSeries>(script); }
std::unique_ptr<LotAssignment> FakeFactory::CreateLotAssignment() { return std::make_unique<FakeLot>(script); }

FakeSuite::FakeSuite() : factory(std::make_shared<FakeFactory>()) {
  DiscardModuleState();
  InstallServiceFactory(factory);
}

FakeSuite::~FakeSuite() {
  DiscardModuleState();
  InstallServiceFactory(nullptr);
}

}  // namespace apartado::testing
