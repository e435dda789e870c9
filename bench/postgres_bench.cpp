#include "postgres_bench.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "apartado/database.h"
#include "concurrent_capture.h"
#include "floor_comparison.h"
#include "server_cpu.h"

namespace apartado::bench {
namespace {

// The database of `uri` with `schema` alone on the search path.
std::string InSchema(const std::string& uri, const std::string& schema) {
  return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema;
}

std::string CpuText(double seconds) {
  if (seconds < 0) return "    n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%7.1f", 1e6 * seconds);
  return text;
}

const char* const kSchemas[] = {"apartado_bench_component", "apartado_bench_floor", "apartado_bench_clients"};

void PrintFloorComparison(const Comparison& c) {
  for (const auto& [mode, f] : c.byMode) {
    std::printf("  %-12s component %7.1f us/line (%5.0f lines/s)  floor %7.1f us/line (%5.0f lines/s)  ratio %.2f\n",
                ModeName(mode), 1e6 * f.component, 1 / f.component, 1e6 * f.floor, 1 / f.floor, f.ratio);
    std::printf("  %-12s statements sent per line: component %.2f, floor %.2f   [%zu component statements a round]\n",
                "", f.componentSent, f.floorSent, f.statements);
    std::printf("  %-12s CPU us/line, server: component %s, floor %s; this process: component %s, floor %s\n", "",
                CpuText(f.componentServer).c_str(), CpuText(f.floorServer).c_str(), CpuText(f.componentClient).c_str(),
                CpuText(f.floorClient).c_str());
  }
}

}  // namespace

void RunPostgresBench(const PostgresBench& bench) {
  auto admin = Database::Open(bench.uri);
  for (const char* schema : kSchemas)
    admin->RunScript(std::string("DROP SCHEMA IF EXISTS ") + schema + " CASCADE; CREATE SCHEMA " + schema);
  ServerCpu serverCpu(bench.uri);
  ServerCpu* cpu = serverCpu.Readable() ? &serverCpu : nullptr;

  std::printf(
      "\nPostgreSQL (%s), %d lines in layaways of %d lines; median of %d rounds, component and floor alternating\n"
      "  floor: the component's own statements sent straight on one connection, in the same transactions\n"
      "  statements sent: every statement of the process's connections (suite look-ups, row locks, folios,\n"
      "  transaction control); server CPU: the server processes of the database's sessions%s\n",
      bench.uri.c_str(), bench.lines, kLinesPerLayaway, bench.rounds, cpu ? "" : " (not readable here)");
  PrintFloorComparison(CompareWithFloor(InSchema(bench.uri, kSchemas[0]), InSchema(bench.uri, kSchemas[1]), bench.modes,
                                        bench.lines, bench.rounds, cpu));

  const std::string clients = InSchema(bench.uri, kSchemas[2]);
  int most = 1;
  for (const int n : bench.clients) most = std::max(most, n);
  LoadCatalogue(*Database::Open(clients), most * kClientProducts);
  std::printf(
      "\nConcurrent clients on PostgreSQL: each a thread with its own connection capturing %d lines, one\n"
      "transaction per layaway; disjoint: %d products of its own each, shared: the same %d products for all.\n"
      "Total lines/s; CPU per line of this process (clients) and of the server; median of %d round(s)\n",
      bench.clientLines, kClientProducts, kClientProducts, bench.clientRounds);
  std::printf("  %-8s %-40s %s\n", "clients", "disjoint products", "shared products");
  std::vector<std::vector<ClientFigures>> runs(bench.clients.size() * 2);
  for (int r = 0; r < bench.clientRounds; ++r) {
    for (std::size_t k = 0; k < runs.size(); ++k) {
      const std::size_t i = r % 2 == 0 ? k : runs.size() - 1 - k;  // the order turns round by round
      runs[i].push_back(CaptureConcurrently(clients, bench.clients[i / 2], i % 2 == 1, bench.clientLines, cpu));
    }
  }
  for (std::size_t c = 0; c < bench.clients.size(); ++c) {
    std::printf("  %-8d", bench.clients[c]);
    for (int shared = 0; shared < 2; ++shared) {
      std::vector<double> rate, client, server;
      for (const ClientFigures& f : runs[2 * c + shared]) {
        rate.push_back(f.linesPerSecond);
        client.push_back(f.clientCpu);
        server.push_back(f.serverCpu);
      }
      char cell[64];
      std::snprintf(cell, sizeof cell, "%6.0f lines/s (CPU %s + %s us)", Median(rate), CpuText(Median(client)).c_str(),
                    CpuText(Median(server)).c_str());
      std::printf(" %-40s", cell);
    }
    std::printf("\n");
  }
  for (const char* schema : kSchemas) admin->RunScript(std::string("DROP SCHEMA IF EXISTS ") + schema + " CASCADE");
}

}  // namespace apartado::bench
