// Warehouse capabilities, stock, costs and automatic lots.
#include "apartado/failure.h"
#include "catalogue_rows.h"
#include "quantities.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {
namespace {

std::vector<Variant> FiveKeys(const std::string& branch, const std::string& warehouse, const std::string& product,
                              const std::string& size, const std::string& colour) {
  return {Variant::FromText(branch), Variant::FromText(warehouse), Variant::FromText(product), Variant::FromText(size),
          Variant::FromText(colour)};
}

RowKey ProductRow(const std::string& product) { return {"Producto", "Pr_Cve_Producto", product, "", ""}; }

const char* const kFiveKeysWhere =
    " WHERE Sc_Cve_Sucursal = :p1 AND Al_Cve_Almacen = :p2 AND Pr_Cve_Producto = :p3 AND Tl_Cve_Talla = :p4 AND "
    "Cl_Cve_Color = :p5";

// The named column of the first row as a double; 0 without a row or for null.
double FirstNumber(TableRecordset rows, const std::string& column) {
  if (rows.Eof()) return 0;
  const Variant value = rows.Field(column);
  return value.IsNull() ? 0 : value.ToDouble();
}

}  // namespace

// The warehouse's Al_Maneja_* column: non-zero is True; an unknown warehouse
// or a null column is False.
// The warehouse row is read as the layaway's own look-up of it reads it
// (warehouse key first), so that both share one answer.
Boolean SuiteWarehouseServices::WarehouseFlag(const char* column, const std::string& branch,
                                              const std::string& warehouse) {
  const RowKey key{"Almacen", "Al_Cve_Almacen", warehouse, "Sc_Cve_Sucursal", branch};
  return ToBoolean(FirstNumber(RowsShowing(Db(), key, {column}), column) != 0);
}

Boolean SuiteWarehouseServices::HandlesSizes(const std::string& branch, const std::string& warehouse) {
  return WarehouseFlag("Al_Maneja_Tallas", branch, warehouse);
}
Boolean SuiteWarehouseServices::HandlesColours(const std::string& branch, const std::string& warehouse) {
  return WarehouseFlag("Al_Maneja_Colores", branch, warehouse);
}
Boolean SuiteWarehouseServices::HandlesLots(const std::string& branch, const std::string& warehouse) {
  return WarehouseFlag("Al_Maneja_Lotes", branch, warehouse);
}
Boolean SuiteWarehouseServices::HandlesSeries(const std::string& branch, const std::string& warehouse) {
  return WarehouseFlag("Al_Maneja_Series", branch, warehouse);
}

// Available quantity: Ex_Cantidad_Control_1 or _2 of the stock row; for a kit
// (product type "04") Ek_Cantidad of its kit row, whichever control is asked.
// No row answers 0. A control other than 1 or 2 throws Failure. Held until
// the transaction ends: the reservation that follows decides on it. On
// PostgreSQL the whole row is read locked (FOR UPDATE) through the kept
// answers, so that the reads of both controls of one line are one round
// trip: a locked row cannot change under other sessions, and the answer is
// dropped when this connection writes the table or rolls back. Elsewhere it
// is read afresh every time. Only the product's row may be an answer kept
// across transactions.
double SuiteWarehouseServices::GetStock(const std::string& branch, const std::string& warehouse,
                                        const std::string& product, const std::string& size, const std::string& colour,
                                        std::int32_t control, const std::string&) {
  if (control != 1 && control != 2) throw Failure(texts::ControlUnitInvalid(control));
  const std::vector<Variant> keys = FiveKeys(branch, warehouse, product, size, colour);
  TableRecordset type = RowsShowing(Db(), ProductRow(product), {"Pr_Tipo_Producto"});
  const bool kit = !type.Eof() && type.Field("Pr_Tipo_Producto").ToText() == "04";
  const std::string table = kit ? "Existencia_Kit" : "Existencia";
  const std::string column = kit ? "Ek_Cantidad" : control == 1 ? "Ex_Cantidad_Control_1" : "Ex_Cantidad_Control_2";
  if (Db().GetBackend() == Backend::PostgreSQL)
    return FirstNumber(Db().CachedQuery("SELECT * FROM " + table + kFiveKeysWhere + " FOR UPDATE", keys), column);
  return FirstNumber(Db().Query("SELECT " + column + " FROM " + table + kFiveKeysWhere + ForUpdate(), keys), column);
}

// Ex_Costo_Promedio of the stock row when above 0, else the product's
// Pr_Costo, else 0. The quantity does not change the unit cost. The stock
// row is read afresh (another session may have changed it since); the
// product's row may be an answer kept.
double SuiteWarehouseServices::GetCost(const std::string& branch, const std::string& warehouse,
                                       const std::string& product, const std::string& size, const std::string& colour,
                                       double, const std::string&) {
  const double average =
      FirstNumber(Db().Query(std::string("SELECT Ex_Costo_Promedio FROM Existencia") + kFiveKeysWhere,
                             FiveKeys(branch, warehouse, product, size, colour)),
                  "Ex_Costo_Promedio");
  if (average > 0) return average;
  return FirstNumber(RowsShowing(Db(), ProductRow(product), {"Pr_Costo"}), "Pr_Costo");
}

// The lot of those five keys, not withdrawn, whose free quantity covers the
// quantity, with the earliest expiry (lots without expiry last, ties by lot
// key); "" when none. The second quantity is not used.
std::string SuiteWarehouseServices::PickAutomaticLot(std::string branch, std::string warehouse, std::string product,
                                                     std::string size, std::string colour, double quantity, double) {
  std::vector<Variant> params = FiveKeys(branch, warehouse, product, size, colour);
  params.push_back(Variant::FromDouble(StoredQuantity(quantity)));
  TableRecordset lots = Db().Query(
      std::string("SELECT Lt_Cve_Lote FROM Lote") + kFiveKeysWhere +
          " AND Lt_Cantidad >= :p6 AND COALESCE(Es_Cve_Estado, '') <> 'BA' "
          "ORDER BY CASE WHEN Lt_Fecha_Caducidad IS NULL THEN 1 ELSE 0 END, Lt_Fecha_Caducidad, Lt_Cve_Lote" +
          ForUpdate(),
      params);
  return lots.Eof() ? "" : lots.Field("Lt_Cve_Lote").ToText();
}

}  // namespace apartado::suite
