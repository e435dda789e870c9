#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "apartado/boolean.h"
#include "apartado/date.h"
#include "apartado/export.h"
#include "apartado/recordset.h"
#include "apartado/records.h"
#include "apartado/variant.h"

// The suite's service components that the layaway component calls. Every
// operation may throw Failure; the calling operation's failure path turns it
// into its error text. Flags are the 16-bit Boolean: the component counts -1
// as true, and only some callers accept any non-zero value.
namespace apartado {

// Connection, operator, parameters, server identity, message reporting.
class APARTADO_EXPORT SessionServices {
 public:
  virtual ~SessionServices() = default;
  // The session's open connection; asked again before every statement.
  virtual Connection& GetConnection() = 0;
  virtual std::string GetOperator() = 0;
  // The stored value of a parameter, or defaultText when it is not configured.
  // kind is "N" (number) or "B" (yes/no).
  virtual Variant ReadParameter(const std::string& name, std::int32_t whole, const std::string& kind,
                                const std::string& defaultText) = 0;
  virtual std::string GetServerId() = 0;
  // True when the session does not run on the central server.
  virtual Boolean IsRemoteServer() = 0;
  // Shows or logs a message for the operator. helpContext is the omitted
  // optional argument (std::nullopt when omitted).
  virtual void ReportMessage(const std::string& message, std::int32_t style, const std::string& title,
                             const std::optional<Variant>& helpContext, const std::string& componentName,
                             const std::string& errorId) = 0;
};

// Catalogue look-ups, folios, dates and line amounts.
class APARTADO_EXPORT CatalogServices {
 public:
  virtual ~CatalogServices() = default;
  // The resultColumn of the row of table whose keyColumn (and keyColumn2, when
  // given) matches; "" when there is no such row or, when excludedStatus is
  // given, when the row carries that status.
  virtual std::string LookupValue(const std::string& table, const std::string& keyColumn,
                                  const std::string& keyValue, const std::string& resultColumn,
                                  std::int32_t whole, const std::string& keyColumn2,
                                  const std::string& keyValue2, const std::string& excludedStatus) = 0;
  virtual Date GetCurrentDate() = 0;
  virtual std::string FormatDateForSql(Date date) = 0;
  virtual std::string FormatDateTimeForSql(Date date) = 0;
  // The next folio of documentKind for the branch; an empty value on failure.
  virtual Variant GetNextFolio(const std::string& branch, const std::string& documentKind, std::int32_t width,
                               std::int32_t flag) = 0;
  virtual Boolean CheckProductSize(const std::string& product, const std::string& size) = 0;
  virtual Boolean CheckProductColour(const std::string& product, const std::string& colour) = 0;
  virtual Boolean CheckProductSizeColour(const std::string& product, const std::string& size,
                                         const std::string& colour) = 0;
  // Factor that converts a quantity in fromUnit into toUnit.
  virtual double GetUnitFactor(const std::string& product, const std::string& fromUnit,
                               const std::string& toUnit) = 0;
  // Fills the price, discount, tax and net amounts in place.
  virtual void CalculateLineAmounts(double& quantity, double& listPrice, double& listPriceAmount,
                                    double& discountFactor, double& discountAmount, double& discountedPrice,
                                    double& discountedAmount, double& globalDiscountFactor,
                                    double& globalDiscountAmount, double& taxFactor, double& taxAmount,
                                    double& netPrice, double& netAmount, std::int16_t mode) = 0;
  virtual Boolean AddFollowUpHistory(const std::string& application, const std::string& documentKind,
                                     const std::string& folio, const std::string& entityKind,
                                     const std::string& entityKey, Date date, const std::string& description) = 0;
  virtual Boolean NotifyDocument(const std::string& documentKind, const std::string& folio,
                                 const std::string& text) = 0;
  // Why the last operation of this component failed.
  virtual std::string GetErrorText() = 0;
};

// Per-warehouse capabilities, stock, costs and lots.
class APARTADO_EXPORT WarehouseServices {
 public:
  virtual ~WarehouseServices() = default;
  virtual Boolean HandlesSizes(const std::string& branch, const std::string& warehouse) = 0;
  virtual Boolean HandlesColours(const std::string& branch, const std::string& warehouse) = 0;
  virtual Boolean HandlesLots(const std::string& branch, const std::string& warehouse) = 0;
  virtual Boolean HandlesSeries(const std::string& branch, const std::string& warehouse) = 0;
  // Quantity on hand (available) in control unit 1 or 2.
  virtual double GetStock(const std::string& branch, const std::string& warehouse, const std::string& product,
                          const std::string& size, const std::string& colour, std::int32_t control,
                          const std::string& extra) = 0;
  // Unit cost for that quantity.
  virtual double GetCost(const std::string& branch, const std::string& warehouse, const std::string& product,
                         const std::string& size, const std::string& colour, double quantity,
                         const std::string& extra) = 0;
  // Key of the lot chosen for a line; "" when none.
  virtual std::string PickAutomaticLot(std::string branch, std::string warehouse, std::string product,
                                       std::string size, std::string colour, double quantity,
                                       double quantity2) = 0;
};

class APARTADO_EXPORT TaxCalculator {
 public:
  virtual ~TaxCalculator() = default;
  virtual double GetTaxFactor(const std::string& branch, const std::string& customer,
                              const std::string& product) = 0;
};

// The accounts-receivable header handed to ReceivableDocument. The members
// the layaway leaves empty (MemberN) belong to the receivable component.
struct ReceivableParty {
  std::string Key;
  std::string CostCentre;
  std::string LedgerAccount;
  apartado::UserDef UserDef;
  friend bool operator==(const ReceivableParty&, const ReceivableParty&) = default;
};
struct ReceivableCurrency {
  std::string CurrencyKey;
  std::string Member2;
  std::string Member3;
  friend bool operator==(const ReceivableCurrency&, const ReceivableCurrency&) = default;
};
struct ReceivableHeader {
  std::string Member1;
  Date DocumentDate = 0;
  Date DueDate = 0;
  std::string OriginTable;
  std::string OriginDocument;
  std::string Reference;
  std::string Comment;
  std::string Member8;
  ReceivableParty Branch;    // Branch.Key is the branch key
  ReceivableParty Customer;  // Customer.Key is the customer key
  double Subtotal1 = 0, Subtotal2 = 0, Subtotal3 = 0;
  double Tax1 = 0, Tax2 = 0, Tax3 = 0;
  double Total1 = 0, Total2 = 0, Total3 = 0;
  ReceivableCurrency Currency;
  double ExchangeRate = 0;
  std::string Member22;
  std::int64_t Member23 = 0;
  std::int16_t Member24 = 0;
  std::string Member25;
  friend bool operator==(const ReceivableHeader&, const ReceivableHeader&) = default;
};

class APARTADO_EXPORT ReceivableDocument {
 public:
  virtual ~ReceivableDocument() = default;
  // Non-zero when the receivable was created.
  virtual Boolean GenerateReceivable(ReceivableHeader& header, Boolean flag1, Boolean flag2) = 0;
  virtual Boolean CancelReceivable(const std::string& documentKind, const std::string& folio) = 0;
  virtual std::string GetErrorText() = 0;
};

class APARTADO_EXPORT SeriesAssignment {
 public:
  virtual ~SeriesAssignment() = default;
  virtual Boolean AssignSeries(const std::string& documentKind, const std::string& folio, const std::string& lineId,
                               const std::string& product, const std::string& size, const std::string& colour,
                               const std::string& serial, const std::string& customsDocument, Date customsDate,
                               std::int16_t quantity) = 0;
  virtual std::string GetErrorText() = 0;
};

class APARTADO_EXPORT LotAssignment {
 public:
  virtual ~LotAssignment() = default;
  virtual Boolean AssignLot(const std::string& documentKind, const std::string& folio, const std::string& lineId,
                            const std::string& product, const std::string& size, const std::string& colour,
                            const std::string& lot, double quantity1, double quantity2) = 0;
  virtual std::string GetErrorText() = 0;
};

// Creates the service components. A host installs one factory per process;
// the component asks it on whichever thread needs a component. Each Create
// may throw Failure, which reaches the caller as the failure of the step that
// asked for it.
class APARTADO_EXPORT ServiceFactory {
 public:
  virtual ~ServiceFactory() = default;
  virtual std::shared_ptr<SessionServices> CreateSessionServices() = 0;
  virtual std::shared_ptr<CatalogServices> CreateCatalogServices() = 0;
  virtual std::shared_ptr<WarehouseServices> CreateWarehouseServices() = 0;
  virtual std::unique_ptr<TaxCalculator> CreateTaxCalculator() = 0;
  virtual std::unique_ptr<ReceivableDocument> CreateReceivableDocument() = 0;
  virtual std::unique_ptr<SeriesAssignment> CreateSeriesAssignment() = 0;
  virtual std::unique_ptr<LotAssignment> CreateLotAssignment() = 0;
};

// Installs the factory the component uses from then on (threads that already
// started keep the services they created). Passing nullptr uninstalls it.
APARTADO_EXPORT void InstallServiceFactory(std::shared_ptr<ServiceFactory> factory);
// The installed factory, kept alive for the caller even if another thread
// installs a new one meanwhile; throws Failure when none is installed.
APARTADO_EXPORT std::shared_ptr<ServiceFactory> InstalledServiceFactory();

// Discards the calling thread's module state (the services and settings its
// start-up made), as when the library is unloaded from the thread: the next
// object created on the thread runs the start-up again, with the factory
// installed then. Objects of the thread still alive find no services from
// then on: their operations fail as after a start-up that failed.
APARTADO_EXPORT void DiscardModuleState();

}  // namespace apartado
