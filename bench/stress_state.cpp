// A worker's state file: one "key value" pair a line, replaced whole by
// rename so that a process killed while writing it leaves the previous one.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "stress.h"

namespace stress {

std::string StatePath(const std::string& dir, int worker) {
  return dir + "/worker-" + std::to_string(worker) + ".state";
}

std::string StopPath(const std::string& dir) { return dir + "/stop"; }

bool ReadState(const std::string& path, WorkerState& state) {
  std::ifstream in(path);
  if (!in) return false;
  WorkerState read;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string key = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (key == "pid") {
      read.pid = std::stol(value);
    } else if (key == "backend") {
      read.backend = std::stol(value);
    } else if (key == "seq") {
      read.seq = std::stol(value);
    } else if (key == "pending") {
      read.pending = value == "1";
    } else if (key == "op") {
      read.op = value;
    } else if (key == "folio") {
      read.folio = value;
    } else if (key == "reference") {
      read.reference = value;
    } else if (key == "lines") {
      read.lines = value;
    } else if (key == "count") {
      std::istringstream counted(value);
      std::string name;
      long count = 0;
      if (counted >> name >> count) read.counts[name] = count;
    }
  }
  state = std::move(read);
  return true;
}

void WriteState(const std::string& path, const WorkerState& state) {
  std::ostringstream out;
  out << "pid " << state.pid << "\nbackend " << state.backend << "\nseq " << state.seq << "\npending "
      << (state.pending ? 1 : 0) << "\nop " << state.op << "\nfolio " << state.folio << "\nreference "
      << state.reference << "\nlines " << state.lines << "\n";
  for (const auto& [name, count] : state.counts) out << "count " << name << ' ' << count << "\n";
  const std::string text = out.str();
  const std::string temporary = path + ".new";
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) throw std::runtime_error("cannot write " + temporary);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + temporary);
  if (std::rename(temporary.c_str(), path.c_str()) != 0) throw std::runtime_error("cannot replace " + path);
}

}  // namespace stress
