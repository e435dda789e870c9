// Releasing reserved stock of one product: the quantity moves from the
// reserved columns back to the available columns, once the stock row itself
// shows that much reserved.
#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"
#include "stock/stock_shared.h"

namespace apartado {
namespace {

// The look-up refusals carry their own spelling of the operation's name.
constexpr std::string_view kLookupTag = "apartadoQZL.dll - Desaparta_Producto() ";
constexpr std::string_view kTag = "apartadoQZL.dll - Desapartar_Producto() ";

std::unique_ptr<Recordset> ReadPlainReservation(const stock::StockKeys& keys) {
  SqlBuilder sql;
  sql << "SELECT "
      << "   Ex_Cantidad_Control_1, "
      << "   Ex_Cantidad_Control_2, "
      << "   Ex_Cantidad_Apartado_Control_1, "
      << "   Ex_Cantidad_Apartado_Control_2 "
      << "FROM Existencia "
      << "WHERE   Existencia.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia.Al_Cve_Almacen = '" << keys.warehouse << "' AND "
      << "   Existencia.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia.Tl_Cve_Talla = '" << keys.size << "' AND "
      << "   Existencia.Cl_Cve_Color = '" << keys.colour << "' ";
  return sql.Execute();
}

std::unique_ptr<Recordset> ReadKitReservation(const stock::StockKeys& keys) {
  SqlBuilder sql;
  sql << "SELECT "
      << "   Ek_Cantidad, "
      << "   Ek_Cantidad_Apartado "
      << "FROM Existencia_Kit "
      << "WHERE   Existencia_Kit.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia_Kit.Al_Cve_Almacen = '" << keys.warehouse << "' AND "
      << "   Existencia_Kit.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia_Kit.Tl_Cve_Talla = '" << keys.size << "' AND "
      << "   Existencia_Kit.Cl_Cve_Color = '" << keys.colour << "' ";
  return sql.Execute();
}

// As with the reservation, the operator is asked once the first piece is in
// place.
void ReleasePlainStock(const stock::StockKeys& keys, double quantity1, double quantity2) {
  SqlBuilder sql;
  sql << "UPDATE Existencia SET ";
  const std::string oper = Publico().SessionServices->GetOperator();
  sql << "   Oper_Ult_Modif = '" << oper << "', "
      << "   Fecha_Ult_Modif = GETDATE(), "
      << "   Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 - " << quantity1 << ", "
      << "   Ex_Cantidad_Apartado_Control_2 = Ex_Cantidad_Apartado_Control_2 - " << quantity2 << ", "
      << "   Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 + " << quantity1 << ", "
      << "   Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 + " << quantity2
      << " WHERE "
      << "   Existencia.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia.Al_Cve_Almacen = '" << keys.warehouse << "' AND "
      << "   Existencia.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia.Tl_Cve_Talla = '" << keys.size << "' AND  "
      << "   Existencia.Cl_Cve_Color = '" << keys.colour << "' ";
  sql.Execute();
}

void ReleaseKitStock(const stock::StockKeys& keys, double quantity1) {
  SqlBuilder sql;
  sql << "UPDATE Existencia_Kit SET ";
  const std::string oper = Publico().SessionServices->GetOperator();
  sql << "   Oper_Ult_Modif = '" << oper << "', "
      << "   Fecha_Ult_Modif = GETDATE(), "
      << "   Ek_Cantidad_Apartado = Ek_Cantidad_Apartado - " << quantity1 << ", "
      << "   Ek_Cantidad = Ek_Cantidad + " << quantity1
      << " WHERE "
      << "   Existencia_Kit.Sc_Cve_Sucursal = '" << keys.branch << "' AND "
      << "   Existencia_Kit.Al_Cve_Almacen = '" << keys.warehouse << "' AND "
      << "   Existencia_Kit.Pr_Cve_Producto = '" << keys.product << "' AND "
      << "   Existencia_Kit.Tl_Cve_Talla = '" << keys.size << "' AND  "
      << "   Existencia_Kit.Cl_Cve_Color = '" << keys.colour << "' ";
  sql.Execute();
}

std::string NoReservationText(const stock::StockKeys& keys) {
  return stock::Refusal(kTag, "Imposible desapartar el producto actual, no hay registro de apartado") + kCrLf +
         stock::PlaceLines(keys);
}

// The two plain shortage texts differ in their second line and in the labels
// of their quantity lines.
std::string PlainShortageText(std::string_view reason, std::string_view label1, std::string_view label2,
                              const stock::StockKeys& keys, double reserved1, double quantity1, double reserved2,
                              double quantity2) {
  return stock::Refusal(kTag, reason) + kCrLf + stock::PlaceLines(keys) +
         stock::QuantityLine(label1, reserved1, " -> DESAPARTAR-CONTROL-1:", quantity1) + kCrLf +
         stock::QuantityLine(label2, reserved2, " -> DESAPARTAR-CONTROL-2:", quantity2) + kCrLf;
}

// Unlike the plain texts, this one ends right after the asked quantity.
std::string KitShortageText(const stock::StockKeys& keys, double reservedKit, double quantity1) {
  return stock::Refusal(kTag, "No hay suficiente existencia apartada en el Control-1") + kCrLf +
         stock::PlaceLines(keys) + stock::QuantityLine("EXISTENCIA-APARTADA:", reservedKit, " -> DESAPARTAR:", quantity1);
}

}  // namespace

Boolean Apartado::Desapartar_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                                      const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                                      const std::string& Cl_Cve_Color, double Cantidad_Control_1,
                                      double Cantidad_Control_2, const std::string& /*Series: accepted, unused*/) {
  return RunWithFailurePath(ErrorText, kTag, TagBreaks::One, [&]() -> Boolean {
    std::unique_ptr<Recordset> rows = stock::LookUpProduct(Pr_Cve_Producto);
    if (rows->Eof()) {
      ErrorText = stock::ProductNotFoundText(kLookupTag);
      return kFalse;
    }
    const stock::StockKeys keys{Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color};
    const std::string type = rows->Field("Pr_Tipo_Producto").ToText();
    switch (stock::KindOfProductType(type)) {
      case stock::StockKind::Plain: {
        rows = ReadPlainReservation(keys);
        if (rows->Eof()) {
          ErrorText = NoReservationText(keys);
          return kFalse;
        }
        const double reserved1 = rows->Field("Ex_Cantidad_Apartado_Control_1").ToDouble();
        const double reserved2 = rows->Field("Ex_Cantidad_Apartado_Control_2").ToDouble();
        if (reserved1 < Cantidad_Control_1) {
          ErrorText = PlainShortageText("No hay suficiente existencia apartada en el Control-1",
                                        "EXISTENCIA-APARTADA-CONTROL-1:", "EXISTENCIA-APARTADA-CONTROL-2:", keys,
                                        reserved1, Cantidad_Control_1, reserved2, Cantidad_Control_2);
          return kFalse;
        }
        if (reserved2 < Cantidad_Control_2) {
          ErrorText = PlainShortageText("No hay suficiente existencia apartada en el Control-2 para desapartar",
                                        "Existencia-control-1:", "Existencia-control-2:", keys, reserved1,
                                        Cantidad_Control_1, reserved2, Cantidad_Control_2);
          return kFalse;
        }
        rows->Close();
        ReleasePlainStock(keys, Cantidad_Control_1, Cantidad_Control_2);
        return kTrue;
      }
      case stock::StockKind::Kit: {
        rows = ReadKitReservation(keys);
        if (rows->Eof()) {
          ErrorText = NoReservationText(keys);
          return kFalse;
        }
        const double reservedKit = rows->Field("Ek_Cantidad_Apartado").ToDouble();
        rows->Close();
        if (reservedKit < Cantidad_Control_1) {
          ErrorText = KitShortageText(keys, reservedKit, Cantidad_Control_1);
          return kFalse;
        }
        ReleaseKitStock(keys, Cantidad_Control_1);
        return kTrue;
      }
      case stock::StockKind::NoStock:
        return kTrue;
      case stock::StockKind::NotListed:
        break;
    }
    ErrorText = stock::TypeNotListedText(kLookupTag, type);
    return kFalse;
  });
}

}  // namespace apartado
