// Capture throughput of the component on SQLite with the reference suite,
// next to the floor: the same statements the component sends, executed
// straight on an identical database without the component. Both ways a host
// may run the capture are measured: every statement committing on its own,
// and one transaction per layaway with a savepoint per line. Then the
// per-line cost as the Apartado table grows, one transaction per layaway.
//
//   capture_bench [--lines N] [--sizes 1000,10000,100000,1000000|''] [--rounds N] [--only memory|file]
//                 [--mode autocommit|layaway] [--no-pin] [--quick]
//
// --mode measures one way only; --sizes '' leaves out the growth.
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/database.h"
#include "apartado/failure.h"
#include "apartado/suite.h"
#include "capture_workload.h"
#include "recording_services.h"

namespace {

using namespace apartado;
using namespace apartado::bench;
using Clock = std::chrono::steady_clock;

double RunSteps(Database& db, const std::vector<bench::Step>& steps) {
  const auto start = Clock::now();
  bench::Replay(db, steps);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("apartado-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

// The component keeps its services once per thread: each measurement runs on
// a thread of its own so that it starts with the factory installed for it.
// The databases it uses are opened here and used by one thread at a time.
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

struct Figures {
  double component = 0;  // seconds per line, median of the rounds
  double floor = 0;
  double ratio = 0;            // median of the rounds' ratios
  double keptAnswers = 0;      // kept answers the component's connection gave, per line
  std::size_t statements = 0;  // the component's own, per round
};

struct Comparison {
  std::vector<std::pair<Mode, Figures>> byMode;
  // Median of the rounds' autocommit / per-layaway component times, when
  // both were measured.
  std::optional<double> speedUp;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Component capture against the floor, each on its own fresh database, in
// each of the given ways a host may run it. The floor replays what the
// component's connection was asked: in autocommit every statement on its
// own; per layaway the same statements inside the same transactions, the
// savepoint of every line included, so that the floor runs everything SQLite
// was sent on the component's behalf. Component and floor, and the ways
// (which goes first takes turns), alternate round by round on the same
// thread, so that all meet the same machine: a VM's neighbours move single
// figures by tens of percent.
Comparison CompareWithFloor(const std::string& componentPath, const std::string& floorPath,
                            const std::vector<Mode>& modes, int lines, int rounds) {
  std::shared_ptr<Database> componentDb = Database::Open(componentPath);
  LoadCatalogue(*componentDb);
  auto floorDb = Database::Open(floorPath);
  LoadCatalogue(*floorDb);
  suite::SuiteOptions options;
  options.database = componentDb;
  auto factory = std::make_shared<bench::RecordingFactory>(suite::MakeSuiteFactory(options));
  InstallServiceFactory(factory);
  struct Rounds {
    std::vector<double> component, floor, ratio, kept;
    std::size_t statements = 0;
  };
  std::vector<Rounds> byMode(modes.size());
  auto measure = [&](Apartado& layaway, Mode mode, Rounds& into) {
    factory->log.clear();
    factory->recording = true;
    const std::uint64_t keptBefore = componentDb->KeptAnswersGiven();
    const double c = CaptureLines(layaway, lines, mode) / lines;
    into.kept.push_back(static_cast<double>(componentDb->KeptAnswersGiven() - keptBefore) / lines);
    factory->recording = false;
    // The recorded folios are new to the floor's database, and the stock
    // updates are relative, so the statements replay as they ran.
    const double fl = RunSteps(*floorDb, factory->log) / lines;
    into.component.push_back(c);
    into.floor.push_back(fl);
    into.ratio.push_back(c / fl);
    into.statements = 0;
    for (const bench::Step& step : factory->log) into.statements += step.kind == bench::Step::Kind::Statement;
  };
  OnFreshThread([&] {
    Apartado layaway;
    // Warm-up: caches, prepared statements.
    for (const Mode mode : modes) CaptureLines(layaway, std::min(lines, 100), mode);
    for (int r = 0; r < rounds; ++r) {
      for (std::size_t k = 0; k < modes.size(); ++k) {
        const std::size_t m = r % 2 == 0 ? k : modes.size() - 1 - k;
        measure(layaway, modes[m], byMode[m]);
      }
    }
  });
  InstallServiceFactory(nullptr);
  Comparison c;
  for (std::size_t m = 0; m < modes.size(); ++m) {
    const Rounds& r = byMode[m];
    c.byMode.push_back(
        {modes[m], {Median(r.component), Median(r.floor), Median(r.ratio), Median(r.kept), r.statements}});
  }
  if (modes.size() == 2) {
    const Rounds& a = byMode[modes[0] == Mode::Autocommit ? 0 : 1];
    const Rounds& b = byMode[modes[0] == Mode::Autocommit ? 1 : 0];
    std::vector<double> speedUp;
    for (int r = 0; r < rounds; ++r) speedUp.push_back(a.component[r] / b.component[r]);
    c.speedUp = Median(speedUp);
  }
  return c;
}

void PrintComparison(const char* label, const Comparison& c) {
  for (const auto& [mode, f] : c.byMode) {
    std::printf(
        "%-14s %-12s component %7.1f us/line (%6.0f lines/s)   floor %7.1f us/line (%6.0f lines/s)   ratio %.2f"
        "   kept answers %4.1f/line   [%zu statements a round]\n",
        &mode == &c.byMode.front().first ? label : "", ModeName(mode), 1e6 * f.component, 1 / f.component,
        1e6 * f.floor, 1 / f.floor, f.ratio, f.keptAnswers, f.statements);
  }
  if (c.speedUp) std::printf("%-14s component per layaway is %.2fx as fast as in autocommit\n", "", *c.speedUp);
}

// Seconds per line captured into Apartado tables prefilled with each size of
// rows. The sizes take turns round by round, so that a slow spell of the
// machine falls on all of them alike.
std::vector<double> GrowthPerLine(const std::vector<long>& sizes, bool onFile, int lines, int rounds) {
  struct Grown {
    std::string path;
    std::shared_ptr<Database> db;
    std::vector<double> perLine;
  };
  std::vector<Grown> grown;
  for (const long size : sizes) {
    const std::string path = onFile ? TempPath("grow-" + std::to_string(size) + ".db") : ":memory:";
    if (onFile) RemoveDatabase(path);
    grown.push_back({path, Database::Open(path), {}});
    LoadCatalogue(*grown.back().db);
    Prefill(*grown.back().db, size);
  }
  const int perRound = std::max(1, lines / rounds);
  for (int r = 0; r < rounds; ++r) {
    for (Grown& g : grown) {
      suite::SuiteOptions options;
      options.database = g.db;
      InstallServiceFactory(suite::MakeSuiteFactory(options));
      OnFreshThread([&] {
        Apartado layaway;
        CaptureLines(layaway, std::min(perRound, 100), Mode::PerLayaway);
        g.perLine.push_back(CaptureLines(layaway, perRound, Mode::PerLayaway) / perRound);
      });
      InstallServiceFactory(nullptr);
    }
  }
  std::vector<double> medians;
  for (Grown& g : grown) {
    medians.push_back(Median(g.perLine));
    g.db.reset();
    if (onFile) RemoveDatabase(g.path);
  }
  return medians;
}

// Keeps this thread, and every thread it starts, on the CPU it runs on now:
// on a VM one virtual CPU can be slower than another for a while, and fresh
// measuring threads would otherwise land on either. Answers the CPU, or -1.
int PinToCurrentCpu() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return -1;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0 ? cpu : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 5000;
  int rounds = 5;
  std::vector<long> sizes = {1000, 10000, 100000, 1000000};
  bool memory = true, file = true, pin = true;
  std::vector<Mode> modes = {Mode::Autocommit, Mode::PerLayaway};
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--lines" && i + 1 < argc) {
      lines = std::atoi(argv[++i]);
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      std::stringstream in(argv[++i]);
      for (std::string s; std::getline(in, s, ',');) sizes.push_back(std::atol(s.c_str()));
    } else if (a == "--only" && i + 1 < argc &&
               (argv[i + 1] == std::string("memory") || argv[i + 1] == std::string("file"))) {
      memory = argv[++i] == std::string("memory");
      file = !memory;
    } else if (a == "--mode" && i + 1 < argc &&
               (argv[i + 1] == std::string("autocommit") || argv[i + 1] == std::string("layaway"))) {
      modes = {argv[++i] == std::string("autocommit") ? Mode::Autocommit : Mode::PerLayaway};
    } else if (a == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--no-pin") {
      pin = false;
    } else if (a == "--quick") {
      lines = 300;
      rounds = 1;
      sizes = {1000, 10000};
    } else {
      std::cerr << "usage: capture_bench [--lines N] [--sizes N,N,...|''] [--rounds N] [--only memory|file] "
                   "[--mode autocommit|layaway] [--no-pin] [--quick]\n";
      return 2;
    }
  }
  try {
    const int cpu = pin ? PinToCurrentCpu() : -1;
    std::printf("Capture on SQLite with the reference suite, %d lines in layaways of %d lines; median of %d rounds",
                lines, kLinesPerLayaway, rounds);
    if (cpu >= 0) std::printf("; every thread on CPU %d", cpu);
    std::printf(
        "\n  autocommit:  no transaction, every statement commits on its own\n"
        "  per layaway: one transaction per layaway, a savepoint per line (as the command-line host captures)\n"
        "  floor: the component's statements replayed straight, in the same transactions and savepoints\n"
        "  kept answers: look-ups the component's connection answered from its kept answers\n\n");
    // Each Database::Open of ":memory:" is a database of its own.
    if (memory) PrintComparison("in memory", CompareWithFloor(":memory:", ":memory:", modes, lines, rounds));
    if (file) {
      const std::string a = TempPath("component.db"), b = TempPath("floor.db");
      PrintComparison("on file (WAL)", CompareWithFloor(a, b, modes, lines, rounds));
      RemoveDatabase(a);
      RemoveDatabase(b);
    }

    for (const bool onFile : {false, true}) {
      if (sizes.empty() || (onFile ? !file : !memory)) continue;
      std::printf(
          "\nPer-line cost as the Apartado table grows (%s, one transaction per layaway, %d lines captured at "
          "each size, median of %d rounds)\n",
          onFile ? "on file" : "in memory", lines, rounds);
      const std::vector<double> perLine = GrowthPerLine(sizes, onFile, lines, rounds);
      for (std::size_t i = 0; i < sizes.size(); ++i)
        std::printf("  %8ld stored rows: %8.1f us/line\n", sizes[i], 1e6 * perLine[i]);
    }
  } catch (const std::exception& e) {
    std::cerr << "capture_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
