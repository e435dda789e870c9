#include <ostream>

#include "apartado/database.h"
#include "apartado/suite.h"
#include "commands.h"
#include "output.h"

namespace apartado::cli {

int InitCommand(Host& host) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening());
  suite::CreateSchema(*db);
  if (host.options.json) {
    PrintJson(host.out, OperationJson(true, ""));
  } else {
    host.out << "The suite schema is ready in " << host.options.connectionString << ".\n";
  }
  return kExitOk;
}

}  // namespace apartado::cli
