#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "apartado/boolean.h"
#include "apartado/failure.h"
#include "apartado/services.h"

namespace apartado {

// A service component the module state holds. When the start-up failed before
// creating it, asking it fails like any other service failure (the asking
// operation's failure path takes it) instead of touching a null reference.
template <typename Service>
class ServiceRef {
 public:
  ServiceRef& operator=(std::shared_ptr<Service> service) {
    service_ = std::move(service);
    return *this;
  }
  Service& operator*() const {
    if (!service_) throw Failure("Object variable or With block variable not set");
    return *service_;
  }
  Service* operator->() const { return &**this; }

 private:
  std::shared_ptr<Service> service_;
};

// The module state every Apartado object of one thread shares.
struct ModuleState {
  // Scratch text in which each statement is built before it runs.
  std::string SqlText;
  ServiceRef<apartado::SessionServices> SessionServices;
  ServiceRef<apartado::CatalogServices> CatalogServices;
  // Replaced by a new instance each time an object is constructed.
  ServiceRef<apartado::WarehouseServices> WarehouseServices;
  std::string CurrentServerId;
  std::int16_t AmountCalculationMode = 0;
  Boolean AutomaticLots = kFalse;
  // Whether the start-up has run on this thread (it runs once, even if it failed).
  bool StartupRan = false;
};

// This thread's module state.
ModuleState& Publico();

// The start-up: creates the three shared services, reads the server id and
// the two parameters. A failure ends it at that step and propagates.
void Main();

// Runs Main on this thread unless it already ran.
void EnsureStarted();

}  // namespace apartado
