#include <functional>
#include <optional>
#include <ostream>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "commands.h"
#include "json_input.h"
#include "record_json.h"

namespace apartado::cli {
namespace {

// Long inputs report their progress on stderr every this many lines.
constexpr int kProgressEvery = 1000;

// One layaway of the input, checked before anything is written.
struct LayawayInput {
  std::string where;  // "FILE: layaway N (input line L)"
  Json header;        // the given header fields (an empty object when none)
  std::vector<Json> lines;
  std::optional<Boolean> apartarProductos;
};

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

LayawayInput CheckLayaway(const InputValue& input, const std::string& name, int number) {
  LayawayInput layaway;
  layaway.where = name + ": layaway " + std::to_string(number);
  if (input.line > 0) layaway.where += " (input line " + std::to_string(input.line) + ")";
  auto refuse = [&](const std::string& what) { throw InputError(layaway.where + ": " + what); };

  const Json& value = input.value;
  if (!value.is_object()) refuse("expected an object {\"Encabezado\": {...}, \"Detalles\": [...]}");
  layaway.header = Json::object();
  for (auto member = value.begin(); member != value.end(); ++member) {
    const std::string& key = member.key();
    const Json& given = member.value();
    if (key == "Encabezado") {
      tApEncabezado scratch;
      try {
        OverlayEncabezado(given, scratch, "Encabezado.");
      } catch (const InputError& e) {
        refuse(e.what());
      }
      layaway.header = given;
    } else if (key == "Detalles") {
      if (!given.is_array()) refuse("field \"Detalles\" must be an array of lines");
      int lineNumber = 0;
      for (const Json& line : given) {
        ++lineNumber;
        tApDetalle scratch;
        try {
          OverlayDetalle(line, scratch);
        } catch (const InputError& e) {
          throw InputError(layaway.where + ", line " + std::to_string(lineNumber) + ": " + e.what());
        }
        layaway.lines.push_back(line);
      }
    } else if (key == "Apartar_Productos") {
      if (given.is_boolean()) {
        layaway.apartarProductos = given.get<bool>() ? kTrue : kFalse;
      } else if (given.is_number_integer() && given.get<std::int64_t>() >= -32768 &&
                 given.get<std::int64_t>() <= 32767) {
        layaway.apartarProductos = static_cast<Boolean>(given.get<std::int64_t>());
      } else {
        refuse("field \"Apartar_Productos\" must be true or false");
      }
    } else {
      refuse("unknown field \"" + key + "\" (a layaway has Encabezado, Detalles and Apartar_Productos)");
    }
  }
  return layaway;
}

std::string JoinedTexts(const std::vector<suite::ReportedMessage>& messages) {
  std::string text;
  for (const auto& message : messages) text += (text.empty() ? "" : "\r\n") + message.message;
  return text;
}

// Runs one layaway through the object: Nuevo, Encabezado, Apartar_Productos,
// then Detalle and Add_Apartado_Detalle per line.
LayawayResult CaptureLayaway(Apartado& object, const LayawayInput& layaway, Host& host,
                             const std::function<void()>& lineDone) {
  LayawayResult result;
  try {
    object.Nuevo();
    tApEncabezado header = object.Encabezado();
    OverlayEncabezado(layaway.header, header, "Encabezado.");
    object.Encabezado(header);
    if (layaway.apartarProductos) object.Apartar_Productos(*layaway.apartarProductos);
  } catch (const std::exception& failure) {
    result.ok = false;
    result.error = failure.what();
    return result;
  }
  for (const Json& given : layaway.lines) {
    LineResult line;
    OverlayDetalle(given, line.detalle);
    host.messages.Take();
    try {
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
    } catch (const std::exception& failure) {
      line.error = failure.what();
    }
    if (!line.ok && result.ok) {
      result.ok = false;
      result.error = line.error;
    }
    result.lines.push_back(std::move(line));
    lineDone();
  }
  result.folio = object.Encabezado().Ap_Folio;
  return result;
}

Json LinesJson(const LayawayResult& result) {
  Json lines = Json::array();
  for (const LineResult& line : result.lines) {
    Json messages = Json::array();
    for (const auto& m : line.messages)
      messages.push_back({{"id", m.errorId}, {"title", m.title}, {"text", m.message}});
    lines.push_back({{"Ap_ID", line.detalle.Ap_ID},
                     {"ok", line.ok},
                     {"error", line.error},
                     {"messages", std::move(messages)},
                     {"Detalle", DetalleToJson(line.detalle)}});
  }
  return lines;
}

void PrintText(Host& host, const std::vector<LayawayResult>& results) {
  for (std::size_t i = 0; i < results.size(); ++i) {
    const LayawayResult& r = results[i];
    host.out << "Layaway " << i + 1 << ": folio " << (r.folio.empty() ? "(none)" : r.folio) << "\n";
    std::vector<std::vector<std::string>> rows;
    for (std::size_t n = 0; n < r.lines.size(); ++n) {
      const LineResult& line = r.lines[n];
      const tApDetalle& d = line.detalle;
      rows.push_back({d.Ap_ID.empty() ? "-" : d.Ap_ID, d.Producto.Pr_Cve_Producto, NumberText(d.Ap_Cantidad_1),
                      d.Ap_Unidad_1, NumberText(d.Ap_Precio_Neto_Importe), line.ok ? "stored" : "refused"});
    }
    if (!rows.empty())
      PrintTable(host.out, {"Ap_ID", "product", "quantity", "unit", "net amount", "result"}, rows, "  ");
  }
}

// Every refusal on stderr, the component's text exactly as it holds it.
void ReportRefusals(Host& host, const std::vector<LayawayInput>& inputs, const std::vector<LayawayResult>& results) {
  for (std::size_t i = 0; i < results.size(); ++i) {
    const LayawayResult& r = results[i];
    if (r.ok) continue;
    if (r.lines.empty()) host.err << inputs[i].where << " failed:\n" << r.error << "\n";
    for (std::size_t n = 0; n < r.lines.size(); ++n) {
      if (!r.lines[n].ok)
        host.err << inputs[i].where << ", line " << n + 1 << " refused:\n" << r.lines[n].error << "\n";
    }
  }
}

}  // namespace

int CaptureCommand(Host& host, const std::string& file) {
  const std::string name = file == "-" ? "stdin" : file;
  std::vector<InputValue> values = ParseObjects(ReadInput(file, host.in), name);
  std::vector<LayawayInput> inputs;
  int totalLines = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    inputs.push_back(CheckLayaway(values[i], name, static_cast<int>(i) + 1));
    totalLines += static_cast<int>(inputs.back().lines.size());
  }

  host.InstallSuite(host.options.connectionString);
  Apartado object;
  int linesDone = 0;
  auto lineDone = [&] {
    ++linesDone;
    if (totalLines > kProgressEvery && linesDone % kProgressEvery == 0) {
      host.err << "capture: " << linesDone << " of " << totalLines << " lines\n";
    }
  };
  std::vector<LayawayResult> results;
  bool allOk = true;
  std::string firstError;
  for (const LayawayInput& input : inputs) {
    results.push_back(CaptureLayaway(object, input, host, lineDone));
    if (!results.back().ok && allOk) {
      allOk = false;
      firstError = results.back().error;
    }
  }

  if (host.options.json) {
    Json output = OperationJson(allOk, firstError);
    if (results.size() == 1) {
      output["folio"] = results[0].folio;
      output["lines"] = LinesJson(results[0]);
    }
    Json layaways = Json::array();
    for (const LayawayResult& r : results) {
      layaways.push_back({{"folio", r.folio}, {"ok", r.ok}, {"error", r.error}, {"lines", LinesJson(r)}});
    }
    output["layaways"] = std::move(layaways);
    PrintJson(host.out, output);
  } else {
    PrintText(host, results);
  }
  ReportRefusals(host, inputs, results);
  return allOk ? kExitOk : kExitRefused;
}

}  // namespace apartado::cli
