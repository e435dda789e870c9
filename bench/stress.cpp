// Tries to break the stock: worker processes capture, reserve, release and
// cancel layaways on one database at once while the driver SIGKILLs them at
// random moments and starts them again; then the invariants are checked on
// the database alone and every violation found is printed.
//
//   stock_stress [--processes N] [--db CONN]... [--seconds S] [--kills K] [--gap MIN:MAX] [--seed N] [--keep]
//                [--quick]
//
// CONN is a SQLite path, "sqlite" (a new temporary file, the default) or a
// PostgreSQL URI; each database named is emptied and run in turn. The run on
// a database ends after K kills or S seconds, whichever comes first (0: no
// limit). --quick: 4 processes, 10 kills, at most 45 seconds. Exits 1 when a
// check found a violation or an operation failed, 2 on bad arguments.
#include "stress.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>

namespace stress {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

[[noreturn]] void Usage(const std::string& problem) {
  std::cerr << "stock_stress: " << problem
            << "\nusage: stock_stress [--processes N] [--db CONN]... [--seconds S] [--kills K] [--gap MIN:MAX] "
               "[--seed N] [--keep] [--quick]\n";
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options o;
  o.seed = static_cast<unsigned>(std::random_device{}());
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--processes") {
      o.processes = std::stoi(value());
    } else if (arg == "--db") {
      o.databases.push_back(value());
    } else if (arg == "--seconds") {
      o.seconds = std::stod(value());
    } else if (arg == "--kills") {
      o.kills = std::stoi(value());
    } else if (arg == "--gap") {
      const std::string gap = value();
      const std::size_t colon = gap.find(':');
      if (colon == std::string::npos) Usage("--gap takes MIN:MAX milliseconds");
      o.gapMin = std::stoi(gap.substr(0, colon));
      o.gapMax = std::stoi(gap.substr(colon + 1));
    } else if (arg == "--seed") {
      o.seed = static_cast<unsigned>(std::stoul(value()));
    } else if (arg == "--keep") {
      o.keep = true;
    } else if (arg == "--quick") {
      o.processes = 4;
      o.kills = 10;
      o.seconds = 45;
      o.gapMin = 200;
      o.gapMax = 1200;
    } else {
      Usage("unknown argument " + arg);
    }
  }
  if (o.processes < 1) Usage("--processes must be at least 1");
  if (o.kills <= 0 && o.seconds <= 0) Usage("give --kills or --seconds");
  if (o.gapMin < 0 || o.gapMax < o.gapMin) Usage("--gap MIN:MAX with 0 <= MIN <= MAX");
  if (o.databases.empty()) o.databases.push_back("sqlite");
  return o;
}

// "a 3, b 4" from the counts named prefix + each of names.
std::string Counts(const std::map<std::string, long>& counts, const std::string& prefix,
                   const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    const auto found = counts.find(prefix + name);
    text += (text.empty() ? "" : ", ") + name + " " + std::to_string(found == counts.end() ? 0 : found->second);
  }
  return text;
}

long Count(const std::map<std::string, long>& counts, const std::string& name) {
  const auto found = counts.find(name);
  return found == counts.end() ? 0 : found->second;
}

const std::vector<std::string> kKinds = {"capture", "reserve", "release", "cancel"};

// Runs the workers on one database, checks it, prints what was found.
// Answers the number of violations and failed operations.
long RunOn(const Options& options, const std::string& self, const std::string& asked, const std::string& dir) {
  const std::string connection = asked == "sqlite" ? dir + "/stress.db" : asked;
  std::cout << "== stock_stress on " << (IsPostgres(connection) ? "PostgreSQL " : "SQLite ") << connection << "\n"
            << "processes " << options.processes << ", seed " << options.seed << ", kills asked " << options.kills
            << ", seconds at most " << options.seconds << ", gap " << options.gapMin << "-" << options.gapMax << " ms\n"
            << std::flush;
  PrepareDatabase(connection);

  const auto start = Clock::now();
  const ProcessRun run = RunProcesses(options, self, connection, dir);
  const double ran = std::chrono::duration<double>(Clock::now() - start).count();

  std::map<std::string, long> counts;
  for (int id = 0; id < options.processes; ++id) {
    WorkerState state;
    if (ReadState(StatePath(dir, id), state))
      for (const auto& [name, count] : state.counts) counts[name] += count;
  }

  const auto checkStart = Clock::now();
  auto db = apartado::Database::Open(connection);
  CheckResult result = CheckInvariants(*db);
  const double checked = std::chrono::duration<double>(Clock::now() - checkStart).count();

  long logged = 0, counted = 0;
  for (const std::string& kind : kKinds) {
    logged += Count(result.committed, kind);
    counted += Count(counts, "committed." + kind);
  }
  if (logged != counted)
    result.violations.push_back({6, "the workers counted " + std::to_string(counted) +
                                        " committed operations, the log holds " + std::to_string(logged)});

  std::printf(
      "ran %.1f s: %ld kills (%s, between operations %ld), %ld restarts, %ld workers ended on their own, "
      "%ld hung\n",
      ran, run.kills, Counts(run.killedDuring, "", kKinds).c_str(), Count(run.killedDuring, "between operations"),
      run.restarts, run.exitedOnTheirOwn, run.hung);
  std::printf("committed (operation log): %s; total %ld\n", Counts(result.committed, "", kKinds).c_str(), logged);
  std::printf("refused for stock: %s\n", Counts(counts, "refused.", {"capture.stock", "reserve.stock"}).c_str());
  std::printf("refused otherwise: %s\n", Counts(counts, "refused.",
                                                {"capture.other", "reserve.other", "release.stock", "release.other",
                                                 "cancel.stock", "cancel.other"})
                                             .c_str());
  std::printf("skipped, the layaway changed before it was held: %s\n",
              Counts(counts, "skipped.", {"reserve", "release", "cancel"}).c_str());
  const long failed = Count(counts, "error.capture") + Count(counts, "error.reserve") + Count(counts, "error.release") +
                      Count(counts, "error.cancel") + Count(counts, "error.choose");
  std::printf("conflicts retried %ld; given up after conflicts %ld; failed %ld (%s, choose %ld)\n",
              Count(counts, "retries"),
              Count(counts, "gaveup.capture") + Count(counts, "gaveup.reserve") + Count(counts, "gaveup.release") +
                  Count(counts, "gaveup.cancel"),
              failed, Counts(counts, "error.", kKinds).c_str(), Count(counts, "error.choose"));
  std::printf("worker starts %ld; interrupted operation found committed %ld, run again %ld (%s)\n",
              Count(counts, "starts"), Count(counts, "recovered.committed"), Count(counts, "recovered.rerun"),
              Counts(counts, "rerun.", {"committed", "refused", "skipped", "gaveup", "error"}).c_str());
  std::printf("checks (%.1f s) over %ld layaways, %ld rows:\n", checked, result.layaways, result.rows);
  for (int check = 1; check <= kChecks; ++check) {
    long found = 0;
    for (const Violation& v : result.violations) found += v.check == check ? 1 : 0;
    std::printf("  %d %-4s %s%s\n", check, found == 0 ? "ok" : "FAIL", CheckName(check),
                found == 0 ? "" : (": " + std::to_string(found) + " violations").c_str());
    long shown = 0;
    for (const Violation& v : result.violations)
      if (v.check == check && shown++ < 10) std::printf("       %s\n", v.text.c_str());
    if (shown > 10) std::printf("       ... and %ld more\n", shown - 10);
  }
  std::printf("%zu violations\n", result.violations.size());
  if (failed + run.exitedOnTheirOwn + run.hung > 0)
    std::printf("operations failed or workers ended unasked: see the logs in %s\n", dir.c_str());
  std::fflush(stdout);
  return static_cast<long>(result.violations.size()) + failed + run.exitedOnTheirOwn + run.hung;
}

int Main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "--worker") {
    if (argc != 9) Usage("a worker takes --worker ID --db CONN --dir DIR --seed N");
    return RunWorker({std::stoi(argv[2]), argv[4], argv[6], static_cast<unsigned>(std::stoul(argv[8]))});
  }
  const Options options = Parse(argc, argv);
  const std::string self = SelfPath();
  const fs::path base = fs::temp_directory_path() / ("apartado-stress-" + std::to_string(::getpid()));
  long problems = 0;
  for (std::size_t i = 0; i < options.databases.size(); ++i) {
    const fs::path dir = base / ("db" + std::to_string(i + 1));
    fs::create_directories(dir);
    try {
      problems += RunOn(options, self, options.databases[i], dir.string());
    } catch (const std::exception& failure) {
      std::cout << "stock_stress: " << failure.what() << std::endl;
      ++problems;
    }
  }
  if (problems == 0 && !options.keep) {
    std::error_code ignored;
    fs::remove_all(base, ignored);
  } else {
    std::cout << "kept " << base.string() << "\n";
  }
  return problems == 0 ? 0 : 1;
}

}  // namespace
}  // namespace stress

int main(int argc, char** argv) { return stress::Main(argc, argv); }
