#pragma once
// The parts of the capture command: a layaway of the input, checked before
// anything is written; what capturing it gave; how that is printed.
#include <optional>
#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "capture_input.h"
#include "host.h"
#include "output.h"

namespace apartado::cli {

struct LineResult {
  bool ok = false;
  std::string error;
  std::vector<suite::ReportedMessage> messages;
  tApDetalle detalle;
};

struct LayawayResult {
  bool ok = true;
  std::string error;
  std::string folio;     // skipped: the folio already stored under the reference
  bool skipped = false;  // --skip-captured found the reference stored
  std::vector<LineResult> lines;
};

// A committed layaway's result, at once: one line of text or of JSON on
// stdout, then every refusal on stderr with the component's text exactly as
// it holds it.
void PrintLayaway(Host& host, int number, const LayawayInput& input, const LayawayResult& result);

}  // namespace apartado::cli
