#include "floor_comparison.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "apartado/apartado.h"
#include "apartado/suite.h"
#include "recording_services.h"

namespace apartado::bench {
namespace {

using Clock = std::chrono::steady_clock;

double RunSteps(Database& db, const std::vector<Step>& steps) {
  const auto start = Clock::now();
  Replay(db, steps);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Comparison CompareWithFloor(const std::string& component, const std::string& floor, const std::vector<Mode>& modes,
                            int lines, int rounds, ServerCpu* serverCpu) {
  std::shared_ptr<Database> componentDb = Database::Open(component);
  LoadCatalogue(*componentDb);
  auto floorDb = Database::Open(floor);
  LoadCatalogue(*floorDb);
  suite::SuiteOptions options;
  options.database = componentDb;
  auto factory = std::make_shared<RecordingFactory>(suite::MakeSuiteFactory(options));
  InstallServiceFactory(factory);
  struct Rounds {
    std::vector<double> component, floor, ratio, kept, componentSent, floorSent, componentServer, floorServer,
        componentClient, floorClient;
    std::size_t statements = 0;
  };
  std::vector<Rounds> byMode(modes.size());
  // Runs work, answering its seconds; statements sent, server and client CPU seconds per line.
  struct Meter {
    double sent = 0, server = 0, client = 0;
  };
  auto metered = [&](auto work, Meter& meter) {
    const std::uint64_t sentBefore = Database::StatementsSent();
    const double serverBefore = serverCpu ? serverCpu->Seconds() : 0;
    const double clientBefore = ProcessCpuSeconds();
    const double seconds = work();
    meter.client = (ProcessCpuSeconds() - clientBefore) / lines;
    meter.sent = static_cast<double>(Database::StatementsSent() - sentBefore) / lines;
    meter.server = serverCpu ? (serverCpu->Seconds() - serverBefore) / lines : -1;
    return seconds;
  };
  auto measure = [&](Apartado& layaway, Mode mode, Rounds& into) {
    factory->log.clear();
    factory->recording = true;
    const std::uint64_t keptBefore = componentDb->KeptAnswersGiven();
    Meter meter;
    const double c = metered([&] { return CaptureLines(layaway, lines, mode); }, meter) / lines;
    into.kept.push_back(static_cast<double>(componentDb->KeptAnswersGiven() - keptBefore) / lines);
    into.componentSent.push_back(meter.sent);
    into.componentServer.push_back(meter.server);
    into.componentClient.push_back(meter.client);
    factory->recording = false;
    // The recorded folios are new to the floor's database, and the stock
    // updates are relative, so the statements replay as they ran.
    const double fl = metered([&] { return RunSteps(*floorDb, factory->log); }, meter) / lines;
    into.floorSent.push_back(meter.sent);
    into.floorServer.push_back(meter.server);
    into.floorClient.push_back(meter.client);
    into.component.push_back(c);
    into.floor.push_back(fl);
    into.ratio.push_back(c / fl);
    into.statements = 0;
    for (const Step& step : factory->log) into.statements += step.kind == Step::Kind::Statement;
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
    c.byMode.push_back({modes[m],
                        {Median(r.component), Median(r.floor), Median(r.ratio), Median(r.kept), Median(r.componentSent),
                         Median(r.floorSent), Median(r.componentServer), Median(r.floorServer),
                         Median(r.componentClient), Median(r.floorClient), r.statements}});
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

}  // namespace apartado::bench
