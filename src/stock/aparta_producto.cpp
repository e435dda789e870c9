// Reserving stock of one product: the quantity moves from the available
// columns to the reserved columns of its stock row, once the warehouse service
// says enough is available.
#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"
#include "stock/stock_shared.h"

namespace apartado {
namespace {

constexpr std::string_view kTag = "apartadoQZL.dll - Aparta_Producto() ";

// The operator is asked once the first piece is in place, so a failing
// session leaves exactly that much of the statement behind.
void ReservePlainStock(const stock::StockKeys& keys, double quantity1, double quantity2) {
  SqlBuilder sql;
  sql << "UPDATE Existencia SET ";
  const std::string oper = Publico().SessionServices->GetOperator();
  sql << "   Oper_Ult_Modif = '" << oper << "', "
      << "   Fecha_Ult_Modif = GETDATE(), "
      << "   Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 + " << quantity1 << ", "
      << "   Ex_Cantidad_Apartado_Control_2 = Ex_Cantidad_Apartado_Control_2 + " << quantity2 << ", "
      << "   Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 - " << quantity1 << ", "
      << "   Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - " << quantity2
      << " WHERE "
      << "   Existencia.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia.Al_Cve_Almacen = '" << keys.warehouse << "' AND  "
      << "   Existencia.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia.Tl_Cve_Talla = '" << keys.size << "' AND  "
      << "   Existencia.Cl_Cve_Color = '" << keys.colour << "' ";
  sql.Execute();
}

void ReserveKitStock(const stock::StockKeys& keys, double quantity1) {
  SqlBuilder sql;
  sql << "UPDATE Existencia_Kit SET ";
  const std::string oper = Publico().SessionServices->GetOperator();
  sql << "   Oper_Ult_Modif = '" << oper << "', "
      << "   Fecha_Ult_Modif = GETDATE(), "
      << "   Ek_Cantidad_Apartado = Ek_Cantidad_Apartado + " << quantity1 << ", "
      << "   Ek_Cantidad = Ek_Cantidad - " << quantity1 << " "
      << " WHERE "
      << "   Existencia_Kit.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia_Kit.Al_Cve_Almacen = '" << keys.warehouse << "' AND  "
      << "   Existencia_Kit.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia_Kit.Tl_Cve_Talla = '" << keys.size << "' AND  "
      << "   Existencia_Kit.Cl_Cve_Color = '" << keys.colour << "' ";
  sql.Execute();
}

// The plain product's shortage text; the same for either unit but for its
// second line, and it quotes both units.
std::string PlainShortageText(std::string_view reason, const stock::StockKeys& keys, const std::string& description,
                              double stock1, double quantity1, double stock2, double quantity2) {
  return stock::Refusal(kTag, reason) + kCrLf + stock::PlaceLines(keys, " - " + description) +
         stock::QuantityLine("Existencia-control-1:", stock1, " -> Apartar-control-1:", quantity1) + kCrLf +
         stock::QuantityLine("Existencia-control-2:", stock2, " -> Apartar-control-2:", quantity2) + kCrLf;
}

std::string KitShortageText(const stock::StockKeys& keys, const std::string& description, double stock1,
                            double quantity1) {
  return stock::Refusal(kTag, "No hay suficiente existencia en el kit para apartar") + kCrLf +
         stock::PlaceLines(keys, " - " + description) +
         stock::QuantityLine("EXISTENCIA:", stock1, " -> APARTAR:", quantity1) + kCrLf;
}

}  // namespace

Boolean Apartado::Aparta_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                                  const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                                  const std::string& Cl_Cve_Color, double Cantidad_Control_1,
                                  double Cantidad_Control_2) {
  return RunWithFailurePath(ErrorText, kTag, TagBreaks::One, [&]() -> Boolean {
    const std::unique_ptr<Recordset> product = stock::LookUpProduct(Pr_Cve_Producto);
    if (product->Eof()) {
      ErrorText = stock::ProductNotFoundText(kTag);
      return kFalse;
    }
    // Both units are asked for every product found, whatever its type.
    apartado::WarehouseServices& warehouse = *Publico().WarehouseServices;
    const double stock1 =
        warehouse.GetStock(Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, 1, "");
    const double stock2 =
        warehouse.GetStock(Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, 2, "");

    const stock::StockKeys keys{Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color};
    const std::string type = product->Field("Pr_Tipo_Producto").ToText();
    switch (stock::KindOfProductType(type)) {
      case stock::StockKind::Plain:
        if (stock1 < Cantidad_Control_1) {
          ErrorText = PlainShortageText("No hay suficiente existencia en el control-1 para apartar", keys,
                                        product->Field("Pr_Descripcion").ToText(), stock1, Cantidad_Control_1,
                                        stock2, Cantidad_Control_2);
          return kFalse;
        }
        if (stock2 < Cantidad_Control_2) {
          ErrorText = PlainShortageText("No hay suficiente existencia en el Control-2 para apartar", keys,
                                        product->Field("Pr_Descripcion").ToText(), stock1, Cantidad_Control_1,
                                        stock2, Cantidad_Control_2);
          return kFalse;
        }
        ReservePlainStock(keys, Cantidad_Control_1, Cantidad_Control_2);
        return kTrue;
      case stock::StockKind::Kit:
        if (stock1 < Cantidad_Control_1) {
          ErrorText = KitShortageText(keys, product->Field("Pr_Descripcion").ToText(), stock1, Cantidad_Control_1);
          return kFalse;
        }
        ReserveKitStock(keys, Cantidad_Control_1);
        return kTrue;
      case stock::StockKind::NoStock:
        return kTrue;
      case stock::StockKind::NotListed:
        break;
    }
    ErrorText = stock::TypeNotListedText(kTag, type);
    return kFalse;
  });
}

}  // namespace apartado
