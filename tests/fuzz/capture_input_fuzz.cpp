// Fuzz target: capture's input (JSON, JSON Lines) read and checked as the
// host reads it. Whatever it accepts must be what the component may be
// given: every text passes TextValueFault, every number is finite and
// within its range, every layaway has lines, and each value reaches the
// records exactly as given. Anything it refuses must be an InputError.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "apartado/text_values.h"
#include "capture_input.h"
#include "input_checks.h"
#include "record_json.h"

namespace {

using apartado::cli::Json;

[[noreturn]] void Fault(const std::string& what) {
  std::fprintf(stderr, "accepted: %s\n", what.c_str());
  std::abort();
}

// Every given leaf is a text the component may take or a number in its
// range, and reads back from the record as given (dates, reformatted, are
// left out).
void CheckGiven(const Json& given, const Json& stored, const std::string& path) {
  for (auto it = given.begin(); it != given.end(); ++it) {
    const std::string where = path + it.key();
    const Json& value = it.value();
    if (!stored.contains(it.key())) Fault(where + " is not a field of the record");
    const Json& back = stored.at(it.key());
    if (value.is_object()) {
      CheckGiven(value, back, where + ".");
    } else if (value.is_string()) {
      if (!apartado::TextValueFault(value.get<std::string>()).empty()) Fault(where + " holds " + value.dump());
      if (where.find("Fecha") == std::string::npos && back != value)
        Fault(where + " given " + value.dump() + " but stored " + back.dump());
    } else if (value.is_number()) {
      const double number = value.get<double>();
      if (!std::isfinite(number) || std::fabs(number) > apartado::host_json::NumberLimit(it.key()))
        Fault(where + " = " + value.dump());
      if (back.get<double>() != number) Fault(where + " given " + value.dump() + " but stored " + back.dump());
    } else {
      Fault(where + " holds " + value.dump());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<apartado::cli::LayawayInput> layaways;
  try {
    layaways = apartado::cli::ReadLayaways(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
  } catch (const apartado::cli::InputError&) {
    return 0;
  }
  if (layaways.empty()) Fault("an input with nothing to capture");
  for (const apartado::cli::LayawayInput& layaway : layaways) {
    if (layaway.lines.empty()) Fault(layaway.where + " without lines");
    apartado::tApEncabezado header;
    apartado::host_json::OverlayEncabezado(layaway.header, header, "Encabezado.");
    CheckGiven(layaway.header, apartado::host_json::EncabezadoToJson(header), layaway.where + ": Encabezado.");
    for (const Json& line : layaway.lines) {
      apartado::tApDetalle detalle;
      apartado::host_json::OverlayDetalle(line, detalle);
      CheckGiven(line, apartado::host_json::DetalleToJson(detalle), layaway.where + ": ");
    }
  }
  return 0;
}
