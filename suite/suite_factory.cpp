#include <atomic>

#include "suite_services.h"

namespace apartado::suite {
namespace {

std::atomic<std::uint64_t> next_factory_id{1};

// Every service it creates works on the calling thread's connection of this
// factory (ThreadDatabase): SOCI sessions must not be shared across threads.
class SuiteFactory final : public ServiceFactory {
 public:
  explicit SuiteFactory(SuiteOptions options)
      : context_(std::make_shared<SuiteContext>(SuiteContext{std::move(options), next_factory_id++})) {}

  std::shared_ptr<SessionServices> CreateSessionServices() override {
    return std::make_shared<SuiteSessionServices>(context_);
  }
  std::shared_ptr<CatalogServices> CreateCatalogServices() override {
    return std::make_shared<SuiteCatalogServices>(context_);
  }
  std::shared_ptr<WarehouseServices> CreateWarehouseServices() override {
    return std::make_shared<SuiteWarehouseServices>(context_);
  }
  std::unique_ptr<TaxCalculator> CreateTaxCalculator() override {
    return std::make_unique<SuiteTaxCalculator>(context_);
  }
  std::unique_ptr<ReceivableDocument> CreateReceivableDocument() override {
    return std::make_unique<SuiteReceivableDocument>(context_);
  }
  std::unique_ptr<SeriesAssignment> CreateSeriesAssignment() override {
    return std::make_unique<SuiteSeriesAssignment>(context_);
  }
  std::unique_ptr<LotAssignment> CreateLotAssignment() override {
    return std::make_unique<SuiteLotAssignment>(context_);
  }

 private:
  std::shared_ptr<const SuiteContext> context_;
};

}  // namespace

std::shared_ptr<ServiceFactory> MakeSuiteFactory(SuiteOptions options) {
  return std::make_shared<SuiteFactory>(std::move(options));
}

}  // namespace apartado::suite
