#pragma once
// The capture benchmark on a PostgreSQL server.
#include <string>
#include <vector>

#include "capture_workload.h"

namespace apartado::bench {

struct PostgresBench {
  std::string uri;  // the server's database; schemas of the benchmark's own are made (and dropped) in it
  std::vector<Mode> modes = {Mode::Autocommit, Mode::PerLayaway};
  int lines = 2000;  // per round of the floor comparison
  int rounds = 5;
  std::vector<int> clients = {1, 2, 4, 8};
  int clientLines = 1000;  // lines each concurrent client captures
  int clientRounds = 1;
};

// Prints the component's cost per line next to its floor (the component's
// own statements sent straight on one connection, in the same
// transactions), statements sent and server CPU per line, then the total
// lines per second of concurrent clients on disjoint and on shared products.
void RunPostgresBench(const PostgresBench& bench);

}  // namespace apartado::bench
