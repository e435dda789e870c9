#pragma once
// The component's capture against its floor: the statements the component
// sent, executed straight on an identical database without the component.
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture_workload.h"
#include "server_cpu.h"

namespace apartado::bench {

struct Figures {
  double component = 0;  // seconds per line, median of the rounds
  double floor = 0;
  double ratio = 0;             // median of the rounds' ratios
  double keptAnswers = 0;       // kept answers the component's connection gave, per line
  double componentSent = 0;     // statements sent to the database per line, the suite's and the folios' included
  double floorSent = 0;         // the floor's, per line
  double componentServer = -1;  // server CPU seconds per line; negative when not read
  double floorServer = -1;
  double componentClient = 0;  // this process's CPU seconds per line
  double floorClient = 0;
  std::size_t statements = 0;  // the component's own, per round
};

struct Comparison {
  std::vector<std::pair<Mode, Figures>> byMode;
  // Median of the rounds' autocommit / per-layaway component times, when
  // both were measured.
  std::optional<double> speedUp;
};

double Median(std::vector<double> values);

// Component capture against the floor, each on its own fresh database (the
// connection strings), in each of the given ways a host may run it. The
// floor replays what the component's connection was asked: in autocommit
// every statement on its own; per layaway the same statements inside the
// same transactions, the savepoint of every line included, so that the
// floor runs everything the database was sent on the component's behalf.
// Component and floor, and the ways (which goes first takes turns),
// alternate round by round on the same thread, so that all meet the same
// machine. With serverCpu, the server's CPU for each is read too.
Comparison CompareWithFloor(const std::string& component, const std::string& floor, const std::vector<Mode>& modes,
                            int lines, int rounds, ServerCpu* serverCpu = nullptr);

// The component keeps its services once per thread: each measurement runs on
// a thread of its own so that it starts with the factory installed for it.
template <typename Work>
void OnFreshThread(Work work) {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace apartado::bench
