#pragma once
// Running the built command-line host as a user would: its own process, a
// working directory and no environment of the test's.
#include <string>
#include <vector>

namespace apartado::testing {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when it did not exit
  std::string out, err;
};

// Runs the program with args in dir, input on its stdin, and only PATH and
// `environment` ("NAME=value") in its environment.
ProgramRun RunHostProgram(const std::vector<std::string>& args, const std::string& dir, const std::string& input = "",
                          const std::vector<std::string>& environment = {});

// A file's whole content ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// Writes content to dir/name and answers the path.
std::string WriteFile(const std::string& dir, const std::string& name, const std::string& content);

// A new empty directory for a test, removed by the caller.
std::string NewDirectory(const std::string& label);

}  // namespace apartado::testing
