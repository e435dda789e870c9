// Placeholder so the suite library links while the services are written.
#include "apartado/failure.h"
#include "apartado/suite.h"

namespace apartado::suite {
std::shared_ptr<ServiceFactory> MakeSuiteFactory(SuiteOptions) { throw Failure("not built yet"); }
void CreateSchema(Database&) { throw Failure("not built yet"); }
}  // namespace apartado::suite
