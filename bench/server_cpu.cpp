#include "server_cpu.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace apartado::bench {
namespace {

// utime + stime of /proc/PID/stat when that process is a PostgreSQL server
// process; negative when it cannot be read.
double BackendCpuSeconds(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return -1;
  // "PID (comm) state ...": the fields after the command name, which may hold blanks.
  const std::size_t open = text.find('('), close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || text.substr(open + 1, close - open - 1) != "postgres")
    return -1;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  // Fields 14 and 15 (utime, stime) are the 12th and 13th after the command.
  for (int k = 3; k <= 15 && fields >> field; ++k)
    if (k >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

ServerCpu::ServerCpu(const std::string& connectionString) : db_(Database::Open(connectionString)) {}

bool ServerCpu::Readable() {
  TableRecordset own = db_->Query("SELECT pg_backend_pid() AS pid");
  return BackendCpuSeconds(static_cast<long>(own.Field("pid").ToDouble())) >= 0;
}

double ServerCpu::Seconds() {
  TableRecordset backends = db_->Query(
      "SELECT pid FROM pg_stat_activity WHERE datname = current_database() AND backend_type = 'client backend' "
      "AND pid <> pg_backend_pid()");
  for (; !backends.Eof(); backends.MoveNext()) {
    const long pid = static_cast<long>(backends.Field("pid").ToDouble());
    const double seconds = BackendCpuSeconds(pid);
    if (seconds >= 0) seen_[pid] = seconds;
  }
  double total = 0;
  for (const auto& [pid, seconds] : seen_) total += seconds;
  return total;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace apartado::bench
