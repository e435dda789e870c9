#include "capture_progress.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace apartado::cli {
namespace {

// In place: at most four updates a second. As lines: one a second.
constexpr std::chrono::milliseconds kInPlaceEvery{250};
constexpr std::chrono::milliseconds kLinesEvery{1000};

std::string Duration(double seconds) {
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

bool IsTerminal(const std::ostream& stream) {
  if (&stream == &std::cerr) return ::isatty(STDERR_FILENO) == 1;
  return &stream == &std::cout && ::isatty(STDOUT_FILENO) == 1;
}

CaptureProgress::CaptureProgress(std::ostream& err, Style style, int totalLayaways, int totalLines)
    : err_(err), style_(style), totalLayaways_(totalLayaways), totalLines_(totalLines) {}

void CaptureProgress::Captured(int lines, int stored, bool refused) {
  ++layawaysDone_;
  linesDone_ += lines;
  linesStored_ += stored;
  linesRefused_ += lines - stored;
  ++(refused ? withRefusals_ : whole_);
}

void CaptureProgress::Skipped(int lines) {
  ++layawaysDone_;
  linesDone_ += lines;
  ++skipped_;
}

std::string CaptureProgress::Counts(double seconds) const {
  const double rate = seconds > 0 ? linesDone_ / seconds : 0;
  char text[160];
  std::snprintf(text, sizeof text, "capture: %d of %d lines, %d of %d layaways, %.0f lines/s", linesDone_, totalLines_,
                layawaysDone_, totalLayaways_, rate);
  std::string counts = text;
  if (rate > 0) counts += ", " + Duration((totalLines_ - linesDone_) / rate) + " left";
  return counts;
}

void CaptureProgress::Clear() {
  if (style_ != Style::InPlace || !onScreen_) return;
  err_ << "\r\x1b[K" << std::flush;
  onScreen_ = false;
}

void CaptureProgress::Update() {
  if (style_ == Style::None) return;
  const Clock::time_point now = Clock::now();
  const bool due = now - shown_ >= (style_ == Style::InPlace ? kInPlaceEvery : kLinesEvery);
  if (due) {
    line_ = Counts(std::chrono::duration<double>(now - start_).count());
    shown_ = now;
  }
  if (style_ == Style::Lines) {
    if (due) err_ << line_ << std::endl;
    return;
  }
  if (!due && onScreen_) return;
  err_ << "\r" << line_ << "\x1b[K" << std::flush;
  onScreen_ = true;
}

void CaptureProgress::Finish() {
  if (style_ == Style::None) return;
  Clear();
  const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
  char text[240];
  std::snprintf(text, sizeof text,
                "capture: %d layaways in %.1f s (%.0f lines/s): %d captured whole, %d with refusals, %d skipped; "
                "%d lines stored, %d refused",
                layawaysDone_, seconds, seconds > 0 ? linesDone_ / seconds : 0.0, whole_, withRefusals_, skipped_,
                linesStored_, linesRefused_);
  err_ << text << std::endl;
}

}  // namespace apartado::cli
