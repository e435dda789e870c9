#pragma once
// Pieces of stock_stress shared by the driver, the workers and the checks.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "apartado/database.h"

namespace stress {

// One stock row of the catalogue: a plain product in Existencia (two control
// units) or a kit in Existencia_Kit (one quantity).
struct StockProduct {
  std::string key;
  bool kit = false;
  double stock1 = 0;
  double stock2 = 0;
};

inline constexpr const char* kBranch = "01";
inline constexpr const char* kWarehouse = "A1";
inline constexpr const char* kSize = "00";
inline constexpr const char* kColour = "00";

// The products every layaway draws on: few rows and tight stock, so that
// reservations meet on the same rows and many are refused.
const std::vector<StockProduct>& Products();

bool IsPostgres(const std::string& connection);

// Opens the database emptied (a new public schema on PostgreSQL, the file
// and its companions deleted on SQLite), then creates the suite schema, the
// catalogue, the initial stock and the bookkeeping tables.
void PrepareDatabase(const std::string& connection);

// What a worker keeps in its state file: the operation it is on, whether it
// finished, and its running counts. Written whole by rename, so a SIGKILL
// leaves either the old record or the new one.
struct WorkerState {
  long pid = 0;      // the process that wrote it
  long backend = 0;  // its PostgreSQL server process, 0 on SQLite
  long seq = 0;
  bool pending = false;   // an operation was begun and its end not recorded
  std::string op;         // capture, reserve, release, cancel
  std::string folio;      // reserve, release, cancel
  std::string reference;  // capture
  std::string lines;      // capture: "P1:3,K1:2"
  std::map<std::string, long> counts;
};

bool ReadState(const std::string& path, WorkerState& state);
void WriteState(const std::string& path, const WorkerState& state);

std::string StatePath(const std::string& dir, int worker);
std::string StopPath(const std::string& dir);

struct WorkerArgs {
  int id = 0;
  std::string connection;
  std::string dir;
  unsigned seed = 0;
};

// The worker's loop: finishes the operation a kill interrupted, then runs
// random operations until the stop file appears. Answers the exit status.
int RunWorker(const WorkerArgs& args);

// How a run is driven.
struct Options {
  int processes = 8;
  std::vector<std::string> databases;
  double seconds = 0;  // 0: no time limit
  int kills = 200;     // 0: none
  int gapMin = 5;      // milliseconds between kills
  int gapMax = 300;
  unsigned seed = 0;
  bool keep = false;
};

// What the driver saw of the processes.
struct ProcessRun {
  long kills = 0;
  long restarts = 0;
  long exitedOnTheirOwn = 0;
  long hung = 0;
  std::map<std::string, long> killedDuring;  // by the operation the state file showed under way
};

// This program's own path, to start workers from.
std::string SelfPath();

// Starts options.processes workers on the database (already prepared), kills
// and restarts them until the kills or the time are used up, then stops them.
ProcessRun RunProcesses(const Options& options, const std::string& self, const std::string& connection,
                        const std::string& dir);

// One broken invariant.
struct Violation {
  int check = 0;
  std::string text;
};

struct CheckResult {
  std::vector<Violation> violations;
  std::map<std::string, long> committed;  // per kind, from the operation log
  long layaways = 0;
  long rows = 0;
};

// Checks the invariants on the database alone.
CheckResult CheckInvariants(apartado::Database& db);

// The names of the checks, by number.
const char* CheckName(int check);
inline constexpr int kChecks = 7;

}  // namespace stress
