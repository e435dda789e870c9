// Capturing layaways end to end on a real database through the reference
// suite: the rows stored, the stock reserved and the lots and serial numbers
// recorded.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "component/publico.h"
#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::T;

class CaptureOnDatabase : public testing::SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Insert("Sucursal", {{"Sc_Cve_Sucursal", T("S1")}, {"Sc_Descripcion", T("Centro")}, {"Sc_Servidor_Id", T("S1")}});
    // A1 keeps everything; A2 keeps neither sizes, colours, lots nor serials.
    for (const auto& [warehouse, keeps] : {std::pair{"A1", 1}, {"A2", 0}})
      Insert("Almacen", {{"Sc_Cve_Sucursal", T("S1")},
                         {"Al_Cve_Almacen", T(warehouse)},
                         {"Al_Descripcion", T("Almacen")},
                         {"Al_Maneja_Tallas", N(keeps)},
                         {"Al_Maneja_Colores", N(keeps)},
                         {"Al_Maneja_Lotes", N(keeps)},
                         {"Al_Maneja_Series", N(keeps)}});
    Insert("Moneda", {{"Mn_Cve_Moneda", T("MXN")}, {"Mn_Descripcion", T("Peso")}});
    Insert("Vendedor", {{"Vn_Cve_Vendedor", T("V1")}, {"Vn_Descripcion", T("Ana")}});
    Insert("Cliente", {{"Cl_Cve_Cliente", T("C1")}, {"Cl_Descripcion", T("Luis")}});
    Insert("Condicion_Venta", {{"Cv_Cve_Condicion_Venta", T("CONT")}, {"Cv_Descripcion", T("Contado")}});
    for (const char* size : {"T1", "00"}) Insert("Talla", {{"Tl_Cve_Talla", T(size)}, {"Tl_Descripcion", T(size)}});
    for (const char* colour : {"R1", "00"})
      Insert("Color", {{"Cl_Cve_Color", T(colour)}, {"Cl_Descripcion", T(colour)}});
    for (const char* unit : {"PZA", "CJA", "KG"})
      Insert("Unidad", {{"Un_Cve_Unidad", T(unit)}, {"Un_Descripcion", T(unit)}});
    Insert("Unidad_Conversion", {{"Pr_Cve_Producto", T("P1")},
                                 {"Un_Cve_Unidad_Origen", T("CJA")},
                                 {"Un_Cve_Unidad_Destino", T("PZA")},
                                 {"Uc_Factor", N(12)}});
    for (const auto& [product, type] : {std::pair{"P1", "01"}, {"L1", "02"}, {"SR", "03"}, {"K1", "04"}}) {
      Insert("Producto", {{"Pr_Cve_Producto", T(product)},
                          {"Pr_Descripcion", T("Art. " + std::string(product))},
                          {"Pr_Tipo_Producto", T(type)},
                          {"Pr_Tipo_Costeo", T("PROM")},
                          {"Pr_Unidad_Control_1", T("PZA")},
                          {"Pr_Unidad_Control_2", T("KG")},
                          {"Pr_Unidad_Costo", T("PZA")},
                          {"Pr_Costo", N(10)},
                          {"Pr_Tasa_Impuesto", N(0.16)}});
      Insert("Producto_Talla_Color",
             {{"Pr_Cve_Producto", T(product)}, {"Tl_Cve_Talla", T("T1")}, {"Cl_Cve_Color", T("R1")}});
    }
    InsertStock("A1", "P1", "T1", "R1", 100, 50, 8.5);
    InsertStock("A1", "L1", "T1", "R1", 30, 0, 0);
    InsertStock("A1", "SR", "T1", "R1", 5, 0, 0);
    InsertStock("A2", "P1", "00", "00", 40, 20, 0);
    Insert("Existencia_Kit", {{"Sc_Cve_Sucursal", T("S1")},
                              {"Al_Cve_Almacen", T("A1")},
                              {"Pr_Cve_Producto", T("K1")},
                              {"Tl_Cve_Talla", T("T1")},
                              {"Cl_Cve_Color", T("R1")},
                              {"Ek_Cantidad", N(10)}});
    // LT-C expires first but cannot cover three pieces; LT-B can.
    for (const auto& [lot, expiry, free] : {std::tuple{"LT-A", MakeDate(2026, 6, 1), 10.0},
                                            {"LT-B", MakeDate(2026, 5, 1), 4.0},
                                            {"LT-C", MakeDate(2026, 4, 1), 1.0}})
      Insert("Lote", {{"Sc_Cve_Sucursal", T("S1")},
                      {"Al_Cve_Almacen", T("A1")},
                      {"Pr_Cve_Producto", T("L1")},
                      {"Tl_Cve_Talla", T("T1")},
                      {"Cl_Cve_Color", T("R1")},
                      {"Lt_Cve_Lote", T(lot)},
                      {"Lt_Fecha_Caducidad", Variant::FromDate(expiry)},
                      {"Lt_Cantidad", N(free)}});
    Insert("Serie", {{"Sc_Cve_Sucursal", T("S1")},
                     {"Al_Cve_Almacen", T("A1")},
                     {"Pr_Cve_Producto", T("SR")},
                     {"Tl_Cve_Talla", T("T1")},
                     {"Cl_Cve_Color", T("R1")},
                     {"Sr_Cve_Serie", T("SN-1")}});
    Insert("Parametro", {{"Pa_Nombre", T("GEN_LOTE_AUTOMATICO")}, {"Pa_Valor", T("1")}});

    DiscardModuleState();
    InstallServiceFactory(factory_);
    object_ = std::make_unique<Apartado>();
  }
  void TearDown() override {
    object_.reset();
    DiscardModuleState();
    InstallServiceFactory(nullptr);
  }

  void InsertStock(const std::string& warehouse, const std::string& product, const std::string& size,
                   const std::string& colour, double quantity1, double quantity2, double averageCost) {
    Insert("Existencia", {{"Sc_Cve_Sucursal", T("S1")},
                          {"Al_Cve_Almacen", T(warehouse)},
                          {"Pr_Cve_Producto", T(product)},
                          {"Tl_Cve_Talla", T(size)},
                          {"Cl_Cve_Color", T(colour)},
                          {"Ex_Cantidad_Control_1", N(quantity1)},
                          {"Ex_Cantidad_Control_2", N(quantity2)},
                          {"Ex_Costo_Promedio", N(averageCost)}});
  }

  static tApEncabezado Header(const std::string& warehouse) {
    tApEncabezado h;
    h.Ap_Fecha = MakeDate(2026, 3, 10, 9, 5, 7);
    h.Ap_Fecha_Entrega = MakeDate(2026, 4, 1, 18, 0);
    h.Ap_Tabla = "PEDIDO";
    h.Ap_Documento = "D-7";
    h.Ap_Referencia = "REF";
    h.Ap_Comentario = "Almacén de prueba";
    h.Mn_Cve_Moneda = "MXN";
    h.Ap_Tipo_Cambio = 1;
    h.Ap_Descuento_Global_Factor = 0.1;
    h.Sucursal.Sc_Cve_Sucursal = "S1";
    h.Almacen.Al_Cve_Almacen = warehouse;
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Ap_Condicion_Venta = "CONT";
    return h;
  }
  static tApDetalle Line(const std::string& product, double quantity, const std::string& unit = "PZA") {
    tApDetalle d;
    d.Producto.Pr_Cve_Producto = product;
    d.Tl_Cve_Talla = "T1";
    d.Cl_Cve_Color = "R1";
    d.Ap_Cantidad_1 = quantity;
    d.Ap_Unidad_1 = unit;
    d.Ap_Precio_Lista = 100;
    return d;
  }

  void Begin(const std::string& warehouse) {
    object_->Nuevo();
    object_->Encabezado(Header(warehouse));
  }
  // Assigns and adds a line; true when both went through.
  bool Add(const tApDetalle& line) {
    const std::size_t reports = reported_.size();
    object_->Detalle(line);
    EXPECT_EQ(reported_.size(), reports) << reported_.back().message;
    return object_->Add_Apartado_Detalle() == kTrue;
  }

  TableRecordset Row(const std::string& folio, const std::string& id) {
    return Db().Query("SELECT * FROM Apartado WHERE Ap_Folio = :p1 AND Ap_ID = :p2", {T(folio), T(id)});
  }
  std::vector<double> Stock(const std::string& warehouse, const std::string& product) {
    TableRecordset r = Db().Query(
        "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Cantidad_Apartado_Control_1, "
        "Ex_Cantidad_Apartado_Control_2 FROM Existencia WHERE Al_Cve_Almacen = :p1 AND Pr_Cve_Producto = :p2",
        {T(warehouse), T(product)});
    return {r.Field("Ex_Cantidad_Control_1").ToDouble(), r.Field("Ex_Cantidad_Control_2").ToDouble(),
            r.Field("Ex_Cantidad_Apartado_Control_1").ToDouble(), r.Field("Ex_Cantidad_Apartado_Control_2").ToDouble()};
  }
  double FreeInLot(const std::string& lot) {
    return Scalar("SELECT Lt_Cantidad AS V FROM Lote WHERE Lt_Cve_Lote = :p1", {T(lot)}).ToDouble();
  }

  std::unique_ptr<Apartado> object_;
};

// Compares a stored column with what the capture should have written: texts
// exactly, numbers to the last bits, dates to the second.
void ExpectColumn(const TableRecordset& row, const std::string& column, const Variant& expected) {
  const Variant got = row.Field(column);
  switch (expected.GetKind()) {
    case Variant::Kind::Text:
      EXPECT_EQ(got.ToText(), expected.ToText()) << column;
      break;
    case Variant::Kind::Date:
      EXPECT_EQ(FormatDateTime(got.ToDate()), FormatDateTime(expected.ToDate())) << column;
      break;
    default:
      EXPECT_NEAR(got.ToDouble(), expected.ToDouble(), 1e-9) << column;
      break;
  }
}

TEST_P(CaptureOnDatabase, PlainProductsAndAKitAreStoredAndReserved) {
  Begin("A1");
  tApDetalle first = Line("P1", 2);
  first.Ap_Concepto = "Camisa";
  first.Ap_Cantidad_Control_2 = 1;
  first.Ap_Descuento_Factor = 0.25;
  ASSERT_TRUE(Add(first)) << object_->Error();
  ASSERT_TRUE(Add(Line("P1", 1, "CJA"))) << object_->Error();  // a box of twelve
  ASSERT_TRUE(Add(Line("K1", 3))) << object_->Error();
  const std::string folio = object_->Encabezado().Ap_Folio;
  EXPECT_EQ(folio, "0000000001");

  TableRecordset row = Row(folio, "0001");
  ASSERT_FALSE(row.Eof());
  const Variant audit = row.Field("Fecha_Alta");
  EXPECT_LT(std::fabs(audit.ToDate() - Publico().CatalogServices->GetCurrentDate()) * 86400, 60);
  // 2 x 100 less 25 % is 150; the global 10 % takes 15; tax is 16 % of 135.
  const std::vector<std::pair<std::string, Variant>> expected = {
      {"Ap_Folio", T(folio)},
      {"Ap_ID", T("0001")},
      {"Ap_Tabla", T("PEDIDO")},
      {"Ap_Documento", T("D-7")},
      {"Ap_Referencia", T("REF")},
      {"Ap_Fecha", Variant::FromDate(MakeDate(2026, 3, 10, 9, 5, 7))},
      {"Ap_Fecha_Entrega", Variant::FromDate(MakeDate(2026, 4, 1, 18, 0))},
      {"Ap_Comentario", T("Almacén de prueba")},
      {"Sc_Cve_Sucursal", T("S1")},
      {"Al_Cve_Almacen", T("A1")},
      {"Ap_Sucursal_Inventario", T("S1")},
      {"Ap_Almacen_Inventario", T("A1")},
      {"Cl_Cve_Cliente", T("C1")},
      {"Vn_Cve_Vendedor", T("V1")},
      {"Ap_Condicion_Venta", T("CONT")},
      {"Pr_Cve_Producto", T("P1")},
      {"Cl_Cve_Color", T("R1")},
      {"Tl_Cve_Talla", T("T1")},
      {"Ap_Concepto", T("Camisa")},
      {"Ap_Descuento_Global_Cuenta_Contable", T("")},
      {"Ap_Descuento_Global_Factor", N(0.1)},
      {"Ap_Descuento_Global_Importe", N(15)},
      {"Ap_Cantidad_1", N(2)},
      {"Ap_Unidad_1", T("PZA")},
      {"Ap_Cantidad_Control_1", N(2)},
      {"Ap_Unidad_Control_1", T("PZA")},
      {"Ap_Cantidad_Control_2", N(1)},
      {"Ap_Unidad_Control_2", T("KG")},
      {"Ap_Cantidad_Costo", N(2)},
      {"Ap_Unidad_Costo", T("PZA")},
      {"Ap_Costo", N(8.5)},  // the stock row's average cost
      {"Ap_Costo_Importe", N(17)},
      {"Pr_Folio", T("")},
      {"Ap_Precio_Lista", N(100)},
      {"Ap_Precio_Lista_Importe", N(200)},
      {"Ap_Descuento_Factor", N(0.25)},
      {"Ap_Descuento_Importe", N(50)},
      {"Ap_Precio_Descontado", N(75)},
      {"Ap_Precio_Descontado_Importe", N(150)},
      {"Ap_Impuesto_Factor", N(0.16)},
      {"Ap_Impuesto_Importe", N(21.6)},
      {"Ap_Precio_Neto", N(75 * 0.9 * 1.16)},
      {"Ap_Precio_Neto_Importe", N(156.6)},
      {"Lt_Cve_Lote", T("")},
      {"Lt_Fecha_Caducidad", Variant::FromDate(0)},
      {"Lt_Pedimento", T("")},
      {"Lt_Fecha_Pedimento", Variant::FromDate(0)},
      {"Mn_Cve_Moneda", T("MXN")},
      {"Ap_Tipo_Cambio", N(1)},
      {"Oper_Alta", T("OPER1")},
      {"Fecha_Alta", audit},
      {"Oper_Ult_Modif", T("OPER1")},
      {"Fecha_Ult_Modif", audit},
      {"Es_Cve_Estado", T("AC")},
  };
  for (const auto& [column, value] : expected) ExpectColumn(row, column, value);

  TableRecordset box = Row(folio, "0002");
  ExpectColumn(box, "Ap_Unidad_1", T("CJA"));
  ExpectColumn(box, "Ap_Cantidad_Control_1", N(12));
  ExpectColumn(box, "Ap_Cantidad_Costo", N(12));
  ExpectColumn(box, "Fecha_Alta", audit);
  ExpectColumn(Row(folio, "0003"), "Pr_Cve_Producto", T("K1"));

  EXPECT_EQ(Stock("A1", "P1"), (std::vector<double>{86, 49, 14, 1}));
  TableRecordset kit = Db().Query("SELECT Ek_Cantidad, Ek_Cantidad_Apartado FROM Existencia_Kit");
  EXPECT_EQ(kit.Field("Ek_Cantidad").ToDouble(), 7);
  EXPECT_EQ(kit.Field("Ek_Cantidad_Apartado").ToDouble(), 3);
  EXPECT_EQ(Count("Apartado"), 3);
}

TEST_P(CaptureOnDatabase, WarehouseWithoutSizesAndColoursStoresZeroZero) {
  Begin("A2");
  tApDetalle line = Line("P1", 4);
  line.Ap_Cantidad_Control_2 = 2;
  ASSERT_TRUE(Add(line)) << object_->Error();
  TableRecordset row = Row(object_->Encabezado().Ap_Folio, "0001");
  ExpectColumn(row, "Tl_Cve_Talla", T("00"));
  ExpectColumn(row, "Cl_Cve_Color", T("00"));
  ExpectColumn(row, "Ap_Costo", N(10));  // no average cost there: the product's cost
  EXPECT_EQ(Stock("A2", "P1"), (std::vector<double>{36, 18, 4, 2}));
  EXPECT_EQ(Stock("A1", "P1"), (std::vector<double>{100, 50, 0, 0}));
}

TEST_P(CaptureOnDatabase, LotKeptProductRecordsGivenAndAutomaticLots) {
  Begin("A1");
  tApDetalle given = Line("L1", 2);
  given.Lote.Lt_Cve_Lote = "LT-A";
  ASSERT_TRUE(Add(given)) << object_->Error();
  ASSERT_TRUE(Add(Line("L1", 3))) << object_->Error();
  EXPECT_EQ(object_->Detalle().Lote.Lt_Cve_Lote, "LT-B");
  const std::string folio = object_->Encabezado().Ap_Folio;

  TableRecordset drawn = Db().Query(
      "SELECT La_Tipo_Documento, La_Folio, La_ID, Lt_Cve_Lote, La_Cantidad_1, La_Cantidad_2 FROM Lote_Asignacion "
      "ORDER BY La_ID");
  for (const auto& [id, lot, quantity] : {std::tuple{"0001", "LT-A", 2.0}, {"0002", "LT-B", 3.0}}) {
    ASSERT_FALSE(drawn.Eof());
    ExpectColumn(drawn, "La_Tipo_Documento", T("APARTADO"));
    ExpectColumn(drawn, "La_Folio", T(folio));
    ExpectColumn(drawn, "La_ID", T(id));
    ExpectColumn(drawn, "Lt_Cve_Lote", T(lot));
    ExpectColumn(drawn, "La_Cantidad_1", N(quantity));
    ExpectColumn(drawn, "La_Cantidad_2", N(0));
    drawn.MoveNext();
  }
  EXPECT_TRUE(drawn.Eof());
  EXPECT_EQ(FreeInLot("LT-A"), 8);
  EXPECT_EQ(FreeInLot("LT-B"), 1);
  EXPECT_EQ(FreeInLot("LT-C"), 1);
  // The rows keep no lot key.
  ExpectColumn(Row(folio, "0001"), "Lt_Cve_Lote", T(""));
  ExpectColumn(Row(folio, "0002"), "Lt_Cve_Lote", T(""));
  EXPECT_EQ(Stock("A1", "L1"), (std::vector<double>{25, 0, 5, 0}));

  // No lot has nine pieces free: the row is stored, the stock stays.
  EXPECT_FALSE(Add(Line("L1", 9)));
  EXPECT_EQ(object_->Error(), "ApartadosQZL.dll - Inserta_Apartado()\r\nDebe especificar los lotes a descargar");
  EXPECT_EQ(Count("Apartado"), 3);
  EXPECT_EQ(Stock("A1", "L1"), (std::vector<double>{25, 0, 5, 0}));
}

TEST_P(CaptureOnDatabase, SerialKeptProductRecordsItsSerialOnce) {
  Begin("A1");
  tApDetalle line = Line("SR", 1);
  line.Serie.Sr_Cve_Serie = "SN-1";
  ASSERT_TRUE(Add(line)) << object_->Error();
  const std::string folio = object_->Encabezado().Ap_Folio;
  TableRecordset serial =
      Db().Query("SELECT Sr_Tipo_Documento, Sr_Folio, Sr_ID FROM Serie WHERE Sr_Cve_Serie = 'SN-1'");
  ExpectColumn(serial, "Sr_Tipo_Documento", T("APARTADO"));
  ExpectColumn(serial, "Sr_Folio", T(folio));
  ExpectColumn(serial, "Sr_ID", T("0001"));
  EXPECT_EQ(Stock("A1", "SR"), (std::vector<double>{4, 0, 1, 0}));

  // The same serial again: the series component's own text, the row stored,
  // no stock moved.
  auto series = Factory().CreateSeriesAssignment();
  ASSERT_EQ(series->AssignSeries("APARTADO", folio, "0002", "SR", "T1", "R1", "SN-1", "", 0, 1), kFalse);
  const std::string refusal = series->GetErrorText();
  ASSERT_FALSE(refusal.empty());
  EXPECT_FALSE(Add(line));
  EXPECT_EQ(object_->Error(), refusal);
  EXPECT_EQ(Count("Apartado"), 2);
  EXPECT_EQ(Stock("A1", "SR"), (std::vector<double>{4, 0, 1, 0}));
}

TEST_P(CaptureOnDatabase, WithdrawnProductIsRefusedBeforeAnyRow) {
  Db().Command("UPDATE Producto SET Es_Cve_Estado = 'BA' WHERE Pr_Cve_Producto = 'K1'");
  Begin("A1");
  EXPECT_FALSE(Add(Line("K1", 1)));
  EXPECT_EQ(object_->Error(), "El producto: K1, no existe o esta dado de baja");
  EXPECT_EQ(Count("Apartado"), 0);
  // The folio was taken all the same and the next line goes to it.
  ASSERT_TRUE(Add(Line("P1", 1))) << object_->Error();
  EXPECT_EQ(object_->Detalle().Ap_ID, "0001");
  EXPECT_EQ(object_->Encabezado().Ap_Folio, "0000000001");
}

APARTADO_INSTANTIATE_BACKENDS(CaptureOnDatabase);

}  // namespace
}  // namespace apartado
