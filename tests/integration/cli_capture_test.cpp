// The capture command run again over a file it partly stored, and what it
// tells on stderr while it runs, through the real program (also killed
// midway, and with stderr on a terminal), on each backend.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using demo::json;
using ::testing::HasSubstr;

class CliCaptureTest : public DemoProgramTest {
 protected:
  // JSON Lines: one layaway of one chair per reference ("" gives none).
  std::string Layaways(const std::vector<std::string>& references) {
    std::string lines;
    for (const std::string& reference : references) {
      const json header = reference.empty() ? json::object() : json{{"Ap_Referencia", reference}};
      lines += demo::Layaway({demo::Chair()}, header).dump() + "\n";
    }
    return File("layaways.jsonl", lines);
  }

  // Starts the program on this database with args; stdout and stderr go to
  // the descriptors given.
  pid_t Start(std::vector<std::string> args, int out, int err) {
    args.insert(args.begin(), {APARTADO_CLI_PATH, "--db", GetParam()});
    const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = StartProgram(std::move(args), dir_, in, out, err);
    close(in);
    return pid;
  }
  static std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
  }
};

TEST_P(CliCaptureTest, RunAgainWithSkipCapturedStoresOnlyWhatIsMissingAndTellsOnStderrOnlyWhenAsked) {
  ASSERT_EQ(Run({"capture", Layaways({"R1", "R2"})}).status, 0);  // the run that was cut short
  const std::string file = Layaways({"R1", "R2", "R3", ""});
  const ProgramRun again = Run({"--json", "capture", "--skip-captured", file});
  ASSERT_EQ(again.status, 0) << again.err;
  const std::vector<json> results = JsonLines(again.out);
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0].at("skipped"), true);
  EXPECT_EQ(results[0].at("folio"), "0000000001");
  EXPECT_EQ(results[2].contains("skipped"), false);
  EXPECT_EQ(Count("Apartado"), 4);  // R1, R2, R3 and the one without reference
  EXPECT_EQ(Stock("P100"), "8|4\n");

  // Progress and the summary go to stderr when asked, not being a terminal.
  const ProgramRun text = Run({"capture", "--progress", "--skip-captured", file});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_THAT(text.out, HasSubstr("Layaway 3: skipped, reference R3 already stored as folio 0000000003"));
  EXPECT_THAT(text.err, HasSubstr("capture: 0 of 4 lines, 0 of 4 layaways"));
  EXPECT_THAT(text.err, HasSubstr(": 1 captured whole, 0 with refusals, 3 skipped; 1 lines stored, 0 refused"));
  EXPECT_EQ(Count("Apartado"), 5);  // a layaway without reference is captured again
  // Without the option a reference is no reason to skip. Quiet, or not a
  // terminal and not asked: stderr holds only refusals.
  const std::string one = Layaways({"R1"});
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"capture", "-q", "--progress", one}, {"capture", one}}) {
    const ProgramRun quiet = Run(args);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
  }
  EXPECT_EQ(Count("Apartado WHERE Ap_Referencia = 'R1'"), 3);
}

// The program killed while it captures, after it has printed some layaways,
// then run again with --skip-captured: each layaway stored once and whole,
// the ones printed before the kill skipped, the stock reserved exactly
// once per stored line.
TEST_P(CliCaptureTest, KilledMidwayAndRunAgainWithSkipCapturedEndsWithEachLayawayOnce) {
  constexpr int kLayaways = 60;
  Db().Command("UPDATE Existencia SET Ex_Cantidad_Control_1 = 1000, Ex_Cantidad_Control_2 = 1000");
  std::vector<std::string> references;
  for (int n = 1; n <= kLayaways; ++n) references.push_back("K" + std::to_string(n));
  const std::string file = Layaways(references);

  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const int devNull = open("/dev/null", O_WRONLY);
  const pid_t first = Start({"capture", file}, pipeFds[1], devNull);
  close(pipeFds[1]);
  // Killed once it has told of three committed layaways.
  std::string printed;
  char c;
  int told = 0;
  while (told < 3 && read(pipeFds[0], &c, 1) == 1) told += (printed += c, c == '\n');
  kill(first, SIGKILL);
  EXPECT_EQ(ExitStatus(first), -1);
  close(pipeFds[0]);
  close(devNull);
  ASSERT_EQ(told, 3) << printed;
  const long long stored = Count("Apartado");
  ASSERT_GE(stored, 3);
  ASSERT_LT(stored, kLayaways) << "the kill came too late to test anything";

  const ProgramRun again = Run({"--json", "capture", "--skip-captured", file});
  ASSERT_EQ(again.status, 0) << again.err;
  long long skipped = 0;
  for (const json& result : JsonLines(again.out)) skipped += result.value("skipped", false) ? 1 : 0;
  EXPECT_EQ(skipped, stored);
  const std::string each = std::to_string(kLayaways);
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Ap_Referencia), COUNT(DISTINCT Ap_Folio) FROM Apartado"),
            each + "|" + each + "|" + each + "\n");
  EXPECT_EQ(Stock("P100"), std::to_string(1000 - kLayaways) + "|" + std::to_string(kLayaways) + "\n");
}

// With stderr on a terminal and stdout a file, the program shows its
// progress on the terminal, rewritten in place, and a summary; stdout gets
// the layaways' results only.
TEST_P(CliCaptureTest, OnATerminalProgressIsRewrittenInPlaceAndStdoutHoldsOnlyResults) {
  int master = -1, terminal = -1;
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  const std::string outPath = (std::filesystem::path(dir_) / "out.txt").string();
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = Start({"capture", Layaways({"T1", "T2"})}, out, terminal);
  close(out);
  close(terminal);
  const std::string shown = ReadAll(master);  // ends with EIO once the program exits
  close(master);
  ASSERT_EQ(ExitStatus(pid), 0) << shown;
  const std::string stdoutText = ReadFile(outPath);
  EXPECT_THAT(stdoutText, HasSubstr("Layaway 2: folio "));
  EXPECT_EQ(stdoutText.find("capture:"), std::string::npos) << stdoutText;
  EXPECT_THAT(shown, HasSubstr("\rcapture: 0 of 2 lines, 0 of 2 layaways"));
  EXPECT_THAT(shown, HasSubstr("\x1b[K"));
  EXPECT_THAT(shown, HasSubstr("capture: 2 layaways in "));
}

APARTADO_INSTANTIATE_BACKENDS(CliCaptureTest);

}  // namespace
}  // namespace apartado::testing
