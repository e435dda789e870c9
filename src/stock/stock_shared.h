#pragma once
// What reserving and releasing product stock share: the product look-up, the
// dispatch on the product type and the pieces of their refusal texts.
#include <memory>
#include <string>
#include <string_view>

#include "apartado/recordset.h"

namespace apartado::stock {

// How a product type keeps its stock.
enum class StockKind {
  Plain,      // "01", "02", "03": a row of Existencia, two control units
  Kit,        // "04": a row of Existencia_Kit, one quantity
  NoStock,    // "05", "99": nothing to move
  NotListed,  // any other code: refused
};

// Exact text comparison, as stored in Pr_Tipo_Producto.
StockKind KindOfProductType(const std::string& type);

// Runs the product look-up (key, type and description) and answers its rows;
// no row means the product key does not exist.
std::unique_ptr<Recordset> LookUpProduct(const std::string& product);

// The keys of one stock row, as quoted in the refusal texts.
struct StockKeys {
  std::string_view branch;
  std::string_view warehouse;
  std::string_view product;
  std::string_view size;
  std::string_view colour;
};

// tag, a line break, then message; no closing line break.
std::string Refusal(std::string_view tag, std::string_view message);

// Product-not-found text under the given tag.
std::string ProductNotFoundText(std::string_view tag);

// Type-not-listed text under the given tag, quoting the stored type code.
std::string TypeNotListedText(std::string_view tag, const std::string& type);

// The branch, warehouse, product, size and colour lines of a stock text, each
// followed by a line break. productSuffix follows the product key on its line.
std::string PlaceLines(const StockKeys& keys, std::string_view productSuffix = {});

// label, the held quantity, arrow, the asked quantity (numbers in the general
// number form); no line break.
std::string QuantityLine(std::string_view label, double held, std::string_view arrow, double asked);

}  // namespace apartado::stock
