#pragma once
#include <cmath>

namespace apartado::suite {

// A quantity as the schema keeps it, to six decimal places: a quantity the
// host computed in floating point (0.1 + 0.2) then compares with a stored
// one (0.3) as stored ones compare with each other.
inline double StoredQuantity(double quantity) { return std::round(quantity * 1e6) / 1e6; }

}  // namespace apartado::suite
