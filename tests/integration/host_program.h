#pragma once
// Running the built command-line host as a user would: its own process, a
// working directory and no environment of the test's.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "demo_catalogue.h"
#include "integration/test_databases.h"

namespace apartado::testing {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when it did not exit
  std::string out, err;
};

// Runs argv (a program's path, then its arguments) in dir, input on its
// stdin, and only PATH in its environment.
ProgramRun RunProgram(std::vector<std::string> argv, const std::string& dir, const std::string& input = "");

// Starts argv in dir with stdin, stdout and stderr on the descriptors given
// and only PATH in its environment; answers its process id (-1 when it did
// not start).
pid_t StartProgram(std::vector<std::string> argv, const std::string& dir, int in, int out, int err);
// Waits for a started program: its exit status, -1 when it did not exit.
int ExitStatus(pid_t pid);

// RunProgram for the built command-line host, args after its path.
ProgramRun RunHostProgram(const std::vector<std::string>& args, const std::string& dir, const std::string& input = "");

// A file's whole content ("" when it cannot be read).
std::string ReadFile(const std::string& path);
// Writes content to dir/name and answers the path.
std::string WriteFile(const std::string& dir, const std::string& name, const std::string& content);

// A new empty directory for a test, removed by the caller.
std::string NewDirectory(const std::string& label);

// The program run on each backend's emptied database (--db GetParam()), in a
// directory of the test's own.
class HostProgramTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    dir_ = NewDirectory("host");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  ProgramRun Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", GetParam()});
    return RunHostProgram(args, dir_, input);
  }
  std::string File(const std::string& name, const std::string& content) { return WriteFile(dir_, name, content); }
  // Runs args with --json, expecting it to succeed; answers what it printed.
  nlohmann::json RunJson(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "--json");
    const ProgramRun run = Run(args, input);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    return nlohmann::json::parse(run.out);
  }
  // Captures the layaway, the options given before the command; answers its folio.
  std::string Capture(const nlohmann::json& layaway, std::vector<std::string> options = {}) {
    options.insert(options.end(), {"capture", File("layaway.json", layaway.dump())});
    return RunJson(options).value("folio", "");
  }
  // "available|reserved" of a product's stock row, control unit 1.
  std::string Stock(const std::string& product) {
    return Rows(
        "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Apartado_Control_1 FROM Existencia WHERE Pr_Cve_Producto = :p1",
        {Variant::FromText(product)});
  }

  std::string dir_;
};

// HostProgramTest on a database holding the demo catalogue (P100: 12 in
// stock), loaded by the program, which creates the schema with it.
class DemoProgramTest : public HostProgramTest {
 protected:
  void SetUp() override {
    HostProgramTest::SetUp();
    const ProgramRun load = Run({"load", File("catalogue.json", cli::demo::Catalogue().dump())});
    ASSERT_EQ(load.status, 0) << load.err;
  }
};

// Each line of text read as one JSON value (JSON Lines).
std::vector<nlohmann::json> JsonLines(const std::string& text);

}  // namespace apartado::testing
