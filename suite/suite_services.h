#pragma once
#include <memory>
#include <string>

#include "apartado/services.h"
#include "suite_context.h"

// The reference services over the suite database. Each holds the calling
// thread's connection of its factory (suite_context.h); refusals answer False
// and leave their text for GetErrorText, database errors throw Failure.
namespace apartado::suite {

class SuiteSessionServices final : public SessionServices, private ServiceBase {
 public:
  explicit SuiteSessionServices(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  Connection& GetConnection() override;
  std::string GetOperator() override;
  Variant ReadParameter(const std::string& name, std::int32_t whole, const std::string& kind,
                        const std::string& defaultText) override;
  std::string GetServerId() override;
  Boolean IsRemoteServer() override;
  void ReportMessage(const std::string& message, std::int32_t style, const std::string& title,
                     const std::optional<Variant>& helpContext, const std::string& componentName,
                     const std::string& errorId) override;
};

class SuiteCatalogServices final : public CatalogServices, private ServiceBase {
 public:
  explicit SuiteCatalogServices(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  std::string LookupValue(const std::string& table, const std::string& keyColumn, const std::string& keyValue,
                          const std::string& resultColumn, std::int32_t whole, const std::string& keyColumn2,
                          const std::string& keyValue2, const std::string& excludedStatus) override;
  Date GetCurrentDate() override;
  std::string FormatDateForSql(Date date) override;
  std::string FormatDateTimeForSql(Date date) override;
  Variant GetNextFolio(const std::string& branch, const std::string& documentKind, std::int32_t width,
                       std::int32_t flag) override;
  Boolean CheckProductSize(const std::string& product, const std::string& size) override;
  Boolean CheckProductColour(const std::string& product, const std::string& colour) override;
  Boolean CheckProductSizeColour(const std::string& product, const std::string& size,
                                 const std::string& colour) override;
  double GetUnitFactor(const std::string& product, const std::string& fromUnit, const std::string& toUnit) override;
  void CalculateLineAmounts(double& quantity, double& listPrice, double& listPriceAmount, double& discountFactor,
                            double& discountAmount, double& discountedPrice, double& discountedAmount,
                            double& globalDiscountFactor, double& globalDiscountAmount, double& taxFactor,
                            double& taxAmount, double& netPrice, double& netAmount, std::int16_t mode) override;
  Boolean AddFollowUpHistory(const std::string& application, const std::string& documentKind, const std::string& folio,
                             const std::string& entityKind, const std::string& entityKey, Date date,
                             const std::string& description) override;
  Boolean NotifyDocument(const std::string& documentKind, const std::string& folio, const std::string& text) override;
  std::string GetErrorText() override { return errorText_; }

 private:
  Boolean Refuse(std::string text);
  std::string errorText_;
};

class SuiteWarehouseServices final : public WarehouseServices, private ServiceBase {
 public:
  explicit SuiteWarehouseServices(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  Boolean HandlesSizes(const std::string& branch, const std::string& warehouse) override;
  Boolean HandlesColours(const std::string& branch, const std::string& warehouse) override;
  Boolean HandlesLots(const std::string& branch, const std::string& warehouse) override;
  Boolean HandlesSeries(const std::string& branch, const std::string& warehouse) override;
  double GetStock(const std::string& branch, const std::string& warehouse, const std::string& product,
                  const std::string& size, const std::string& colour, std::int32_t control,
                  const std::string& extra) override;
  double GetCost(const std::string& branch, const std::string& warehouse, const std::string& product,
                 const std::string& size, const std::string& colour, double quantity,
                 const std::string& extra) override;
  std::string PickAutomaticLot(std::string branch, std::string warehouse, std::string product, std::string size,
                               std::string colour, double quantity, double quantity2) override;

 private:
  Boolean WarehouseFlag(const char* column, const std::string& branch, const std::string& warehouse);
};

class SuiteTaxCalculator final : public TaxCalculator, private ServiceBase {
 public:
  explicit SuiteTaxCalculator(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  double GetTaxFactor(const std::string& branch, const std::string& customer, const std::string& product) override;
};

class SuiteReceivableDocument final : public ReceivableDocument, private ServiceBase {
 public:
  explicit SuiteReceivableDocument(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  Boolean GenerateReceivable(ReceivableHeader& header, Boolean flag1, Boolean flag2) override;
  Boolean CancelReceivable(const std::string& documentKind, const std::string& folio) override;
  std::string GetErrorText() override { return errorText_; }

 private:
  bool InsertReceivable(ReceivableHeader& header, bool inCallersTransaction);
  std::string errorText_;
};

class SuiteSeriesAssignment final : public SeriesAssignment, private ServiceBase {
 public:
  explicit SuiteSeriesAssignment(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  Boolean AssignSeries(const std::string& documentKind, const std::string& folio, const std::string& lineId,
                       const std::string& product, const std::string& size, const std::string& colour,
                       const std::string& serial, const std::string& customsDocument, Date customsDate,
                       std::int16_t quantity) override;
  std::string GetErrorText() override { return errorText_; }

 private:
  std::string errorText_;
};

class SuiteLotAssignment final : public LotAssignment, private ServiceBase {
 public:
  explicit SuiteLotAssignment(std::shared_ptr<const SuiteContext> context) : ServiceBase(std::move(context)) {}
  Boolean AssignLot(const std::string& documentKind, const std::string& folio, const std::string& lineId,
                    const std::string& product, const std::string& size, const std::string& colour,
                    const std::string& lot, double quantity1, double quantity2) override;
  std::string GetErrorText() override { return errorText_; }

 private:
  std::string errorText_;
};

}  // namespace apartado::suite
