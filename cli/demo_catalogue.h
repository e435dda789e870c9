#pragma once
// The small catalogue and the layaway the demo walks through its life.
#include <vector>

#include "apartado/records.h"
#include "output.h"

namespace apartado::cli::demo {

inline constexpr const char* kBranch = "01";
inline constexpr const char* kWarehouse = "01";
inline constexpr const char* kCustomer = "C001";

// One branch and warehouse (lots kept, sizes and colours not), a currency, a
// seller, a customer with 30 days of credit, a sale condition, a unit, the
// "00" size and colour, a plain product, a kit and a lot-kept product with two
// lots, and their stock rows; as load input.
Json Catalogue();

// The header keys of the demo layaway, laid over a header read from the object.
void FillHeader(tApEncabezado& header);

// The lines: four chairs, one dining set (a kit), six tins of varnish from a lot.
std::vector<tApDetalle> Lines();

}  // namespace apartado::cli::demo
