#pragma once
// What a host refuses in the values it reads before the component sees any
// of them: text the component could not write into its statements as text,
// and numbers outside the ranges that keep every amount it computes finite.
// Each check throws InputError naming the value.
#include <cstdint>
#include <optional>
#include <string>

#include "json_types.h"

namespace apartado::host_json {

// The ranges numbers of the input must lie in (either sign): a line's
// amounts, up to quantity x price x factors summed over a layaway, stay
// far inside what a double holds.
inline constexpr double kMaxQuantity = 1e9;  // quantities (Cantidad), stock included
inline constexpr double kMaxFactor = 1e6;    // factors, rates, exchange rates, percentages
inline constexpr double kMaxAmount = 1e12;   // prices, costs, amounts, limits, any other number

// The largest magnitude a number named so may have: kMaxQuantity for a name
// holding "Cantidad", kMaxFactor for "Factor", "Tasa", "Tipo_Cambio" or
// "Porcentaje", kMaxAmount otherwise (in any letter case).
double NumberLimit(const std::string& name);

// Throws InputError "WHAT holds a single quote (') at character 3 ..." when
// apartado::TextValueFault refuses the value; what names it ("field
// \"Ap_Concepto\"", "FOLIO").
void CheckText(const std::string& value, const std::string& what);

// Throws InputError "WHAT must be a number from -L to L, not ..." unless the
// value is finite and within NumberLimit(name).
void CheckNumber(double value, const std::string& name, const std::string& what);

// A value load writes in a column: text as CheckText (but descriptions,
// columns named *_Descripcion, which the component never copies into a
// statement), a number as CheckNumber by the column's name. where names
// the file, table, row and column.
void CheckLoadedValue(const std::string& column, const Json& value, const std::string& where);

// A JSON whole number from -32768 to 32767 as a 16-bit integer; nullopt for
// anything else (a number beyond 2^63 would otherwise wrap to a small one).
std::optional<std::int16_t> ShortValue(const Json& value);

}  // namespace apartado::host_json
