#include "schema_tables.h"

namespace apartado::suite {
namespace {

ColumnSpec K(std::string name) { return {std::move(name), ColumnKind::Key, "", false}; }
ColumnSpec T(std::string name) { return {std::move(name), ColumnKind::Text, "", false}; }
ColumnSpec N(std::string name) { return {std::move(name), ColumnKind::Number, "0", false}; }
ColumnSpec Q(std::string name) { return {std::move(name), ColumnKind::Quantity, "0", false}; }
ColumnSpec D(std::string name) { return {std::move(name), ColumnKind::Date, "", false}; }
ColumnSpec W(std::string name) { return {std::move(name), ColumnKind::Whole, "0", false}; }
// Primary-key columns are never null.
ColumnSpec PK(std::string name) { return {std::move(name), ColumnKind::Key, "", true}; }
// Catalogue status: 'BA' marks a withdrawn row; new rows are active.
ColumnSpec Status() { return {"Es_Cve_Estado", ColumnKind::Key, "'AC'", false}; }
// A column that tables made by an earlier release lack.
ColumnSpec AddedLater(ColumnSpec column) {
  column.addedLater = true;
  return column;
}

std::vector<ColumnSpec> FiveKeys() {
  return {PK("Sc_Cve_Sucursal"), PK("Al_Cve_Almacen"), PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), PK("Cl_Cve_Color")};
}
const std::vector<std::string> kFiveKeyNames = {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla",
                                                "Cl_Cve_Color"};

std::vector<ColumnSpec> Join(std::vector<ColumnSpec> a, const std::vector<ColumnSpec>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A catalogue with a key, a description and a status.
TableSpec Catalogue(const std::string& table, const std::string& key, const std::string& description) {
  return {table, {PK(key), T(description), Status()}, {key}, {}};
}

std::vector<TableSpec> BuildTables() {
  std::vector<TableSpec> t;
  t.push_back({"Sucursal",
               {PK("Sc_Cve_Sucursal"), T("Sc_Descripcion"), K("Sc_Servidor_Id"), Status()},
               {"Sc_Cve_Sucursal"},
               {}});
  t.push_back({"Almacen",
               {PK("Sc_Cve_Sucursal"), PK("Al_Cve_Almacen"), T("Al_Descripcion"), W("Al_Maneja_Tallas"),
                W("Al_Maneja_Colores"), W("Al_Maneja_Lotes"), W("Al_Maneja_Series"), Status()},
               {"Sc_Cve_Sucursal", "Al_Cve_Almacen"},
               {}});
  t.push_back(Catalogue("Moneda", "Mn_Cve_Moneda", "Mn_Descripcion"));
  t.push_back(Catalogue("Vendedor", "Vn_Cve_Vendedor", "Vn_Descripcion"));
  t.push_back({"Cliente",
               {PK("Cl_Cve_Cliente"), T("Cl_Descripcion"), K("Cl_Tipo_Cuenta"), W("Cl_Dias_Credito"),
                N("Cl_Limite_Credito"), K("Cc_Cve_Cadena_Comercial"), K("Gc_Cve_Grupo_Comercial"), Status()},
               {"Cl_Cve_Cliente"},
               {}});
  t.push_back(Catalogue("Condicion_Venta", "Cv_Cve_Condicion_Venta", "Cv_Descripcion"));
  t.push_back({"Producto",
               {PK("Pr_Cve_Producto"), T("Pr_Descripcion"), K("Pr_Tipo_Producto"), K("Pr_Tipo_Costeo"),
                K("Pr_Unidad_Control_1"), K("Pr_Unidad_Control_2"), K("Pr_Unidad_Costo"), N("Pr_Costo"),
                N("Pr_Tasa_Impuesto"), Status()},
               {"Pr_Cve_Producto"},
               {}});
  t.push_back(Catalogue("Talla", "Tl_Cve_Talla", "Tl_Descripcion"));
  t.push_back(Catalogue("Color", "Cl_Cve_Color", "Cl_Descripcion"));
  t.push_back(Catalogue("Unidad", "Un_Cve_Unidad", "Un_Descripcion"));
  t.push_back({"Producto_Talla",
               {PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), Status()},
               {"Pr_Cve_Producto", "Tl_Cve_Talla"},
               {}});
  t.push_back({"Producto_Color",
               {PK("Pr_Cve_Producto"), PK("Cl_Cve_Color"), Status()},
               {"Pr_Cve_Producto", "Cl_Cve_Color"},
               {}});
  t.push_back({"Producto_Talla_Color",
               {PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), PK("Cl_Cve_Color"), Status()},
               {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color"},
               {}});
  // A row with an empty product key holds the factor for every product.
  t.push_back({"Unidad_Conversion",
               {{"Pr_Cve_Producto", ColumnKind::Key, "''", true},
                PK("Un_Cve_Unidad_Origen"),
                PK("Un_Cve_Unidad_Destino"),
                N("Uc_Factor"),
                Status()},
               {"Pr_Cve_Producto", "Un_Cve_Unidad_Origen", "Un_Cve_Unidad_Destino"},
               {}});
  t.push_back({"Existencia",
               Join(FiveKeys(), {Q("Ex_Cantidad_Control_1"), Q("Ex_Cantidad_Control_2"),
                                 Q("Ex_Cantidad_Apartado_Control_1"), Q("Ex_Cantidad_Apartado_Control_2"),
                                 N("Ex_Costo_Promedio"), K("Oper_Ult_Modif"), D("Fecha_Ult_Modif")}),
               kFiveKeyNames,
               {}});
  t.push_back(
      {"Existencia_Kit",
       Join(FiveKeys(), {Q("Ek_Cantidad"), Q("Ek_Cantidad_Apartado"), K("Oper_Ult_Modif"), D("Fecha_Ult_Modif")}),
       kFiveKeyNames,
       {}});
  // Lt_Cantidad: the quantity of the lot still free, in control unit 1.
  t.push_back({"Lote",
               Join(FiveKeys(), {PK("Lt_Cve_Lote"), D("Lt_Fecha_Caducidad"), Q("Lt_Cantidad"), T("Lt_Pedimento"),
                                 D("Lt_Fecha_Pedimento"), Status()}),
               Join(kFiveKeyNames, {"Lt_Cve_Lote"}),
               {{"IX_Lote_Producto", {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Lt_Cve_Lote"}, false, ""}}});
  // Every draw-down of a lot by a document line. Es_Cve_Estado is 'AC' while
  // it stands and 'CA' once its quantity went back to the lot (its layaway
  // was cancelled), so that no draw-down is given back twice.
  t.push_back({"Lote_Asignacion",
               {K("La_Tipo_Documento"), K("La_Folio"), K("La_ID"), K("Sc_Cve_Sucursal"), K("Al_Cve_Almacen"),
                K("Pr_Cve_Producto"), K("Tl_Cve_Talla"), K("Cl_Cve_Color"), K("Lt_Cve_Lote"), Q("La_Cantidad_1"),
                Q("La_Cantidad_2"), K("Oper_Alta"), D("Fecha_Alta"), AddedLater(Status())},
               {},
               {{"IX_Lote_Asignacion_Documento", {"La_Tipo_Documento", "La_Folio", "La_ID"}, false, ""}}});
  // One row per unit: a serial number belongs to one product, size and
  // colour. Sr_Tipo_Documento/Sr_Folio/Sr_ID name the document line it is
  // assigned to (empty or null while free).
  t.push_back({"Serie",
               {K("Sc_Cve_Sucursal"), K("Al_Cve_Almacen"), PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"),
                PK("Cl_Cve_Color"), PK("Sr_Cve_Serie"), T("Sr_Pedimento"), D("Sr_FechaPedimento"),
                K("Sr_Tipo_Documento"), K("Sr_Folio"), K("Sr_ID"), Status()},
               {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Sr_Cve_Serie"},
               {}});
  t.push_back({"Parametro", {PK("Pa_Nombre"), T("Pa_Valor"), Status()}, {"Pa_Nombre"}, {}});
  // Fo_Siguiente: the next number the series hands out.
  t.push_back({"Folio",
               {PK("Sc_Cve_Sucursal"), PK("Fo_Documento"), {"Fo_Siguiente", ColumnKind::Counter, "1", true}, Status()},
               {"Sc_Cve_Sucursal", "Fo_Documento"},
               {}});
  std::vector<ColumnSpec> apartado = {PK("Ap_Folio"),
                                      PK("Ap_ID"),
                                      K("Ap_Tabla"),
                                      K("Ap_Documento"),
                                      T("Ap_Referencia"),
                                      D("Ap_Fecha"),
                                      D("Ap_Fecha_Entrega"),
                                      T("Ap_Comentario"),
                                      K("Sc_Cve_Sucursal"),
                                      K("Al_Cve_Almacen"),
                                      K("Ap_Sucursal_Inventario"),
                                      K("Ap_Almacen_Inventario"),
                                      K("Cl_Cve_Cliente"),
                                      K("Vn_Cve_Vendedor"),
                                      K("Ap_Condicion_Venta"),
                                      K("Pr_Cve_Producto"),
                                      K("Cl_Cve_Color"),
                                      K("Tl_Cve_Talla"),
                                      T("Ap_Concepto"),
                                      K("Ap_Descuento_Global_Cuenta_Contable"),
                                      N("Ap_Descuento_Global_Factor"),
                                      N("Ap_Descuento_Global_Importe"),
                                      Q("Ap_Cantidad_1"),
                                      K("Ap_Unidad_1"),
                                      Q("Ap_Cantidad_Control_1"),
                                      K("Ap_Unidad_Control_1"),
                                      Q("Ap_Cantidad_Control_2"),
                                      K("Ap_Unidad_Control_2"),
                                      Q("Ap_Cantidad_Costo"),
                                      K("Ap_Unidad_Costo"),
                                      N("Ap_Costo"),
                                      N("Ap_Costo_Importe"),
                                      K("Pr_Folio"),
                                      N("Ap_Precio_Lista"),
                                      N("Ap_Precio_Lista_Importe"),
                                      N("Ap_Descuento_Factor"),
                                      N("Ap_Descuento_Importe"),
                                      N("Ap_Precio_Descontado"),
                                      N("Ap_Precio_Descontado_Importe"),
                                      N("Ap_Impuesto_Factor"),
                                      N("Ap_Impuesto_Importe"),
                                      N("Ap_Precio_Neto"),
                                      N("Ap_Precio_Neto_Importe"),
                                      K("Lt_Cve_Lote"),
                                      D("Lt_Fecha_Caducidad"),
                                      T("Lt_Pedimento"),
                                      D("Lt_Fecha_Pedimento"),
                                      K("Mn_Cve_Moneda"),
                                      N("Ap_Tipo_Cambio"),
                                      K("Oper_Alta"),
                                      D("Fecha_Alta"),
                                      K("Oper_Ult_Modif"),
                                      D("Fecha_Ult_Modif"),
                                      // Not written by the insertion: a new row is active ('AC'), never null.
                                      {"Es_Cve_Estado", ColumnKind::Key, "'AC'", true},
                                      K("Oper_Baja"),
                                      D("Fecha_Baja")};
  // A capture run again looks up the layaways already stored by reference.
  t.push_back(
      {"Apartado", apartado, {"Ap_Folio", "Ap_ID"}, {{"IX_Apartado_Referencia", {"Ap_Referencia"}, false, ""}}});
  t.push_back({"Cuenta_X_Cobrar",
               {PK("Sc_Cve_Sucursal"),
                PK("Cxc_Folio"),
                K("Cxc_Tabla"),
                K("Cxc_Documento"),
                T("Cxc_Referencia"),
                T("Cxc_Comentario"),
                D("Cxc_Fecha"),
                D("Cxc_Fecha_Vencimiento"),
                K("Cl_Cve_Cliente"),
                K("Mn_Cve_Moneda"),
                N("Cxc_Tipo_Cambio"),
                N("Cxc_Subtotal"),
                N("Cxc_Impuesto"),
                N("Cxc_Total"),
                N("Cxc_Abonos"),
                N("Cxc_Saldo"),
                Status(),
                K("Oper_Alta"),
                D("Fecha_Alta"),
                K("Oper_Baja"),
                D("Fecha_Baja")},
               {"Sc_Cve_Sucursal", "Cxc_Folio"},
               {{"IX_Cuenta_X_Cobrar_Documento", {"Cxc_Tabla", "Cxc_Documento"}, false, ""},
                // At most one receivable in force per originating document.
                {"UX_Cuenta_X_Cobrar_Activa", {"Cxc_Tabla", "Cxc_Documento"}, true, "Es_Cve_Estado <> 'CA'"}}});
  t.push_back({"Historial_Seguimiento",
               {K("Hs_Aplicacion"), K("Hs_Tipo_Documento"), K("Hs_Folio"), K("Hs_Tipo_Entidad"), K("Hs_Cve_Entidad"),
                D("Hs_Fecha"), T("Hs_Descripcion"), K("Oper_Alta"), D("Fecha_Alta")},
               {},
               {{"IX_Historial_Seguimiento_Documento", {"Hs_Tipo_Documento", "Hs_Folio"}, false, ""},
                {"IX_Historial_Seguimiento_Entidad", {"Hs_Tipo_Entidad", "Hs_Cve_Entidad"}, false, ""}}});
  t.push_back({"Notificacion_Documento",
               {K("Nd_Tipo_Documento"), K("Nd_Folio"), T("Nd_Texto"), K("Oper_Alta"), D("Fecha_Alta")},
               {},
               {{"IX_Notificacion_Documento", {"Nd_Tipo_Documento", "Nd_Folio"}, false, ""}}});
  return t;
}

}  // namespace

const std::vector<TableSpec>& SuiteTables() {
  static const std::vector<TableSpec> tables = BuildTables();
  return tables;
}

}  // namespace apartado::suite
