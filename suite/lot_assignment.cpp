// Lot draw-downs recorded against document lines: Lote and Lote_Asignacion.
#include <algorithm>

#include "quantities.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {
namespace {

struct LotRow {
  std::string branch;
  std::string warehouse;
  double free = 0;
};

}  // namespace

// Draws quantity1 from the lot's free quantity (Lt_Cantidad) and records the
// draw-down with both quantities. The call names no branch or warehouse, so
// the lot is matched by product, size, colour and lot key; when several
// warehouses hold it, the first (by branch, then warehouse) whose free
// quantity covers the draw-down gives it. Refused, in this order: an empty
// folio, an empty lot key, a negative quantity, a lot those keys do not have
// (or withdrawn, 'BA'), and a lot whose free quantity is short (the message
// quotes the largest free quantity found).
Boolean SuiteLotAssignment::AssignLot(const std::string& documentKind, const std::string& folio,
                                      const std::string& lineId, const std::string& product, const std::string& size,
                                      const std::string& colour, const std::string& lot, double quantity1,
                                      double quantity2) {
  errorText_.clear();
  if (folio.empty())
    errorText_ = texts::DocumentFolioMissing();
  else if (lot.empty())
    errorText_ = texts::LotMissing();
  else if (quantity1 < 0)
    errorText_ = texts::LotQuantityNegative(quantity1);
  if (!errorText_.empty()) return kFalse;

  const std::string keys = texts::Keys(product, size, colour);
  std::vector<LotRow> rows;
  for (TableRecordset found = Db().Query(
           "SELECT Sc_Cve_Sucursal, Al_Cve_Almacen, Lt_Cantidad FROM Lote WHERE Pr_Cve_Producto = :p1 AND "
           "Tl_Cve_Talla = :p2 AND Cl_Cve_Color = :p3 AND Lt_Cve_Lote = :p4 AND COALESCE(Es_Cve_Estado, '') <> 'BA' "
           "ORDER BY Sc_Cve_Sucursal, Al_Cve_Almacen" +
               std::string(ForUpdate()),
           {Variant::FromText(product), Variant::FromText(size), Variant::FromText(colour), Variant::FromText(lot)});
       !found.Eof(); found.MoveNext()) {
    const Variant free = found.Field("Lt_Cantidad");
    rows.push_back({found.Field("Sc_Cve_Sucursal").ToText(), found.Field("Al_Cve_Almacen").ToText(),
                    free.IsNull() ? 0 : free.ToDouble()});
  }
  if (rows.empty()) {
    errorText_ = texts::LotUnknown(lot, keys);
    return kFalse;
  }

  // The conditional update is the first statement of the transaction, so the
  // free quantity is tested and drawn at once, whatever other callers do.
  Transaction transaction(Db());
  for (const LotRow& row : rows) {
    const std::vector<Variant> lotKeys = {Variant::FromText(row.branch), Variant::FromText(row.warehouse),
                                          Variant::FromText(product),    Variant::FromText(size),
                                          Variant::FromText(colour),     Variant::FromText(lot)};
    std::vector<Variant> params = lotKeys;
    params.push_back(Variant::FromDouble(StoredQuantity(quantity1)));
    if (Db().Command("UPDATE Lote SET Lt_Cantidad = Lt_Cantidad - :p7 WHERE Sc_Cve_Sucursal = :p1 AND "
                     "Al_Cve_Almacen = :p2 AND Pr_Cve_Producto = :p3 AND Tl_Cve_Talla = :p4 AND Cl_Cve_Color = :p5 "
                     "AND Lt_Cve_Lote = :p6 AND Lt_Cantidad >= :p7",
                     params) == 0) {
      continue;
    }
    params = {Variant::FromText(documentKind), Variant::FromText(folio), Variant::FromText(lineId)};
    params.insert(params.end(), lotKeys.begin(), lotKeys.end());
    params.insert(params.end(),
                  {Variant::FromDouble(StoredQuantity(quantity1)), Variant::FromDouble(StoredQuantity(quantity2)),
                   Variant::FromText(Options().operatorKey)});
    Db().Command(
        "INSERT INTO Lote_Asignacion (La_Tipo_Documento, La_Folio, La_ID, Sc_Cve_Sucursal, Al_Cve_Almacen, "
        "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, Lt_Cve_Lote, La_Cantidad_1, La_Cantidad_2, Oper_Alta, "
        "Fecha_Alta) VALUES (:p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8, :p9, :p10, :p11, :p12, GETDATE())",
        params);
    transaction.Commit();
    return kTrue;
  }
  const double largest = std::max_element(rows.begin(), rows.end(), [](const LotRow& a, const LotRow& b) {
                           return a.free < b.free;
                         })->free;
  errorText_ = texts::LotShort(lot, keys, largest, quantity1);
  return kFalse;
}

}  // namespace apartado::suite
