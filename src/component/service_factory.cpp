#include <mutex>

#include "apartado/failure.h"
#include "apartado/services.h"

namespace apartado {
namespace {
std::mutex factory_mutex;
std::shared_ptr<ServiceFactory> installed_factory;
}  // namespace

void InstallServiceFactory(std::shared_ptr<ServiceFactory> factory) {
  std::lock_guard lock(factory_mutex);
  installed_factory = std::move(factory);
}

std::shared_ptr<ServiceFactory> InstalledServiceFactory() {
  std::lock_guard lock(factory_mutex);
  if (!installed_factory) throw Failure("No service factory is installed: the host must install one first.");
  return installed_factory;
}

}  // namespace apartado
