#pragma once
// What the host refuses in its arguments and session values before the
// component sees any of them; the checks of values read as JSON or CSV are
// shared with the C interface (value_checks.h). Each check throws InputError
// naming the value.
#include <CLI/CLI.hpp>

#include "host.h"
#include "value_checks.h"

namespace apartado::cli {

using host_json::CheckLoadedValue;
using host_json::CheckNumber;
using host_json::CheckText;
using host_json::kMaxQuantity;
using host_json::ShortValue;

// The session's --operator and --server-id (or their environment
// variables): the component writes the operator into its rows.
void CheckSessionValues(const HostOptions& options);

// CANTIDAD1 and CANTIDAD2 of release-product: a decimal number in plain
// notation (digits, at most one '.'; no sign, exponent, hexadecimal, inf or
// nan), from 0 to kMaxQuantity.
CLI::Validator PlainQuantity();

// --statement-timeout: seconds as a plain decimal, 0 for none, at most a day.
CLI::Validator TimeoutSeconds();

}  // namespace apartado::cli
