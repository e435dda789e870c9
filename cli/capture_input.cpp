#include "capture_input.h"

#include "apartado/records.h"
#include "host.h"
#include "input_checks.h"
#include "json_input.h"
#include "record_json.h"

namespace apartado::cli {

using host_json::InputValue;
using host_json::OverlayDetalle;
using host_json::OverlayEncabezado;
using host_json::ParseObjects;

namespace {

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
      layaway.reference = scratch.Ap_Referencia;
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
      } else if (const std::optional<std::int16_t> number = ShortValue(given)) {
        layaway.apartarProductos = *number;
      } else {
        refuse("field \"Apartar_Productos\" must be true or false");
      }
    } else {
      refuse("unknown field \"" + key + "\" (a layaway has Encabezado, Detalles and Apartar_Productos)");
    }
  }
  if (layaway.lines.empty()) refuse("no lines to capture (\"Detalles\" is missing or empty)");
  return layaway;
}

}  // namespace

std::vector<LayawayInput> ReadLayaways(const std::string& text, const std::string& name) {
  const std::vector<InputValue> values = ParseObjects(text, name);
  if (values.empty()) throw InputError(name + ": nothing to capture: the input holds no layaway");
  std::vector<LayawayInput> layaways;
  layaways.reserve(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    layaways.push_back(CheckLayaway(values[i], name, static_cast<int>(i) + 1));
  return layaways;
}

}  // namespace apartado::cli
