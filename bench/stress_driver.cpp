// The driver's side of a stress run: the worker processes started, killed
// at random moments and started again, then stopped.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <thread>

#include "stress.h"

namespace stress {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

}  // namespace

std::string SelfPath() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) throw std::runtime_error("cannot find this program: " + error.message());
  return self.string();
}

namespace {

struct Child {
  pid_t pid = -1;
};

class Driver {
 public:
  Driver(const Options& options, std::string self, std::string connection, std::string dir)
      : options_(options),
        self_(std::move(self)),
        connection_(std::move(connection)),
        dir_(std::move(dir)),
        random_(options.seed) {}

  ProcessRun Go() {
    children_.resize(static_cast<std::size_t>(options_.processes));
    for (int id = 0; id < options_.processes; ++id) Spawn(id);
    const auto start = Clock::now();
    auto timeLeft = [&] {
      return options_.seconds <= 0 || std::chrono::duration<double>(Clock::now() - start).count() < options_.seconds;
    };
    while ((options_.kills <= 0 || run_.kills < options_.kills) && timeLeft()) {
      const auto until = Clock::now() + std::chrono::milliseconds(Between(options_.gapMin, options_.gapMax));
      while (Clock::now() < until && timeLeft()) {
        ReapUnexpected();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (options_.kills > 0) KillOne();
    }
    Stop();
    return run_;
  }

 private:
  int Between(int low, int high) { return low + static_cast<int>(random_() % static_cast<unsigned>(high - low + 1)); }

  void Spawn(int id) {
    const std::string log = dir_ + "/worker-" + std::to_string(id) + ".log";
    const std::string idText = std::to_string(id);
    const std::string seedText = std::to_string(options_.seed);
    std::vector<const char*> args = {self_.c_str(), "--worker",   idText.c_str(), "--db",           connection_.c_str(),
                                     "--dir",       dir_.c_str(), "--seed",       seedText.c_str(), nullptr};
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (fd >= 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
      }
      ::execv(self_.c_str(), const_cast<char* const*>(args.data()));
      ::_exit(127);
    }
    children_[static_cast<std::size_t>(id)] = {pid};
  }

  // A worker that ended without being told: counted, then started again.
  void ReapUnexpected() {
    for (int id = 0; id < options_.processes; ++id) {
      int status = 0;
      if (::waitpid(children_[static_cast<std::size_t>(id)].pid, &status, WNOHANG) <= 0) continue;
      ++run_.exitedOnTheirOwn;
      std::cerr << "worker " << id << " ended on its own ("
                << (WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                      : "signal " + std::to_string(WTERMSIG(status)))
                << "); see " << dir_ << "/worker-" << id << ".log\n";
      Spawn(id);
    }
  }

  // SIGKILLs a random worker among those that have started (their state
  // file is theirs), so that kills land in operations rather than in
  // start-ups; notes what it was doing, restarts it.
  void KillOne() {
    std::vector<int> ready;
    for (int id = 0; id < options_.processes; ++id) {
      WorkerState state;
      if (ReadState(StatePath(dir_, id), state) && state.pid == children_[static_cast<std::size_t>(id)].pid)
        ready.push_back(id);
    }
    if (ready.empty()) return;
    const int id = ready[random_() % ready.size()];
    const pid_t pid = children_[static_cast<std::size_t>(id)].pid;
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ++run_.kills;
    if (!(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)) ++run_.exitedOnTheirOwn;
    WorkerState state;
    ReadState(StatePath(dir_, id), state);
    ++run_.killedDuring[state.pending ? state.op : "between operations"];
    Spawn(id);
    ++run_.restarts;
  }

  // Asks every worker to stop after its operation; one that does not within
  // two minutes is killed and counted as hung.
  void Stop() {
    std::FILE* stop = std::fopen(StopPath(dir_).c_str(), "w");
    if (stop != nullptr) std::fclose(stop);
    const auto deadline = Clock::now() + std::chrono::seconds(120);
    for (int id = 0; id < options_.processes; ++id) {
      const pid_t pid = children_[static_cast<std::size_t>(id)].pid;
      int status = 0;
      while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
          std::cerr << "worker " << id << " did not stop; killed\n";
          ++run_.hung;
          ::kill(pid, SIGKILL);
          ::waitpid(pid, &status, 0);
          break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        ++run_.exitedOnTheirOwn;
        std::cerr << "worker " << id << " ended with exit " << WEXITSTATUS(status) << "\n";
      }
    }
  }

  const Options& options_;
  std::string self_;
  std::string connection_;
  std::string dir_;
  std::mt19937 random_;
  std::vector<Child> children_;
  ProcessRun run_;
};

}  // namespace

ProcessRun RunProcesses(const Options& options, const std::string& self, const std::string& connection,
                        const std::string& dir) {
  return Driver(options, self, connection, dir).Go();
}

}  // namespace stress
