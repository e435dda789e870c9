#include "stock/stock_shared.h"

#include "apartado/number_text.h"
#include "data/sql_builder.h"
#include "model/line_break.h"

namespace apartado::stock {

StockKind KindOfProductType(const std::string& type) {
  if (type == "01" || type == "02" || type == "03") return StockKind::Plain;
  if (type == "04") return StockKind::Kit;
  if (type == "05" || type == "99") return StockKind::NoStock;
  return StockKind::NotListed;
}

std::unique_ptr<Recordset> LookUpProduct(const std::string& product) {
  SqlBuilder sql;
  sql << "SELECT "
      << "   Pr_Cve_Producto, "
      << "   Pr_Tipo_Producto, "
      << "   Pr_Descripcion "
      << "FROM Producto "
      << "WHERE "
      << "   Pr_Cve_Producto = '" << product << "' ";
  return sql.Execute();
}

std::string Refusal(std::string_view tag, std::string_view message) {
  std::string text(tag);
  text += kCrLf;
  text += message;
  return text;
}

std::string ProductNotFoundText(std::string_view tag) {
  return Refusal(tag, "El código del producto es incorrecto");
}

std::string TypeNotListedText(std::string_view tag, const std::string& type) {
  return Refusal(tag, "El tipo de producto:" + type + ", no está programado!!!");
}

std::string PlaceLines(const StockKeys& keys, std::string_view productSuffix) {
  std::string text;
  auto line = [&text](std::string_view label, std::string_view value, std::string_view suffix = {}) {
    text += label;
    text += value;
    text += suffix;
    text += kCrLf;
  };
  line("sucursal:", keys.branch);
  line("Almacén: ", keys.warehouse);
  line("Producto:", keys.product, productSuffix);
  line("Talla:", keys.size);
  line("Color:", keys.colour);
  return text;
}

std::string QuantityLine(std::string_view label, double held, std::string_view arrow, double asked) {
  std::string text(label);
  text += NumberText(held);
  text += arrow;
  text += NumberText(asked);
  return text;
}

}  // namespace apartado::stock
