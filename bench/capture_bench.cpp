// Capture throughput of the component on SQLite with the reference suite,
// next to the floor: the same statements the component sends, executed
// straight on an identical database without the component. Both ways a host
// may run the capture are measured: every statement committing on its own,
// and one transaction per layaway with a savepoint per line. Then the
// per-line cost as the Apartado table grows, one transaction per layaway.
// With --pg, the same comparison on a PostgreSQL server, and concurrent
// clients there (postgres_bench.h).
//
//   capture_bench [--lines N] [--sizes 1000,10000,100000,1000000|''] [--rounds N] [--only memory|file|pg]
//                 [--mode autocommit|layaway] [--no-pin] [--quick]
//                 [--pg URI [--pg-lines N] [--clients 1,2,4,8] [--client-lines N] [--client-rounds N]]
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
#include "floor_comparison.h"
#include "postgres_bench.h"

namespace {

using namespace apartado;
using namespace apartado::bench;
std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("apartado-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
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

std::vector<int> Numbers(const std::string& list) {
  std::vector<int> numbers;
  std::stringstream in(list);
  for (std::string s; std::getline(in, s, ',');) numbers.push_back(std::max(1, std::atoi(s.c_str())));
  return numbers;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 5000;
  int rounds = 5;
  std::vector<long> sizes = {1000, 10000, 100000, 1000000};
  bool memory = true, file = true, pin = true, postgresOnly = false;
  std::vector<Mode> modes = {Mode::Autocommit, Mode::PerLayaway};
  PostgresBench pg;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--pg" && i + 1 < argc) {
      pg.uri = argv[++i];
    } else if (a == "--pg-lines" && i + 1 < argc) {
      pg.lines = std::max(kLinesPerLayaway, std::atoi(argv[++i]));
    } else if (a == "--clients" && i + 1 < argc) {
      pg.clients = Numbers(argv[++i]);
    } else if (a == "--client-lines" && i + 1 < argc) {
      pg.clientLines = std::max(kLinesPerLayaway, std::atoi(argv[++i]));
    } else if (a == "--client-rounds" && i + 1 < argc) {
      pg.clientRounds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--only" && i + 1 < argc && argv[i + 1] == std::string("pg")) {
      postgresOnly = true;
      ++i;
    } else if (a == "--lines" && i + 1 < argc) {
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
      pg.lines = 300;
      pg.rounds = 1;
      pg.clients = {1, 2, 4};
      pg.clientLines = 100;
    } else {
      std::cerr << "usage: capture_bench [--lines N] [--sizes N,N,...|''] [--rounds N] [--only memory|file|pg] "
                   "[--mode autocommit|layaway] [--no-pin] [--quick]\n"
                   "                     [--pg URI [--pg-lines N] [--clients N,N,...] [--client-lines N] "
                   "[--client-rounds N]]\n";
      return 2;
    }
  }
  pg.modes = modes;
  pg.rounds = rounds;
  if (postgresOnly) {
    if (pg.uri.empty()) {
      std::cerr << "capture_bench: --only pg needs --pg URI\n";
      return 2;
    }
    memory = file = false;
    sizes.clear();
  }
  try {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) == 3)
      std::printf("Machine: %u CPUs, load average %.2f %.2f %.2f\n", std::thread::hardware_concurrency(), load[0],
                  load[1], load[2]);
    cpu_set_t everyCpu;
    sched_getaffinity(0, sizeof everyCpu, &everyCpu);
    const int cpu = pin && (memory || file) ? PinToCurrentCpu() : -1;
    std::printf("Capture with the reference suite in layaways of %d lines", kLinesPerLayaway);
    if (cpu >= 0) std::printf("; every SQLite measuring thread on CPU %d", cpu);
    std::printf(
        "\n  autocommit:  no transaction, every statement commits on its own\n"
        "  per layaway: one transaction per layaway, a savepoint per line (as the command-line host captures)\n"
        "  floor: the component's statements replayed straight, in the same transactions and savepoints\n"
        "  kept answers: look-ups the component's connection answered from its kept answers\n");
    if (memory || file) std::printf("\nSQLite, %d lines; median of %d rounds\n", lines, rounds);
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
    if (!pg.uri.empty()) {
      // The server's processes and the concurrent clients use every CPU.
      sched_setaffinity(0, sizeof everyCpu, &everyCpu);
      RunPostgresBench(pg);
      if (getloadavg(load, 3) == 3) std::printf("Load average at the end: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
    }
  } catch (const std::exception& e) {
    std::cerr << "capture_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
