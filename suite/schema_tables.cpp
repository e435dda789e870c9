#include "schema_tables.h"

namespace apartado::suite {
namespace {

ColumnSpec K(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Key, "", false, false, std::move(rule)};
}
ColumnSpec T(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Text, "", false, false, std::move(rule)};
}
ColumnSpec N(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Number, "0", false, false, std::move(rule)};
}
ColumnSpec Q(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Quantity, "0", false, false, std::move(rule)};
}
ColumnSpec D(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Date, "", false, false, std::move(rule)};
}
ColumnSpec W(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Whole, "0", false, false, std::move(rule)};
}
// Primary-key columns are never null.
ColumnSpec PK(std::string name, std::string rule = "") {
  return {std::move(name), ColumnKind::Key, "", true, false, std::move(rule)};
}
// Catalogue status: 'BA' marks a withdrawn row; new rows are active. The rule
// says what withdrawing does to the table's rows.
ColumnSpec Status(std::string rule = "") {
  return {"Es_Cve_Estado", ColumnKind::Key, "'AC'", false, false, std::move(rule)};
}
// A column that tables made by an earlier release lack.
ColumnSpec AddedLater(ColumnSpec column) {
  column.addedLater = true;
  return column;
}

// What the layaway's validation makes of a catalogue's description and status.
std::string MustDescribe(const std::string& what) {
  return "must not be empty: " + what + " without a description counts as missing";
}
const char* const kWithdrawn = "'BA' withdraws the row: the reference suite then treats it as missing";
const char* const kWrittenByComponent = "written by the component";
const char* const kWrittenBySuite = "written by the reference suite";

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

// A catalogue with a key, a description and a status that the layaway's
// validation reads: `what` names a row in the rules ("a currency").
TableSpec Catalogue(const std::string& table, const std::string& key, const std::string& description,
                    const std::string& what, std::string purpose) {
  return {table, {PK(key), T(description, MustDescribe(what)), Status(kWithdrawn)}, {key}, {}, std::move(purpose)};
}

std::vector<TableSpec> BuildTables() {
  std::vector<TableSpec> t;
  t.push_back({"Sucursal",
               {PK("Sc_Cve_Sucursal"), T("Sc_Descripcion"),
                K("Sc_Servidor_Id",
                  "the server id its layaways must be captured on (the host's --server-id); empty: any server"),
                Status()},
               {"Sc_Cve_Sucursal"},
               {},
               "Branches. The reference suite reads only Sc_Servidor_Id: a layaway's branch is checked through its "
               "warehouse"});
  t.push_back(
      {"Almacen",
       {PK("Sc_Cve_Sucursal"), PK("Al_Cve_Almacen"), T("Al_Descripcion", MustDescribe("a warehouse")),
        W("Al_Maneja_Tallas",
          "1: stock is kept by size (a line's size needs a Producto_Talla row); 0: every line's size is '00'"),
        W("Al_Maneja_Colores",
          "1: stock is kept by colour (a line's colour needs a Producto_Color row); 0: every line's colour is "
          "'00'"),
        W("Al_Maneja_Lotes", "1: a line of a product of type '02' draws on a lot (Lote); 0: it names none"),
        W("Al_Maneja_Series", "1: a line of a product of type '03' takes a serial number (Serie); 0: it names none"),
        Status(kWithdrawn)},
       {"Sc_Cve_Sucursal", "Al_Cve_Almacen"},
       {},
       "Warehouses of a branch. A layaway's warehouse, and each line's inventory warehouse, must have a row "
       "here"});
  t.push_back(Catalogue("Moneda", "Mn_Cve_Moneda", "Mn_Descripcion", "a currency",
                        "Currencies. A layaway's Mn_Cve_Moneda must have a row here"));
  t.push_back(Catalogue("Vendedor", "Vn_Cve_Vendedor", "Vn_Descripcion", "a seller",
                        "Sellers. A layaway's seller must have a row here"));
  t.push_back({"Cliente",
               {PK("Cl_Cve_Cliente"), T("Cl_Descripcion", MustDescribe("a customer")), K("Cl_Tipo_Cuenta"),
                W("Cl_Dias_Credito", "days of credit: a layaway's receivable falls due this many days after it"),
                N("Cl_Limite_Credito"), K("Cc_Cve_Cadena_Comercial"), K("Gc_Cve_Grupo_Comercial"),
                Status("'BA' withdraws the row: a layaway can no longer be captured for the customer")},
               {"Cl_Cve_Cliente"},
               {},
               "Customers. A layaway's customer must have a row here"});
  t.push_back(Catalogue("Condicion_Venta", "Cv_Cve_Condicion_Venta", "Cv_Descripcion", "a sale condition",
                        "Sale conditions. A layaway's Ap_Condicion_Venta must have a row here"));
  t.push_back(
      {"Producto",
       {PK("Pr_Cve_Producto"), T("Pr_Descripcion", MustDescribe("a product")),
        K("Pr_Tipo_Producto",
          "\"01\" plain, \"02\" kept by lots, \"03\" kept by serial numbers, \"04\" kit (stock in "
          "Existencia_Kit), \"05\" and \"99\" keep no stock; any other code: its lines cannot reserve stock"),
        K("Pr_Tipo_Costeo", "copied onto each line, not checked"),
        K("Pr_Unidad_Control_1",
          "the unit stock is counted in (a Unidad key); a line sold in another unit needs a "
          "Unidad_Conversion factor to it"),
        K("Pr_Unidad_Control_2", "the second unit stock is counted in: a line gives Ap_Cantidad_Control_2 in it"),
        K("Pr_Unidad_Costo",
          "the unit Pr_Costo is per: when it is Pr_Unidad_Control_1 a line's cost quantity is its first "
          "control quantity, else its second"),
        N("Pr_Costo", "unit cost, used where the stock row's Ex_Costo_Promedio is not above 0"),
        N("Pr_Tasa_Impuesto", "tax factor: 0.16 for 16 %"), Status(kWithdrawn)},
       {"Pr_Cve_Producto"},
       {},
       "Products. A line's product must have a row here"});
  t.push_back(Catalogue("Talla", "Tl_Cve_Talla", "Tl_Descripcion", "a size",
                        "Sizes. Every line names one: '00' where the warehouse keeps no sizes, so '00' must have a "
                        "row"));
  t.push_back(Catalogue("Color", "Cl_Cve_Color", "Cl_Descripcion", "a colour",
                        "Colours. Every line names one: '00' where the warehouse keeps no colours, so '00' must have "
                        "a row"));
  t.push_back(Catalogue("Unidad", "Un_Cve_Unidad", "Un_Descripcion", "a unit",
                        "Units. A line's unit (Ap_Unidad_1) must have a row here"));
  const char* const kRelationStatus = "'BA' withdraws the relation";
  t.push_back({"Producto_Talla",
               {PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), Status(kRelationStatus)},
               {"Pr_Cve_Producto", "Tl_Cve_Talla"},
               {},
               "The sizes a product comes in: checked for lines in a warehouse that keeps sizes and not colours"});
  t.push_back({"Producto_Color",
               {PK("Pr_Cve_Producto"), PK("Cl_Cve_Color"), Status(kRelationStatus)},
               {"Pr_Cve_Producto", "Cl_Cve_Color"},
               {},
               "The colours a product comes in: checked for lines in a warehouse that keeps colours and not sizes"});
  t.push_back({"Producto_Talla_Color",
               {PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), PK("Cl_Cve_Color"), Status(kRelationStatus)},
               {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color"},
               {},
               "The sizes and colours a product comes in: checked for lines in a warehouse that keeps both"});
  // A row with an empty product key holds the factor for every product.
  t.push_back({"Unidad_Conversion",
               {{"Pr_Cve_Producto", ColumnKind::Key, "''", true, false, "empty: the factor holds for every product"},
                PK("Un_Cve_Unidad_Origen"),
                PK("Un_Cve_Unidad_Destino"),
                N("Uc_Factor", "quantity in the destination unit of one unit of origin"),
                Status("'BA' withdraws the factor")},
               {"Pr_Cve_Producto", "Un_Cve_Unidad_Origen", "Un_Cve_Unidad_Destino"},
               {},
               "Unit factors. A line sold in a unit other than its product's Pr_Unidad_Control_1 needs the factor "
               "from one to the other: the product's own row, else the row with an empty product key"});
  const char* const kStockMoves = "written by the component when the stock moves";
  t.push_back(
      {"Existencia",
       Join(FiveKeys(), {Q("Ex_Cantidad_Control_1", "available (not reserved), in the product's control unit 1"),
                         Q("Ex_Cantidad_Control_2", "available (not reserved), in control unit 2"),
                         Q("Ex_Cantidad_Apartado_Control_1", "reserved for layaways, in control unit 1"),
                         Q("Ex_Cantidad_Apartado_Control_2", "reserved for layaways, in control unit 2"),
                         N("Ex_Costo_Promedio", "average unit cost: when above 0, the cost of a line"),
                         K("Oper_Ult_Modif", kStockMoves), D("Fecha_Ult_Modif", kStockMoves)}),
       kFiveKeyNames,
       {},
       "Stock of products of types 01, 02 and 03 per branch, warehouse, product, size and colour. A line that "
       "reserves needs its row here with enough available stock in both control units"});
  t.push_back({"Existencia_Kit",
               Join(FiveKeys(), {Q("Ek_Cantidad", "kits available (not reserved)"),
                                 Q("Ek_Cantidad_Apartado", "kits reserved for layaways"),
                                 K("Oper_Ult_Modif", kStockMoves), D("Fecha_Ult_Modif", kStockMoves)}),
               kFiveKeyNames,
               {},
               "Stock of kits (type 04) per branch, warehouse, product, size and colour. A kit's line that reserves "
               "needs its row here with enough kits available"});
  // Written only by triggers on the two stock tables, whatever changes them;
  // Movimiento_Contexto (SQLite) or the transaction's settings
  // (PostgreSQL) say which operation of which layaway is running.
  const char* const kByOperation =
      "set by the operation running (apartado's operation scopes); empty for a change "
      "made outside them";
  t.push_back(
      {"Movimiento_Existencia",
       Join(
           {{"Me_ID", ColumnKind::Serial, "", false, false, "numbered by the database, in order of writing"},
            D("Me_Fecha", "when the stock row changed"),
            {"Me_Tabla", ColumnKind::Key, "", true, false, "'Existencia' or 'Existencia_Kit'"}},
           Join({K("Sc_Cve_Sucursal"), K("Al_Cve_Almacen"), K("Pr_Cve_Producto"), K("Tl_Cve_Talla"), K("Cl_Cve_Color")},
                {Q("Me_Cambio_Control_1", "change of the available quantity in control unit 1 (kits: Ek_Cantidad)"),
                 Q("Me_Cambio_Control_2", "change of the available quantity in control unit 2"),
                 Q("Me_Cambio_Apartado_Control_1",
                   "change of the reserved quantity in control unit 1 (kits: Ek_Cantidad_Apartado)"),
                 Q("Me_Cambio_Apartado_Control_2", "change of the reserved quantity in control unit 2"),
                 K("Me_Operador", "the operator of the operation; on PostgreSQL, outside one, the database user"),
                 K("Me_Operacion", std::string(kByOperation) + "; 'INICIAL' for what a row held when the ledger "
                                                               "began"),
                 K("Me_Folio", kByOperation)})),
       {"Me_ID"},
       {{"IX_Movimiento_Existencia_Fila",
         {"Me_Tabla", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color"},
         false,
         ""},
        {"IX_Movimiento_Existencia_Folio", {"Me_Folio"}, false, ""}},
       "The stock ledger: one row per change of a row of Existencia or Existencia_Kit, written by the "
       "database's triggers, never updated or deleted. The sum of a stock row's changes is what it holds"});
  // Lt_Cantidad: the quantity of the lot still free, in control unit 1.
  t.push_back({"Lote",
               Join(FiveKeys(),
                    {PK("Lt_Cve_Lote"), D("Lt_Fecha_Caducidad", "expiry: the lot picked automatically is the earliest"),
                     Q("Lt_Cantidad", "quantity still free, in control unit 1: each line's draw-down lowers it"),
                     T("Lt_Pedimento"), D("Lt_Fecha_Pedimento"), Status("'BA' withdraws the lot")}),
               Join(kFiveKeyNames, {"Lt_Cve_Lote"}),
               {{"IX_Lote_Producto", {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Lt_Cve_Lote"}, false, ""}},
               "Lots of products of type 02 in warehouses that keep lots. A line draws on the lot it names, or, with "
               "the parameter GEN_LOTE_AUTOMATICO set, on the lot that covers it and expires first"});
  // Every draw-down of a lot by a document line. Es_Cve_Estado is 'AC' while
  // it stands and 'CA' once its quantity went back to the lot (its layaway
  // was cancelled), so that no draw-down is given back twice.
  t.push_back({"Lote_Asignacion",
               {K("La_Tipo_Documento"), K("La_Folio"), K("La_ID"), K("Sc_Cve_Sucursal"), K("Al_Cve_Almacen"),
                K("Pr_Cve_Producto"), K("Tl_Cve_Talla"), K("Cl_Cve_Color"), K("Lt_Cve_Lote"), Q("La_Cantidad_1"),
                Q("La_Cantidad_2"), K("Oper_Alta"), D("Fecha_Alta"),
                AddedLater(Status("'CA' once the quantity went back to the lot"))},
               {},
               {{"IX_Lote_Asignacion_Documento", {"La_Tipo_Documento", "La_Folio", "La_ID"}, false, ""}},
               std::string("Each draw-down of a lot by a layaway line: ") + kWrittenBySuite});
  // One row per unit: a serial number belongs to one product, size and
  // colour. Sr_Tipo_Documento/Sr_Folio/Sr_ID name the document line it is
  // assigned to (empty or null while free).
  const char* const kAssignedTo = "the document line the unit is assigned to: empty or null while it is free";
  t.push_back(
      {"Serie",
       {K("Sc_Cve_Sucursal"), K("Al_Cve_Almacen"), PK("Pr_Cve_Producto"), PK("Tl_Cve_Talla"), PK("Cl_Cve_Color"),
        PK("Sr_Cve_Serie"), T("Sr_Pedimento"), D("Sr_FechaPedimento"), K("Sr_Tipo_Documento", kAssignedTo),
        K("Sr_Folio", kAssignedTo), K("Sr_ID", kAssignedTo), Status("'BA' withdraws the unit")},
       {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Sr_Cve_Serie"},
       {},
       "Serial numbers of products of type 03, one row per unit. A line in a warehouse that keeps serial "
       "numbers takes the unit it names"});
  t.push_back({"Parametro",
               {PK("Pa_Nombre",
                   "the component reads PED_TIPO_CALCULO_IMPORTES (1: prices before tax, the default; 2: prices "
                   "with tax) and GEN_LOTE_AUTOMATICO (1: lots picked automatically; default 0)"),
                T("Pa_Valor"), Status("'BA': the parameter takes its default")},
               {"Pa_Nombre"},
               {},
               "Parameters, read once per thread when the component starts"});
  // Fo_Siguiente: the next number the series hands out.
  t.push_back({"Folio",
               {PK("Sc_Cve_Sucursal"),
                PK("Fo_Documento", "APARTADO (layaways) or CUENTA_X_COBRAR (receivables)"),
                {"Fo_Siguiente", ColumnKind::Counter, "1", true, false, "the next number the series gives"},
                Status("'BA' stops the series: the branch's layaways (or receivables) are refused")},
               {"Sc_Cve_Sucursal", "Fo_Documento"},
               {},
               "Folio series per branch and document kind. A series without a row starts at 1 by itself"});
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
                                      {"Es_Cve_Estado", ColumnKind::Key, "'AC'", true, false, "'CA': cancelled"},
                                      K("Oper_Baja"),
                                      D("Fecha_Baja")};
  // A capture run again looks up the layaways already stored by reference.
  t.push_back({"Apartado",
               apartado,
               {"Ap_Folio", "Ap_ID"},
               {{"IX_Apartado_Referencia", {"Ap_Referencia"}, false, ""}},
               std::string("Layaway lines, one row per line, by folio and line number: ") + kWrittenByComponent});
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
                {"UX_Cuenta_X_Cobrar_Activa", {"Cxc_Tabla", "Cxc_Documento"}, true, "Es_Cve_Estado <> 'CA'"}},
               std::string("Receivables (a layaway's has Cxc_Tabla 'APARTADO' and its folio in Cxc_Documento): ") +
                   kWrittenBySuite});
  t.push_back({"Historial_Seguimiento",
               {K("Hs_Aplicacion"), K("Hs_Tipo_Documento"), K("Hs_Folio"), K("Hs_Tipo_Entidad"), K("Hs_Cve_Entidad"),
                D("Hs_Fecha"), T("Hs_Descripcion"), K("Oper_Alta"), D("Fecha_Alta")},
               {},
               {{"IX_Historial_Seguimiento_Documento", {"Hs_Tipo_Documento", "Hs_Folio"}, false, ""},
                {"IX_Historial_Seguimiento_Entidad", {"Hs_Tipo_Entidad", "Hs_Cve_Entidad"}, false, ""}},
               std::string("The customers' follow-up history: ") + kWrittenBySuite});
  t.push_back({"Notificacion_Documento",
               {K("Nd_Tipo_Documento"), K("Nd_Folio"), T("Nd_Texto"), K("Oper_Alta"), D("Fecha_Alta")},
               {},
               {{"IX_Notificacion_Documento", {"Nd_Tipo_Documento", "Nd_Folio"}, false, ""}},
               std::string("Notices of changed documents: ") + kWrittenBySuite});
  return t;
}

}  // namespace

const std::vector<TableSpec>& SuiteTables() {
  static const std::vector<TableSpec> tables = BuildTables();
  return tables;
}

}  // namespace apartado::suite
