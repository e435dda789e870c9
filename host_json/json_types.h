#pragma once
// What the JSON the hosts read and write is made of: objects that keep their
// members in the order written, and the error that names what is wrong with
// an input.
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace apartado::host_json {

using Json = nlohmann::ordered_json;

// Bad input, found before anything is written. The message names what is
// wrong (file, table, row, column, field, line).
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace apartado::host_json
