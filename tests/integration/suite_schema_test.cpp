#include <gtest/gtest.h>

#include <map>

#include "apartado/failure.h"
#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

class SuiteSchemaTest : public SuiteTest {};

// The tables and columns that data is loaded into and checked through from
// outside; each must exist, with these names, on every backend.
const std::map<std::string, std::vector<std::string>> kRequiredColumns = {
    {"Sucursal", {"Sc_Cve_Sucursal", "Sc_Descripcion", "Sc_Servidor_Id", "Es_Cve_Estado"}},
    {"Almacen",
     {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Al_Descripcion", "Al_Maneja_Tallas", "Al_Maneja_Colores", "Al_Maneja_Lotes",
      "Al_Maneja_Series", "Es_Cve_Estado"}},
    {"Moneda", {"Mn_Cve_Moneda", "Mn_Descripcion", "Es_Cve_Estado"}},
    {"Vendedor", {"Vn_Cve_Vendedor", "Vn_Descripcion", "Es_Cve_Estado"}},
    {"Cliente",
     {"Cl_Cve_Cliente", "Cl_Descripcion", "Cl_Tipo_Cuenta", "Cl_Dias_Credito", "Cl_Limite_Credito",
      "Cc_Cve_Cadena_Comercial", "Gc_Cve_Grupo_Comercial", "Es_Cve_Estado"}},
    {"Condicion_Venta", {"Cv_Cve_Condicion_Venta", "Cv_Descripcion", "Es_Cve_Estado"}},
    {"Producto",
     {"Pr_Cve_Producto", "Pr_Descripcion", "Pr_Tipo_Producto", "Pr_Tipo_Costeo", "Pr_Unidad_Control_1",
      "Pr_Unidad_Control_2", "Pr_Unidad_Costo", "Pr_Costo", "Pr_Tasa_Impuesto", "Es_Cve_Estado"}},
    {"Talla", {"Tl_Cve_Talla", "Tl_Descripcion", "Es_Cve_Estado"}},
    {"Color", {"Cl_Cve_Color", "Cl_Descripcion", "Es_Cve_Estado"}},
    {"Unidad", {"Un_Cve_Unidad", "Un_Descripcion", "Es_Cve_Estado"}},
    {"Producto_Talla", {"Pr_Cve_Producto", "Tl_Cve_Talla"}},
    {"Producto_Color", {"Pr_Cve_Producto", "Cl_Cve_Color"}},
    {"Producto_Talla_Color", {"Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color"}},
    {"Unidad_Conversion", {"Pr_Cve_Producto", "Un_Cve_Unidad_Origen", "Un_Cve_Unidad_Destino", "Uc_Factor"}},
    {"Existencia",
     {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Ex_Cantidad_Control_1",
      "Ex_Cantidad_Control_2", "Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2", "Ex_Costo_Promedio",
      "Oper_Ult_Modif", "Fecha_Ult_Modif"}},
    {"Existencia_Kit",
     {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Ek_Cantidad",
      "Ek_Cantidad_Apartado", "Oper_Ult_Modif", "Fecha_Ult_Modif"}},
    {"Lote",
     {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Lt_Cve_Lote",
      "Lt_Fecha_Caducidad", "Lt_Cantidad"}},
    {"Lote_Asignacion",
     {"La_Tipo_Documento", "La_Folio", "La_ID", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla",
      "Cl_Cve_Color", "Lt_Cve_Lote", "La_Cantidad_1", "La_Cantidad_2"}},
    {"Serie",
     {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Sr_Cve_Serie",
      "Sr_Pedimento", "Sr_FechaPedimento", "Sr_Tipo_Documento", "Sr_Folio", "Sr_ID"}},
    {"Parametro", {"Pa_Nombre", "Pa_Valor"}},
    {"Folio", {"Sc_Cve_Sucursal", "Fo_Documento", "Fo_Siguiente", "Es_Cve_Estado"}},
    {"Cuenta_X_Cobrar",
     {"Cxc_Folio", "Cxc_Tabla", "Cxc_Documento", "Cxc_Fecha", "Cxc_Fecha_Vencimiento", "Sc_Cve_Sucursal",
      "Cl_Cve_Cliente", "Mn_Cve_Moneda", "Cxc_Tipo_Cambio", "Cxc_Subtotal", "Cxc_Impuesto", "Cxc_Total", "Cxc_Abonos",
      "Cxc_Saldo", "Es_Cve_Estado"}},
    {"Historial_Seguimiento",
     {"Hs_Aplicacion", "Hs_Tipo_Documento", "Hs_Folio", "Hs_Tipo_Entidad", "Hs_Cve_Entidad", "Hs_Fecha",
      "Hs_Descripcion", "Fecha_Alta"}},
    {"Notificacion_Documento", {"Nd_Tipo_Documento", "Nd_Folio", "Nd_Texto", "Fecha_Alta"}},
};

// The columns the layaway insertion writes, in its order, and the three it
// leaves to their defaults.
const std::vector<std::string> kApartadoColumns = {"Ap_Folio",
                                                   "Ap_ID",
                                                   "Ap_Tabla",
                                                   "Ap_Documento",
                                                   "Ap_Referencia",
                                                   "Ap_Fecha",
                                                   "Ap_Fecha_Entrega",
                                                   "Ap_Comentario",
                                                   "Sc_Cve_Sucursal",
                                                   "Al_Cve_Almacen",
                                                   "Ap_Sucursal_Inventario",
                                                   "Ap_Almacen_Inventario",
                                                   "Cl_Cve_Cliente",
                                                   "Vn_Cve_Vendedor",
                                                   "Ap_Condicion_Venta",
                                                   "Pr_Cve_Producto",
                                                   "Cl_Cve_Color",
                                                   "Tl_Cve_Talla",
                                                   "Ap_Concepto",
                                                   "Ap_Descuento_Global_Cuenta_Contable",
                                                   "Ap_Descuento_Global_Factor",
                                                   "Ap_Descuento_Global_Importe",
                                                   "Ap_Cantidad_1",
                                                   "Ap_Unidad_1",
                                                   "Ap_Cantidad_Control_1",
                                                   "Ap_Unidad_Control_1",
                                                   "Ap_Cantidad_Control_2",
                                                   "Ap_Unidad_Control_2",
                                                   "Ap_Cantidad_Costo",
                                                   "Ap_Unidad_Costo",
                                                   "Ap_Costo",
                                                   "Ap_Costo_Importe",
                                                   "Pr_Folio",
                                                   "Ap_Precio_Lista",
                                                   "Ap_Precio_Lista_Importe",
                                                   "Ap_Descuento_Factor",
                                                   "Ap_Descuento_Importe",
                                                   "Ap_Precio_Descontado",
                                                   "Ap_Precio_Descontado_Importe",
                                                   "Ap_Impuesto_Factor",
                                                   "Ap_Impuesto_Importe",
                                                   "Ap_Precio_Neto",
                                                   "Ap_Precio_Neto_Importe",
                                                   "Lt_Cve_Lote",
                                                   "Lt_Fecha_Caducidad",
                                                   "Lt_Pedimento",
                                                   "Lt_Fecha_Pedimento",
                                                   "Mn_Cve_Moneda",
                                                   "Ap_Tipo_Cambio",
                                                   "Oper_Alta",
                                                   "Fecha_Alta",
                                                   "Oper_Ult_Modif",
                                                   "Fecha_Ult_Modif",
                                                   "Es_Cve_Estado",
                                                   "Oper_Baja",
                                                   "Fecha_Baja"};

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

TEST_P(SuiteSchemaTest, EveryRequiredColumnExists) {
  for (const auto& [table, columns] : kRequiredColumns) {
    EXPECT_NO_THROW(Db().Query("SELECT " + Joined(columns) + " FROM " + table + " WHERE 1 = 0")) << table;
  }
  TableRecordset apartado = Db().Query("SELECT * FROM Apartado WHERE 1 = 0");
  ASSERT_EQ(apartado.Columns().size(), 56u);
  for (std::size_t i = 0; i < kApartadoColumns.size(); ++i)
    EXPECT_EQ(apartado.ColumnIndex(kApartadoColumns[i]), static_cast<int>(i)) << kApartadoColumns[i];
}

TEST_P(SuiteSchemaTest, CreatingAgainKeepsTablesAndRows) {
  Insert("Moneda", {{"Mn_Cve_Moneda", T("MXN")}, {"Mn_Descripcion", T("Peso")}});
  suite::CreateSchema(Db());
  EXPECT_EQ(Count("Moneda"), 1);
}

TEST_P(SuiteSchemaTest, NewLayawayRowIsActiveAndItsStatusNeverNull) {
  Insert("Apartado", {{"Ap_Folio", T("F1")}, {"Ap_ID", T("0001")}});
  EXPECT_EQ(Scalar("SELECT Es_Cve_Estado AS V FROM Apartado").ToText(), "AC");
  EXPECT_THROW(
      Insert("Apartado", {{"Ap_Folio", T("F1")}, {"Ap_ID", T("0002")}, {"Es_Cve_Estado", Variant::MakeNull()}}),
      Failure);
  // (Ap_Folio, Ap_ID) is the key.
  EXPECT_THROW(Insert("Apartado", {{"Ap_Folio", T("F1")}, {"Ap_ID", T("0001")}}), Failure);
}

TEST_P(SuiteSchemaTest, DatesKeepTheTimeOfDayAndAmountsTheirFraction) {
  // As the component writes them: date texts and numbers inside the statement.
  Db().GetConnection().Execute(
      "INSERT INTO Apartado (Ap_Folio, Ap_ID, Ap_Fecha, Ap_Precio_Neto_Importe, Ap_Cantidad_1) "
      "VALUES ('F1', '0001', '2026-03-10 15:30:45', 3000000000.25, 0.1)");
  TableRecordset row = Db().Query("SELECT Ap_Fecha, Ap_Precio_Neto_Importe, Ap_Cantidad_1 FROM Apartado");
  EXPECT_EQ(row.Field("Ap_Fecha").GetKind(), Variant::Kind::Date);
  EXPECT_EQ(FormatDateTime(row.Field("Ap_Fecha").ToDate()), "2026-03-10 15:30:45");
  EXPECT_EQ(row.Field("Ap_Precio_Neto_Importe").ToDouble(), 3000000000.25);
  EXPECT_EQ(row.Field("Ap_Cantidad_1").ToDouble(), 0.1);
}

TEST_P(SuiteSchemaTest, OneActiveReceivablePerDocument) {
  Insert("Cuenta_X_Cobrar", {{"Sc_Cve_Sucursal", T("01")},
                             {"Cxc_Folio", T("1")},
                             {"Cxc_Tabla", T("APARTADO")},
                             {"Cxc_Documento", T("F1")},
                             {"Es_Cve_Estado", T("CA")}});
  Insert(
      "Cuenta_X_Cobrar",
      {{"Sc_Cve_Sucursal", T("01")}, {"Cxc_Folio", T("2")}, {"Cxc_Tabla", T("APARTADO")}, {"Cxc_Documento", T("F1")}});
  EXPECT_THROW(Insert("Cuenta_X_Cobrar", {{"Sc_Cve_Sucursal", T("01")},
                                          {"Cxc_Folio", T("3")},
                                          {"Cxc_Tabla", T("APARTADO")},
                                          {"Cxc_Documento", T("F1")}}),
               Failure);
}

TEST(SuiteSchemaScript, SqlServerScriptGuardsEveryCreation) {
  // Not run against a server here; the script must at least be idempotent
  // in form: every CREATE behind an existence test.
  const std::string script = suite::SchemaScript(Backend::ODBC);
  std::size_t creates = 0, guarded = 0;
  for (std::size_t at = script.find("CREATE "); at != std::string::npos; at = script.find("CREATE ", at + 1)) {
    ++creates;
    const std::size_t lineStart = script.rfind('\n', at) + 1;
    guarded += script.compare(lineStart, 3, "IF ") == 0;
  }
  EXPECT_GT(creates, 25u);
  EXPECT_EQ(guarded, creates);
  // SQL Server has no CREATE ... IF NOT EXISTS.
  EXPECT_EQ(script.find("CREATE TABLE IF NOT EXISTS"), std::string::npos);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteSchemaTest);

}  // namespace
}  // namespace apartado
