#pragma once
// CPU time a PostgreSQL server on this machine spends for a database's
// sessions, read from /proc: the server processes of its client backends.
#include <map>
#include <memory>
#include <string>

#include "apartado/database.h"

namespace apartado::bench {

class ServerCpu {
 public:
  // Watches the database connectionString names, through a connection of
  // its own (not counted).
  explicit ServerCpu(const std::string& connectionString);
  // Whether the backends' processes can be read here (the server runs on
  // this machine and /proc shows its processes).
  bool Readable();
  // CPU seconds the database's client backends have used, summed over every
  // backend seen so far (one that started since counts from its start).
  double Seconds();

 private:
  std::unique_ptr<Database> db_;
  std::map<long, double> seen_;  // backend process -> its CPU seconds when last read
};

// CPU seconds this process has used, every thread included.
double ProcessCpuSeconds();

}  // namespace apartado::bench
