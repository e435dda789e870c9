// Storing the current line as one row of Apartado and, while products are
// reserved at once, recording its serial number or lot with the suite and
// reserving its stock.
#include <cmath>
#include <string_view>

#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"

namespace apartado {
namespace {

constexpr std::string_view kInsertTag = "ApartadosQZL.dll - Inserta_Apartado()";

// The statement's fixed head: every column, in the order the values follow.
constexpr std::string_view kInsertHead =
    "INSERT INTO Apartado ("
    "Ap_Folio, Ap_ID, Ap_Tabla, Ap_Documento, Ap_Referencia, Ap_Fecha, Ap_Fecha_Entrega, Ap_Comentario, "
    "Sc_Cve_Sucursal, Al_Cve_Almacen, Ap_Sucursal_Inventario, Ap_Almacen_Inventario, Cl_Cve_Cliente, "
    "Vn_Cve_Vendedor, Ap_Condicion_Venta, Pr_Cve_Producto, Cl_Cve_Color, Tl_Cve_Talla, Ap_Concepto, "
    "Ap_Descuento_Global_Cuenta_Contable, Ap_Descuento_Global_Factor, Ap_Descuento_Global_Importe, "
    "Ap_Cantidad_1, Ap_Unidad_1, Ap_Cantidad_Control_1, Ap_Unidad_Control_1, Ap_Cantidad_Control_2, "
    "Ap_Unidad_Control_2, Ap_Cantidad_Costo, Ap_Unidad_Costo, Ap_Costo, Ap_Costo_Importe, Pr_Folio, "
    "Ap_Precio_Lista, Ap_Precio_Lista_Importe, Ap_Descuento_Factor, Ap_Descuento_Importe, "
    "Ap_Precio_Descontado, Ap_Precio_Descontado_Importe, Ap_Impuesto_Factor, Ap_Impuesto_Importe, "
    "Ap_Precio_Neto, Ap_Precio_Neto_Importe, Lt_Cve_Lote, Lt_Fecha_Caducidad, Lt_Pedimento, "
    "Lt_Fecha_Pedimento, Mn_Cve_Moneda, Ap_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, "
    "Fecha_Ult_Modif) "
    "VALUES ( ";

// Appends the values of one statement: texts quoted as held, numbers in the
// general number form, each followed by ", ".
class ValueWriter {
 public:
  explicit ValueWriter(SqlBuilder& sql) : sql_(sql) {}
  ValueWriter& Text(std::string_view value) {
    sql_ << "'" << value << "', ";
    return *this;
  }
  ValueWriter& Number(double value) {
    sql_ << value << ", ";
    return *this;
  }

 private:
  SqlBuilder& sql_;
};

}  // namespace

Boolean Apartado::Inserta_Apartado() {
  ErrorText.clear();
  return RunWithFailurePath(ErrorText, kInsertTag, TagBreaks::Two, [this]() -> Boolean {
    ModuleState& m = Publico();
    CatalogServices& catalog = *m.CatalogServices;
    SessionServices& session = *m.SessionServices;

    SqlBuilder sql;
    // The numbers and date texts are short; this covers them with room to spare.
    m.SqlText.reserve(kInsertHead.size() + 1024 + Header.Ap_Folio.size() + Header.Ap_Tabla.size() +
                      Header.Ap_Documento.size() + Header.Ap_Referencia.size() + Header.Ap_Comentario.size() +
                      Line.Ap_Concepto.size() + Line.Pr_Folio.size() + Line.Lote.Lt_Pedimento.size() +
                      Header.Ap_Descuento_Global_Cuenta_Contable.size() + 2 * AuditDateText.size());
    sql << kInsertHead;
    ValueWriter values(sql);
    values.Text(Header.Ap_Folio)
        .Text(Line.Ap_ID)
        .Text(Header.Ap_Tabla)
        .Text(Header.Ap_Documento)
        .Text(Header.Ap_Referencia)
        .Text(catalog.FormatDateForSql(Header.Ap_Fecha))
        .Text(catalog.FormatDateForSql(Header.Ap_Fecha_Entrega))
        .Text(Header.Ap_Comentario)
        .Text(Header.Sucursal.Sc_Cve_Sucursal)
        .Text(Header.Almacen.Al_Cve_Almacen)
        .Text(Line.Ap_Sucursal_Inventario)
        .Text(Line.Ap_Almacen_Inventario)
        .Text(Header.Cliente.Cl_Cve_Cliente)
        .Text(Header.Vendedor.Vn_Cve_Vendedor)
        .Text(Header.Ap_Condicion_Venta)
        .Text(Line.Producto.Pr_Cve_Producto)
        .Text(Line.Cl_Cve_Color)
        .Text(Line.Tl_Cve_Talla)
        .Text(Line.Ap_Concepto)
        .Text(Header.Ap_Descuento_Global_Cuenta_Contable)
        .Number(Header.Ap_Descuento_Global_Factor)
        .Number(Header.Ap_Descuento_Global_Importe)
        .Number(Line.Ap_Cantidad_1)
        .Text(Line.Ap_Unidad_1)
        .Number(Line.Ap_Cantidad_Control_1)
        .Text(Line.Ap_Unidad_Control_1)
        .Number(Line.Ap_Cantidad_Control_2)
        .Text(Line.Ap_Unidad_Control_2)
        .Number(Line.Ap_Cantidad_Costo)
        .Text(Line.Ap_Unidad_Costo)
        .Number(Line.Ap_Costo)
        .Number(Line.Ap_Costo_Importe)
        .Text(Line.Pr_Folio)
        .Number(Line.Ap_Precio_Lista)
        .Number(Line.Ap_Precio_Lista_Importe)
        .Number(Line.Ap_Descuento_Factor)
        .Number(Line.Ap_Descuento_Importe)
        .Number(Line.Ap_Precio_Descontado)
        .Number(Line.Ap_Precio_Descontado_Importe)
        .Number(Line.Ap_Impuesto_Factor)
        .Number(Line.Ap_Impuesto_Importe)
        .Number(Line.Ap_Precio_Neto)
        .Number(Line.Ap_Precio_Neto_Importe)
        .Text("")  // the row never keeps the lot key: the lot assignment holds it
        .Text(catalog.FormatDateForSql(Line.Lote.Lt_Fecha_Caducidad))
        .Text(Line.Lote.Lt_Pedimento)
        .Text(catalog.FormatDateForSql(Line.Lote.Lt_Fecha_Pedimento))
        .Text(Header.Mn_Cve_Moneda)
        .Number(Header.Ap_Tipo_Cambio)
        .Text(session.GetOperator())
        .Text(AuditDateText)
        .Text(session.GetOperator());
    sql << "'" << AuditDateText << "') ";
    sql.Execute();

    if (!IsNonZero(Apartar_Productos_)) return kTrue;
    const std::string& product = Line.Producto.Pr_Cve_Producto;
    const std::string& type = Line.Producto.Pr_Tipo_Producto;

    if (type == "03" && IsNonZero(HandlesSeries)) {
      auto series = InstalledServiceFactory()->CreateSeriesAssignment();
      const std::int16_t quantity = Variant::FromDouble(Line.Ap_Cantidad_Control_1).ToInteger();
      if (!IsTrue(series->AssignSeries("APARTADO", Header.Ap_Folio, Line.Ap_ID, product, Line.Tl_Cve_Talla,
                                       Line.Cl_Cve_Color, Line.Serie.Sr_Cve_Serie, Line.Serie.Sr_Pedimento,
                                       Line.Serie.Sr_FechaPedimento, quantity))) {
        ErrorText = series->GetErrorText();  // the component's own text, untagged
        return kFalse;
      }
    }

    if (type == "02" && IsNonZero(HandlesLots)) {
      if (IsNonZero(m.AutomaticLots) && Line.Lote.Lt_Cve_Lote.empty()) {
        // Chosen for the header's warehouse and the sale quantity.
        Line.Lote.Lt_Cve_Lote = m.WarehouseServices->PickAutomaticLot(
            Header.Sucursal.Sc_Cve_Sucursal, Header.Almacen.Al_Cve_Almacen, product, Line.Tl_Cve_Talla,
            Line.Cl_Cve_Color, Line.Ap_Cantidad_1, Line.Ap_Cantidad_Control_2);
      }
      if (Line.Lote.Lt_Cve_Lote.empty()) {
        ErrorText.assign(kInsertTag).append(kCrLf).append("Debe especificar los lotes a descargar");
        return kFalse;
      }
      auto lots = InstalledServiceFactory()->CreateLotAssignment();
      if (!IsTrue(lots->AssignLot("APARTADO", Header.Ap_Folio, Line.Ap_ID, product, Line.Tl_Cve_Talla,
                                  Line.Cl_Cve_Color, Line.Lote.Lt_Cve_Lote, std::fabs(Line.Ap_Cantidad_Control_1),
                                  std::fabs(Line.Ap_Cantidad_Control_2)))) {
        std::string reason = lots->GetErrorText();
        ErrorText.assign(kInsertTag).append(kCrLf).append(reason);
        return kFalse;
      }
    }

    if (!IsTrue(Aparta_Producto(Line.Ap_Sucursal_Inventario, Line.Ap_Almacen_Inventario, product, Line.Tl_Cve_Talla,
                                Line.Cl_Cve_Color, Line.Ap_Cantidad_Control_1, Line.Ap_Cantidad_Control_2))) {
      ErrorText.insert(0, kCrLf).insert(0, kInsertTag);  // the outer tag stands first
      return kFalse;
    }
    return kTrue;
  });
}

}  // namespace apartado
