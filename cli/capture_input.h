#pragma once
// The layaways of capture's input, read and checked whole before anything
// is written.
#include <optional>
#include <string>
#include <vector>

#include "apartado/boolean.h"
#include "output.h"

namespace apartado::cli {

// One layaway of the input.
struct LayawayInput {
  std::string where;      // "NAME: layaway N (input line L)"
  Json header;            // the given header fields (an empty object when none)
  std::string reference;  // the given Ap_Referencia, if any
  std::vector<Json> lines;
  std::optional<Boolean> apartarProductos;
};

// The layaways of an input holding one object, an array of them or JSON
// Lines (see ParseObjects). Throws InputError naming the input, the layaway,
// the line and the field of the first fault: malformed JSON, a key given
// twice, an unknown field, a value of the wrong type, a text or number the
// host refuses (record_json.h), a layaway without lines, or no layaway at all.
std::vector<LayawayInput> ReadLayaways(const std::string& text, const std::string& name);

}  // namespace apartado::cli
