#include "component/publico.h"

namespace apartado {

ModuleState& Publico() {
  thread_local ModuleState state;
  return state;
}

void Main() {
  const std::shared_ptr<ServiceFactory> factory = InstalledServiceFactory();
  ModuleState& m = Publico();
  m.SessionServices = factory->CreateSessionServices();
  m.CatalogServices = factory->CreateCatalogServices();
  m.WarehouseServices = factory->CreateWarehouseServices();
  m.CurrentServerId = m.SessionServices->GetServerId();
  m.AmountCalculationMode = m.SessionServices->ReadParameter("PED_TIPO_CALCULO_IMPORTES", 0, "N", "1").ToInteger();
  m.AutomaticLots = m.SessionServices->ReadParameter("GEN_LOTE_AUTOMATICO", 0, "B", "0").ToBoolean();
}

void EnsureStarted() {
  ModuleState& m = Publico();
  if (m.StartupRan) return;
  m.StartupRan = true;
  Main();
}

void DiscardModuleState() { Publico() = ModuleState{}; }

}  // namespace apartado
