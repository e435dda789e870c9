// The whole life of a layaway on a real database through the reference
// suite: capture with stock reservation, receivable, finalization,
// cancellation, and a second cancellation refused.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/suite.h"
#include "component/publico.h"
#include "integration/test_databases.h"

namespace apartado {
namespace {

using testing::BackendTest;

Variant T(const std::string& s) { return Variant::FromText(s); }
Variant N(double d) { return Variant::FromDouble(d); }

class LayawayLifecycle : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    suite::CreateSchema(Db());
    LoadCatalogue();
    suite::SuiteOptions options;
    options.connectionString = GetParam();
    options.operatorKey = "CAJERO";
    options.messageSink = [this](const suite::ReportedMessage& m) { reported_.push_back(m.errorId + " " + m.message); };
    DiscardModuleState();
    InstallServiceFactory(suite::MakeSuiteFactory(options));
  }
  void TearDown() override {
    DiscardModuleState();
    InstallServiceFactory(nullptr);
  }

  void Insert(const std::string& table, const std::vector<std::pair<std::string, Variant>>& values) {
    std::string columns, placeholders;
    std::vector<Variant> params;
    for (const auto& [column, value] : values) {
      columns += (params.empty() ? "" : ", ") + column;
      placeholders += (params.empty() ? ":p" : ", :p") + std::to_string(params.size() + 1);
      params.push_back(value);
    }
    Db().Command("INSERT INTO " + table + " (" + columns + ") VALUES (" + placeholders + ")", params);
  }

  // One branch and warehouse without sizes, colours, lots or serial numbers;
  // a plain product with 100 pieces and a kit with 20 in stock.
  void LoadCatalogue() {
    Insert("Sucursal", {{"Sc_Cve_Sucursal", T("S1")}, {"Sc_Descripcion", T("Centro")}, {"Sc_Servidor_Id", T("")}});
    Insert("Almacen", {{"Sc_Cve_Sucursal", T("S1")}, {"Al_Cve_Almacen", T("A1")}, {"Al_Descripcion", T("Tienda")}});
    Insert("Moneda", {{"Mn_Cve_Moneda", T("MXN")}, {"Mn_Descripcion", T("Peso")}});
    Insert("Vendedor", {{"Vn_Cve_Vendedor", T("V1")}, {"Vn_Descripcion", T("Ana")}});
    Insert("Cliente", {{"Cl_Cve_Cliente", T("C1")},
                       {"Cl_Descripcion", T("Cliente Uno")},
                       {"Cl_Tipo_Cuenta", T("CR")},
                       {"Cl_Dias_Credito", Variant::FromLong(30)},
                       {"Cl_Limite_Credito", N(10000)}});
    Insert("Condicion_Venta", {{"Cv_Cve_Condicion_Venta", T("CV1")}, {"Cv_Descripcion", T("Contado")}});
    Insert("Talla", {{"Tl_Cve_Talla", T("00")}, {"Tl_Descripcion", T("Sin talla")}});
    Insert("Color", {{"Cl_Cve_Color", T("00")}, {"Cl_Descripcion", T("Sin color")}});
    Insert("Unidad", {{"Un_Cve_Unidad", T("PZA")}, {"Un_Descripcion", T("Pieza")}});
    for (const auto& [product, type] : {std::pair{"P1", "01"}, std::pair{"K1", "04"}}) {
      Insert("Producto", {{"Pr_Cve_Producto", T(product)},
                          {"Pr_Descripcion", T(std::string("Producto ") + product)},
                          {"Pr_Tipo_Producto", T(type)},
                          {"Pr_Tipo_Costeo", T("P")},
                          {"Pr_Unidad_Control_1", T("PZA")},
                          {"Pr_Unidad_Control_2", T("PZA")},
                          {"Pr_Unidad_Costo", T("PZA")},
                          {"Pr_Costo", N(10)},
                          {"Pr_Tasa_Impuesto", N(0.16)}});
    }
    Insert("Existencia", {{"Sc_Cve_Sucursal", T("S1")},
                          {"Al_Cve_Almacen", T("A1")},
                          {"Pr_Cve_Producto", T("P1")},
                          {"Tl_Cve_Talla", T("00")},
                          {"Cl_Cve_Color", T("00")},
                          {"Ex_Cantidad_Control_1", N(100)},
                          {"Ex_Cantidad_Control_2", N(100)}});
    Insert("Existencia_Kit", {{"Sc_Cve_Sucursal", T("S1")},
                              {"Al_Cve_Almacen", T("A1")},
                              {"Pr_Cve_Producto", T("K1")},
                              {"Tl_Cve_Talla", T("00")},
                              {"Cl_Cve_Color", T("00")},
                              {"Ek_Cantidad", N(20)}});
  }

  // Captures a layaway dated 10 March 2026 15:30 for C1: 3 of P1 at 100 and
  // 2 of the kit K1 at 50. Answers its folio.
  std::string Capture(Apartado& layaway) {
    layaway.Nuevo();
    tApEncabezado header = layaway.Encabezado();
    header.Ap_Fecha = MakeDate(2026, 3, 10, 15, 30);
    header.Sucursal.Sc_Cve_Sucursal = "S1";
    header.Almacen.Al_Cve_Almacen = "A1";
    header.Mn_Cve_Moneda = "MXN";
    header.Ap_Tipo_Cambio = 1;
    header.Vendedor.Vn_Cve_Vendedor = "V1";
    header.Cliente.Cl_Cve_Cliente = "C1";
    header.Ap_Condicion_Venta = "CV1";
    header.Ap_Referencia = "REF-7";
    header.Ap_Comentario = "Para regalo";
    layaway.Encabezado(header);
    for (const auto& [product, quantity, price] : {std::tuple{"P1", 3.0, 100.0}, std::tuple{"K1", 2.0, 50.0}}) {
      tApDetalle line;
      line.Producto.Pr_Cve_Producto = product;
      line.Ap_Cantidad_1 = quantity;
      line.Ap_Unidad_1 = "PZA";
      line.Ap_Precio_Lista = price;
      layaway.Detalle(line);
      EXPECT_TRUE(reported_.empty()) << reported_.front();
      EXPECT_EQ(layaway.Add_Apartado_Detalle(), kTrue) << layaway.Error();
    }
    return layaway.Encabezado().Ap_Folio;
  }

  // (available, reserved) of the plain product and of the kit.
  std::pair<double, double> PlainStock() {
    TableRecordset r = Db().Query(
        "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Apartado_Control_1 FROM Existencia WHERE Pr_Cve_Producto = 'P1'");
    return {r.Field("Ex_Cantidad_Control_1").ToDouble(), r.Field("Ex_Cantidad_Apartado_Control_1").ToDouble()};
  }
  std::pair<double, double> KitStock() {
    TableRecordset r =
        Db().Query("SELECT Ek_Cantidad, Ek_Cantidad_Apartado FROM Existencia_Kit WHERE Pr_Cve_Producto = 'K1'");
    return {r.Field("Ek_Cantidad").ToDouble(), r.Field("Ek_Cantidad_Apartado").ToDouble()};
  }
  // One text column of every row a query answers, in order.
  std::vector<std::string> Column(const std::string& sql, const std::string& column, const std::string& folio) {
    TableRecordset r = Db().Query(sql, {T(folio)});
    std::vector<std::string> values;
    for (; !r.Eof(); r.MoveNext()) {
      const Variant v = r.Field(column);
      values.push_back(v.IsNull() ? "<null>" : v.ToText());
    }
    return values;
  }

  std::vector<std::string> reported_;
};

TEST_P(LayawayLifecycle, CaptureBillFinalizeCancel) {
  Apartado layaway;
  const std::string folio = Capture(layaway);
  ASSERT_EQ(folio, "0000000001");
  EXPECT_EQ(PlainStock(), std::make_pair(97.0, 3.0));
  EXPECT_EQ(KitStock(), std::make_pair(18.0, 2.0));

  // Receivable: 300 + 100 before tax, 16 % tax, due 30 days later at the
  // layaway's time of day.
  ASSERT_EQ(layaway.Genera_Cuenta_x_Cobrar_Apartado(folio), kTrue) << layaway.Error();
  {
    TableRecordset cxc = Db().Query(
        "SELECT Cxc_Subtotal, Cxc_Impuesto, Cxc_Total, Cxc_Fecha, Cxc_Fecha_Vencimiento, Cl_Cve_Cliente, "
        "Mn_Cve_Moneda, Cxc_Referencia, Cxc_Comentario, Es_Cve_Estado FROM Cuenta_X_Cobrar "
        "WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = :p1",
        {T(folio)});
    ASSERT_FALSE(cxc.Eof());
    EXPECT_DOUBLE_EQ(cxc.Field("Cxc_Subtotal").ToDouble(), 400);
    EXPECT_DOUBLE_EQ(cxc.Field("Cxc_Impuesto").ToDouble(), 64);
    EXPECT_DOUBLE_EQ(cxc.Field("Cxc_Total").ToDouble(), 464);
    EXPECT_EQ(FormatDateTime(cxc.Field("Cxc_Fecha").ToDate()), "2026-03-10 15:30:00");
    EXPECT_EQ(FormatDateTime(cxc.Field("Cxc_Fecha_Vencimiento").ToDate()), "2026-04-09 15:30:00");
    EXPECT_EQ(cxc.Field("Cl_Cve_Cliente").ToText(), "C1");
    EXPECT_EQ(cxc.Field("Mn_Cve_Moneda").ToText(), "MXN");
    EXPECT_EQ(cxc.Field("Cxc_Referencia").ToText(), "REF-7");
    EXPECT_EQ(cxc.Field("Cxc_Comentario").ToText(), "Para regalo");
    cxc.MoveNext();
    EXPECT_TRUE(cxc.Eof());
  }

  ASSERT_EQ(layaway.Finalizar_Apartado(folio), kTrue) << layaway.Error();
  EXPECT_EQ(layaway.Error(), "");

  ASSERT_EQ(layaway.Cancelar_Apartado(folio), kTrue) << layaway.Error();
  EXPECT_EQ(layaway.Error(), "");
  EXPECT_EQ(PlainStock(), std::make_pair(100.0, 0.0));
  EXPECT_EQ(KitStock(), std::make_pair(20.0, 0.0));
  EXPECT_EQ(Column("SELECT Es_Cve_Estado FROM Cuenta_X_Cobrar WHERE Cxc_Documento = :p1", "Es_Cve_Estado", folio),
            std::vector<std::string>{"CA"});
  const std::string rows = "SELECT * FROM Apartado WHERE Ap_Folio = :p1 ORDER BY Ap_ID";
  EXPECT_EQ(Column(rows, "Es_Cve_Estado", folio), (std::vector<std::string>{"CA", "CA"}));
  EXPECT_EQ(Column(rows, "Oper_Baja", folio), (std::vector<std::string>{"CAJERO", "CAJERO"}));
  EXPECT_EQ(Column(rows, "Oper_Ult_Modif", folio), (std::vector<std::string>{"CAJERO", "CAJERO"}));
  const std::vector<std::string> cancelledAt = Column(rows, "Fecha_Baja", folio);
  ASSERT_EQ(cancelledAt.size(), 2u);
  EXPECT_NE(cancelledAt[0], "<null>");
  EXPECT_EQ(Column(rows, "Fecha_Ult_Modif", folio), cancelledAt);

  // Both entries carry the layaway's own date and customer.
  const std::string history =
      "SELECT * FROM Historial_Seguimiento WHERE Hs_Folio = :p1 AND Hs_Aplicacion = 'CRM' AND "
      "Hs_Tipo_Documento = 'APARTADO' AND Hs_Tipo_Entidad = 'CLIENTE' AND Hs_Cve_Entidad = 'C1' "
      "ORDER BY Fecha_Alta, Hs_Descripcion DESC";  // written in the same second: Registro before Baja
  EXPECT_EQ(Column(history, "Hs_Descripcion", folio),
            (std::vector<std::string>{"Registro de apartado", "Baja del apartado"}));
  for (const std::string& date : Column(history, "Hs_Fecha", folio))
    EXPECT_EQ(FormatDateTime(Variant::FromText(date).ToDate()), "2026-03-10 15:30:00");
  EXPECT_EQ(Column("SELECT Nd_Texto FROM Notificacion_Documento WHERE Nd_Tipo_Documento = 'APARTADO' AND "
                   "Nd_Folio = :p1",
                   "Nd_Texto", folio),
            (std::vector<std::string>{"", ""}));

  // Once cancelled: refused, and nothing moves again.
  EXPECT_EQ(layaway.Cancelar_Apartado(folio), kFalse);
  EXPECT_EQ(layaway.Error(), "ApartadosQZL.dll - Cancelar_Apartado()\r\nImposible cancelar el apartado: " + folio +
                                 ", con estado = 'CA'");
  EXPECT_EQ(PlainStock(), std::make_pair(100.0, 0.0));
  EXPECT_EQ(KitStock(), std::make_pair(20.0, 0.0));
  EXPECT_EQ(layaway.Finalizar_Apartado(folio), kFalse);
  EXPECT_EQ(layaway.Error(), "apartadoQZL.dll - Finalizar_Apartado()\r\nNo se encontró el apartado: " + folio);
  EXPECT_EQ(Column(history, "Hs_Descripcion", folio).size(), 2u);
}

TEST_P(LayawayLifecycle, UnknownFolioAndRefusedSecondReceivable) {
  Apartado layaway;
  EXPECT_EQ(layaway.Genera_Cuenta_x_Cobrar_Apartado("NOPE"), kFalse);
  EXPECT_EQ(layaway.Error(),
            "condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()\r\n"
            "Imposible localizar el apartado con folio: NOPE");
  EXPECT_EQ(layaway.Cancelar_Apartado("NOPE"), kFalse);
  EXPECT_EQ(layaway.Error(), "ApartadosQZL.dll - Cancelar_Apartado()\r\nImposible localizar el apartado: NOPE");

  const std::string folio = Capture(layaway);
  ASSERT_EQ(layaway.Genera_Cuenta_x_Cobrar_Apartado(folio), kTrue) << layaway.Error();
  // The suite keeps one receivable in force per layaway; its reason follows
  // the operation's tag line.
  EXPECT_EQ(layaway.Genera_Cuenta_x_Cobrar_Apartado(folio), kFalse);
  EXPECT_EQ(layaway.Error().rfind("condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()\r\n", 0), 0u);
  EXPECT_GT(layaway.Error().size(),
            std::string("condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()\r\n").size());
}

APARTADO_INSTANTIATE_BACKENDS(LayawayLifecycle);

}  // namespace
}  // namespace apartado
