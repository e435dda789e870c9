#pragma once
// What a long capture tells on stderr while it runs: lines and layaways done
// of the total, lines per second and time left, updated in place at most a
// few times a second; then one summary line.
#include <chrono>
#include <iosfwd>
#include <string>

namespace apartado::cli {

class CaptureProgress {
 public:
  // How the counts are shown: not at all, in place on a terminal (the line
  // rewritten), or as whole lines (a file or a pipe asked for them).
  enum class Style { None, InPlace, Lines };

  CaptureProgress(std::ostream& err, Style style, int totalLayaways, int totalLines);

  // One layaway done: of its lines, those stored (the rest were refused or
  // failed with it); or skipped whole.
  void Captured(int lines, int stored, bool refused);
  void Skipped(int lines);
  // Call before writing anything else to stderr or to the same terminal:
  // takes the line in place away until the next update.
  void Clear();
  // Shows the counts if the last update is old enough (or shows the last one
  // again after Clear).
  void Update();
  // The summary: layaways captured, with refusals and skipped, lines stored
  // and refused, seconds.
  void Finish();

 private:
  using Clock = std::chrono::steady_clock;
  std::string Counts(double seconds) const;

  std::ostream& err_;
  Style style_;
  int totalLayaways_, totalLines_;
  int layawaysDone_ = 0, linesDone_ = 0;
  int whole_ = 0, withRefusals_ = 0, skipped_ = 0, linesStored_ = 0, linesRefused_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point shown_{};
  std::string line_;       // the counts last shown
  bool onScreen_ = false;  // the line in place is showing
};

// Whether the stream is this process's stdout or stderr and that is a terminal.
bool IsTerminal(const std::ostream& stream);

}  // namespace apartado::cli
