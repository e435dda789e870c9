#include <functional>
#include <optional>
#include <ostream>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "apartado/operation_scope.h"
#include "capture_input.h"
#include "commands.h"
#include "json_input.h"
#include "output.h"
#include "record_json.h"

namespace apartado::cli {

using host_json::DetalleToJson;
using host_json::InputValue;
using host_json::OverlayDetalle;
using host_json::OverlayEncabezado;
using host_json::ParseObjects;
using host_json::ReadInput;

namespace {

// Long inputs report their progress on stderr every this many lines.
constexpr int kProgressEvery = 1000;

struct LineResult {
  bool ok = false;
  std::string error;
  std::vector<suite::ReportedMessage> messages;
  tApDetalle detalle;
};

struct LayawayResult {
  bool ok = true;
  std::string error;
  std::string folio;
  std::vector<LineResult> lines;
};

std::string JoinedTexts(const std::vector<suite::ReportedMessage>& messages) {
  std::string text;
  for (const auto& message : messages) text += (text.empty() ? "" : "\r\n") + message.message;
  return text;
}

// One line, in a transaction nested in its layaway's: Detalle, then, when
// the object took the line, Add_Apartado_Detalle. A refused line leaves
// nothing (unless the policy keeps what was done) and its number is not used.
LineResult CaptureLine(Apartado& object, const Json& given, Host& host) {
  LineResult line;
  OverlayDetalle(given, line.detalle);
  host.messages.Take();
  OperationScope scope(object, host.options.Policy().onRefusal);
  object.Detalle(line.detalle);
  line.messages = host.messages.Take();
  if (line.messages.empty()) {
    // Only a line the object took is added: after a refusal the object
    // still holds the line before it.
    line.ok = IsTrue(object.Add_Apartado_Detalle());
    line.error = object.Error();
    line.detalle = object.Detalle();
  } else {
    line.error = JoinedTexts(line.messages);
  }
  scope.Finish(ToBoolean(line.ok));
  // A refused line rolled back has no number: the next line takes it.
  if (!line.ok && host.options.Policy().onRefusal == OnRefusal::RollBack) line.detalle.Ap_ID.clear();
  return line;
}

// Runs one layaway through the object as one transaction: Nuevo, Encabezado,
// Apartar_Productos, then each line. What the lines stored is committed; a
// failure of Nuevo or Encabezado leaves nothing. Run again whole when it
// conflicts with another session's work.
LayawayResult CaptureLayaway(Apartado& object, const LayawayInput& layaway, Host& host,
                             const std::function<void()>& lineDone) {
  LayawayResult result;
  int linesDone = 0;
  std::vector<tApDetalle> lines(layaway.lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) OverlayDetalle(layaway.lines[i], lines[i]);
  Operations operations(object, host.options.Policy());
  try {
    operations.Group([&] {
      result = LayawayResult{};
      linesDone = 0;
      object.Nuevo();
      tApEncabezado header = object.Encabezado();
      OverlayEncabezado(layaway.header, header, "Encabezado.");
      object.Encabezado(header);
      if (layaway.apartarProductos) object.Apartar_Productos(*layaway.apartarProductos);
      if (IsNonZero(object.Apartar_Productos())) operations.HoldStock(StockRowsOf(object.Encabezado(), lines));
      for (const Json& given : layaway.lines) {
        LineResult line = CaptureLine(object, given, host);
        if (!line.ok && result.ok) {
          result.ok = false;
          result.error = line.error;
        }
        result.lines.push_back(std::move(line));
        ++linesDone;
      }
      result.folio = object.Encabezado().Ap_Folio;
      return kTrue;
    });
  } catch (const std::exception& failure) {
    // Nothing of the layaway was kept.
    result = LayawayResult{};
    result.ok = false;
    result.error = failure.what();
  }
  for (int i = 0; i < linesDone; ++i) lineDone();
  return result;
}

Json LinesJson(const LayawayResult& result) {
  Json lines = Json::array();
  for (const LineResult& line : result.lines) {
    lines.push_back({{"Ap_ID", line.detalle.Ap_ID},
                     {"ok", line.ok},
                     {"error", line.error},
                     {"messages", host_json::MessagesToJson(line.messages)},
                     {"Detalle", DetalleToJson(line.detalle)}});
  }
  return lines;
}

// A committed layaway's result, at once: one line of text or of JSON, then
// every refusal on stderr with the component's text exactly as it holds it.
void PrintLayaway(Host& host, int number, const LayawayInput& input, const LayawayResult& r) {
  std::size_t stored = 0;
  for (const LineResult& line : r.lines) stored += line.ok ? 1 : 0;
  if (host.options.json) {
    PrintJson(host.out,
              {{"layaway", number}, {"folio", r.folio}, {"ok", r.ok}, {"error", r.error}, {"lines", LinesJson(r)}});
  } else {
    host.out << "Layaway " << number << ": ";
    if (r.lines.empty() && !r.ok) {
      host.out << "failed, nothing stored";
    } else {
      host.out << "folio " << (r.folio.empty() ? "(none)" : r.folio) << ", " << stored << " of " << input.lines.size()
               << (input.lines.size() == 1 ? " line" : " lines") << " stored";
      if (stored < r.lines.size()) {
        std::string refused;
        for (std::size_t n = 0; n < r.lines.size(); ++n)
          if (!r.lines[n].ok) refused += (refused.empty() ? "" : ", ") + std::to_string(n + 1);
        host.out << " (refused: line " << refused << ")";
      }
    }
    host.out << std::endl;
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

}  // namespace

int CaptureCommand(Host& host, const std::string& file) {
  const std::string name = file == "-" ? "stdin" : file;
  const std::vector<LayawayInput> inputs = ReadLayaways(ReadInput(file, host.in), name);
  int totalLines = 0;
  for (const LayawayInput& input : inputs) totalLines += static_cast<int>(input.lines.size());

  host.InstallSuite(host.options.connectionString);
  Apartado object;
  int linesDone = 0;
  auto lineDone = [&] {
    ++linesDone;
    if (totalLines > kProgressEvery && linesDone % kProgressEvery == 0) {
      host.err << "apartado: capture: " << linesDone << " of " << totalLines << " lines\n";
    }
  };
  bool allOk = true;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const LayawayResult result = CaptureLayaway(object, inputs[i], host, lineDone);
    PrintLayaway(host, static_cast<int>(i) + 1, inputs[i], result);
    allOk = allOk && result.ok;
  }
  return allOk ? kExitOk : kExitRefused;
}

}  // namespace apartado::cli
