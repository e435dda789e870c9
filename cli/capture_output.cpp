#include <ostream>

#include "capture.h"
#include "record_json.h"

namespace apartado::cli {
namespace {

Json LinesJson(const LayawayResult& result) {
  Json lines = Json::array();
  for (const LineResult& line : result.lines) {
    lines.push_back({{"Ap_ID", line.detalle.Ap_ID},
                     {"ok", line.ok},
                     {"error", line.error},
                     {"messages", host_json::MessagesToJson(line.messages)},
                     {"Detalle", host_json::DetalleToJson(line.detalle)}});
  }
  return lines;
}

void PrintText(std::ostream& out, int number, const LayawayInput& input, const LayawayResult& r) {
  out << "Layaway " << number << ": ";
  if (r.skipped) {
    out << "skipped, reference " << input.reference << " already stored as folio " << r.folio << std::endl;
    return;
  }
  if (r.lines.empty() && !r.ok) {
    out << "failed, nothing stored" << std::endl;
    return;
  }
  std::size_t stored = 0;
  for (const LineResult& line : r.lines) stored += line.ok ? 1 : 0;
  out << "folio " << (r.folio.empty() ? "(none)" : r.folio) << ", " << stored << " of " << input.lines.size()
      << (input.lines.size() == 1 ? " line" : " lines") << " stored";
  if (stored < r.lines.size()) {
    std::string refused;
    for (std::size_t n = 0; n < r.lines.size(); ++n)
      if (!r.lines[n].ok) refused += (refused.empty() ? "" : ", ") + std::to_string(n + 1);
    out << " (refused: line " << refused << ")";
  }
  out << std::endl;
}

}  // namespace

void PrintLayaway(Host& host, int number, const LayawayInput& input, const LayawayResult& r) {
  if (host.options.json) {
    Json printed = {{"layaway", number}, {"folio", r.folio}, {"ok", r.ok}, {"error", r.error}};
    if (r.skipped) printed["skipped"] = true;
    printed["lines"] = LinesJson(r);
    PrintJson(host.out, printed);
  } else {
    PrintText(host.out, number, input, r);
  }
  if (r.ok) return;
  if (r.lines.empty()) PrintRefusal(host.err, input.where + " failed", r.error);
  for (std::size_t n = 0; n < r.lines.size(); ++n) {
    if (!r.lines[n].ok)
      PrintRefusal(host.err, input.where + ", line " + std::to_string(n + 1) + " refused", r.lines[n].error);
  }
  host.out.flush();
  host.err.flush();
}

}  // namespace apartado::cli
