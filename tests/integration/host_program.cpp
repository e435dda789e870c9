#include "integration/host_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace apartado::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string WriteFile(const std::string& dir, const std::string& name, const std::string& content) {
  const std::string path = (std::filesystem::path(dir) / name).string();
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string NewDirectory(const std::string& label) {
  static std::atomic<int> counter{0};
  const auto dir = std::filesystem::temp_directory_path() /
                   ("apartado-" + label + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

ProgramRun RunProgram(std::vector<std::string> argv, const std::string& dir, const std::string& input) {
  static std::atomic<int> runs{0};
  const std::string stem = (std::filesystem::path(dir) / (".run" + std::to_string(++runs))).string();
  const std::string in = stem + ".in", out = stem + ".out", err = stem + ".err";
  std::ofstream(in, std::ios::binary) << input;
  const int fds[] = {open(in.c_str(), O_RDONLY | O_CLOEXEC),
                     open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644),
                     open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)};
  ProgramRun run;
  run.status = ExitStatus(StartProgram(std::move(argv), dir, fds[0], fds[1], fds[2]));
  for (const int fd : fds) close(fd);
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  for (const std::string& path : {in, out, err}) std::filesystem::remove(path);
  return run;
}

pid_t StartProgram(std::vector<std::string> words, const std::string& dir, int in, int out, int err) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::string path = "PATH=/usr/bin:/bin";
  char* envp[] = {path.data(), nullptr};
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addchdir_np(&files, dir.c_str());
  posix_spawn_file_actions_adddup2(&files, in, 0);
  posix_spawn_file_actions_adddup2(&files, out, 1);
  posix_spawn_file_actions_adddup2(&files, err, 2);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProgramRun RunHostProgram(const std::vector<std::string>& args, const std::string& dir, const std::string& input) {
  std::vector<std::string> argv = {APARTADO_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(std::move(argv), dir, input);
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> values;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) values.push_back(nlohmann::json::parse(line));
  return values;
}

}  // namespace apartado::testing
