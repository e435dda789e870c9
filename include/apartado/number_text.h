#pragma once
#include <string>

#include "apartado/export.h"

namespace apartado {

// The general number form used in statements and messages: up to 15
// significant digits, no thousands separator, '.' as decimal point, exponent
// form for very large or small values: 0.5, 100, 1E-05, 1E+15.
APARTADO_EXPORT std::string NumberText(double value);

}  // namespace apartado
