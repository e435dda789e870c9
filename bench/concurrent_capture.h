#pragma once
// Several clients capturing at once on one server database, each on a
// thread of its own with its own object and connection.
#include <string>

#include "server_cpu.h"

namespace apartado::bench {

inline constexpr int kClientProducts = 10;  // the products each client's lines take

struct ClientFigures {
  double linesPerSecond = 0;  // all clients together
  double clientCpu = 0;       // this process's CPU seconds per line
  double serverCpu = -1;      // the server's CPU seconds per line; negative when not read
};

// `clients` clients capture `linesPerClient` lines each, one transaction per
// layaway as the command-line host does, on products of their own
// (disjoint) or all on the same products (shared), timed from when all are
// ready. The database (connectionString) holds the catalogue of
// LoadCatalogue(db, 8 * kClientProducts) or more.
ClientFigures CaptureConcurrently(const std::string& connectionString, int clients, bool shared, int linesPerClient,
                                  ServerCpu* serverCpu);

}  // namespace apartado::bench
