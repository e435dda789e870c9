#include <gtest/gtest.h>

#include <functional>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

using AddTest = CaptureTest;

const std::string kAddTag = "ApartadosQZL.dll - Add_Apartado_Detalle()";

Variant Flag(Boolean b) { return Variant::FromInteger(b); }

TEST_F(AddTest, FirstLineRunsEveryCheckThenStoresAndReserves) {
  script().Answer("Warehouse.HandlesSizes", Flag(kTrue));
  script().Answer("Warehouse.HandlesColours", Flag(kTrue));
  Begin();
  tApDetalle line = SampleLine();
  line.Ap_Sucursal_Inventario = "S2";
  line.Ap_Almacen_Inventario = "W2";
  object->Detalle(line);
  script().ClearCalls();
  ASSERT_EQ(object->Add_Apartado_Detalle(), kTrue) << object->Error();
  EXPECT_EQ(ShortCalls(script()),
            (std::vector<std::string>{
                "Session.IsRemoteServer()",
                "Catalog.LookupValue(Moneda, Mn_Cve_Moneda, MXN, Mn_Descripcion, 0, , , BA)",
                "Catalog.LookupValue(Almacen, Al_Cve_Almacen, W1, Al_Descripcion, 0, Sc_Cve_Sucursal, S1, BA)",
                "Catalog.LookupValue(Vendedor, Vn_Cve_Vendedor, V1, Vn_Descripcion, 0, , , BA)",
                "Catalog.LookupValue(Cliente, Cl_Cve_Cliente, C1, Cl_Descripcion, 0, , , BA)",
                "Catalog.LookupValue(Condicion_Venta, Cv_Cve_Condicion_Venta, CONT, Cv_Descripcion, 0, , , BA)",
                "Catalog.GetNextFolio(S1, APARTADO, 10, -1)",
                "Catalog.GetCurrentDate()",
                "Catalog.FormatDateTimeForSql(2026-03-10 15:30:00)",
                "Catalog.LookupValue(Almacen, Al_Cve_Almacen, W2, Al_Descripcion, 0, Sc_Cve_Sucursal, S2, BA)",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Descripcion, 0, , , BA)",
                "Catalog.LookupValue(Talla, Tl_Cve_Talla, T1, Tl_Descripcion, 0, , , BA)",
                "Catalog.LookupValue(Color, Cl_Cve_Color, R1, Cl_Descripcion, 0, , , BA)",
                "Catalog.CheckProductSizeColour(P1, T1, R1)",
                "Catalog.LookupValue(Unidad, Un_Cve_Unidad, PZA, Un_Descripcion, 0, , , BA)",
                "Catalog.FormatDateForSql(2026-03-10 09:05:07)",
                "Catalog.FormatDateForSql(2026-04-01 00:00:00)",
                "Catalog.FormatDateForSql(1899-12-30 00:00:00)",
                "Catalog.FormatDateForSql(1899-12-30 00:00:00)",
                "Session.GetOperator()",
                "Session.GetOperator()",
                "Session.GetConnection()",
                "Connection.Execute(INSERT)",
                // the reservation, on the line's inventory warehouse
                "Session.GetConnection()",
                "Connection.Execute(SELECT)",
                "Warehouse.GetStock(S2, W2, P1, T1, R1, 1, )",
                "Warehouse.GetStock(S2, W2, P1, T1, R1, 2, )",
                "Session.GetOperator()",
                "Session.GetConnection()",
                "Connection.Execute(UPDATE)",
            }));
  EXPECT_EQ(object->Encabezado().Ap_Folio, "A0000001");
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
  EXPECT_EQ(object->Error(), "");
}

TEST_F(AddTest, LaterLinesSkipTheFirstLineChecksAndShareTheFolio) {
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue);
  script().Lookup("Moneda", "Mn_Descripcion", "");  // no longer noticed
  script().ClearCalls();
  ASSERT_EQ(Add(SampleLine(3)), kTrue) << object->Error();
  ASSERT_EQ(Add(SampleLine(4)), kTrue) << object->Error();
  EXPECT_EQ(script().Count("Session.IsRemoteServer"), 1);
  EXPECT_EQ(script().Count("Catalog.GetNextFolio"), 1);
  EXPECT_EQ(CallsStartingWith(script(), "Catalog.LookupValue(Moneda"), std::vector<std::string>{});
  const std::vector<std::string> inserts = Inserts();
  ASSERT_EQ(inserts.size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_NE(inserts[i].find("VALUES ( 'A0000001', '000" + std::to_string(i + 1) + "', "), std::string::npos)
        << inserts[i];
  // Every row carries the audit moment stored with the folio.
  EXPECT_EQ(script().CallTexts("Catalog.FormatDateTimeForSql"), std::vector<std::string>{});
}

// Each case changes one answer of an otherwise valid capture.
struct Refusal {
  const char* name;
  std::function<void(CaptureTest&, testing::Script&, tApEncabezado&, tApDetalle&)> arrange;
  std::string message;
};

class AddRefusalTest : public CaptureTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(AddRefusalTest, RefusesWithItsMessageAlone) {
  tApEncabezado header = SampleHeader();
  tApDetalle line = SampleLine();
  GetParam().arrange(*this, script(), header, line);
  Begin(header);
  EXPECT_EQ(Add(line), kFalse);
  EXPECT_EQ(object->Error(), GetParam().message);
  EXPECT_TRUE(Inserts().empty());
}

// The n-th look-up from now answers "" (the header and inventory warehouses share a table).
void MissingLookUp(testing::Script& s, int n) {
  s.AnswerAt("Catalog.LookupValue", s.Count("Catalog.LookupValue") + n, Variant::FromText(""));
}

const Refusal kRefusals[] = {
    {"CentralServer",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Session.IsRemoteServer", Flag(1));  // any non-zero answer
     },
     "Esta operación solo puede realizarse en el servidor central"},
    {"OtherServer",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       Publico().CurrentServerId = "S1";
       s.Lookup("Sucursal", "Sc_Servidor_Id", "S2");
     },
     "Esta operación solo puede realizarse en el servidor con id: S2\r\nel id del servidor actual es: S1"},
    {"Currency",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Moneda", "Mn_Descripcion", ""); },
     "La moneda: MXN, no existe o está dada de baja"},
    {"RateZero", [](CaptureTest&, testing::Script&, tApEncabezado& h, tApDetalle&) { h.Ap_Tipo_Cambio = 0; },
     "El tipo de cambio: 0, no es válido"},
    {"RateNegative", [](CaptureTest&, testing::Script&, tApEncabezado& h, tApDetalle&) { h.Ap_Tipo_Cambio = -17.25; },
     "El tipo de cambio: -17.25, no es válido"},
    {"Warehouse",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Almacen", "Al_Descripcion", ""); },
     "El almacén: W1, de la sucursal: S1, no existe o esta dado de baja"},
    {"Seller",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Vendedor", "Vn_Descripcion", ""); },
     "El vendedor: V1, no existe o esta dado de baja"},
    {"Customer",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Cliente", "Cl_Descripcion", ""); },
     "El cliente: C1, no existe o esta dado de baja"},
    {"SaleCondition",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Lookup("Condicion_Venta", "Cv_Descripcion", "");
     },
     "La condición de venta: CONT, no existe o está dada de baja"},
    {"EmptyFolio",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Answer("Catalog.GetNextFolio", Variant()); },
     "Error al intentar obtener el folio de la apartado!"},
    {"InventoryWarehouse",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle& d) {
       d.Ap_Sucursal_Inventario = "S9";
       d.Ap_Almacen_Inventario = "W9";
       // Encabezado's look-up, Detalle's five, the header's five, then this one.
       MissingLookUp(s, 12);
     },
     "El almacén de inventario: W9, de la sucursal: S9, no existe o esta dado de baja"},
    {"Product",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Producto", "Pr_Descripcion", ""); },
     "El producto: P1, no existe o esta dado de baja"},
    {"Size",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Warehouse.HandlesSizes", Flag(kTrue));
       s.Lookup("Talla", "Tl_Descripcion", "");
     },
     "La talla: T1, no existe o está dada de baja"},
    {"Colour",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Color", "Cl_Descripcion", ""); },
     "El color: 00, no existe o esta dado de baja"},
    {"SizeColourRelation",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Warehouse.HandlesSizes", Flag(kTrue));
       s.Answer("Warehouse.HandlesColours", Flag(kTrue));
       s.Answer("Catalog.CheckProductSizeColour", Flag(kFalse));
     },
     "No se encuentra la relación producto/talla/color: P1/T1/R1"},
    {"SizeRelation",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Warehouse.HandlesSizes", Flag(1));
       s.Answer("Catalog.CheckProductSize", Flag(kFalse));
     },
     "No se encuentra la relación producto/talla: P1/T1"},
    {"ColourRelation",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Warehouse.HandlesColours", Flag(kTrue));
       s.Answer("Catalog.CheckProductColour", Flag(kFalse));
     },
     "No se encuentra la relación producto/color: P1/R1"},
    {"Unit",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) { s.Lookup("Unidad", "Un_Descripcion", ""); },
     "La unidad: PZA, no existe o está dada de baja"},
    {"ZeroQuantities",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle& d) {
       // Sold in boxes that convert to nothing, costed in the second unit.
       d.Ap_Unidad_1 = "CJA";
       d.Ap_Cantidad_1 = 3;
       d.Ap_Cantidad_Control_2 = 0;
       s.Answer("Catalog.GetUnitFactor", Variant::FromDouble(0));
       s.Lookup("Producto", "Pr_Unidad_Costo", "KG");
     },
     "La cantidad no puede ser cero: \r\nCantidad-1: 3\r\nCantidad-Control-1: 0\r\nCantidad-Control-2: 0\r\n"
     "CANTIDAD-COSTO: 0"},
    {"AllQuantitiesZero",
     [](CaptureTest&, testing::Script&, tApEncabezado&, tApDetalle& d) {
       d.Ap_Cantidad_1 = 0;
       d.Ap_Cantidad_Control_2 = 0;
     },
     "La cantidad no puede ser cero: \r\nCantidad-1: 0\r\nCantidad-Control-1: 0\r\nCantidad-Control-2: 0\r\n"
     "CANTIDAD-COSTO: 0"},
    {"NegativeSaleQuantity",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle& d) {
       d.Ap_Unidad_1 = "CJA";
       d.Ap_Cantidad_1 = -1;
       s.Answer("Catalog.GetUnitFactor", Variant::FromDouble(-2));
     },
     "las cantidades deben ser positivas!"},
    {"NegativeSecondQuantity",
     [](CaptureTest&, testing::Script&, tApEncabezado&, tApDetalle& d) { d.Ap_Cantidad_Control_2 = -0.5; },
     "las cantidades deben ser positivas!"},
    {"NegativeCost",
     [](CaptureTest&, testing::Script& s, tApEncabezado&, tApDetalle&) {
       s.Answer("Warehouse.GetCost", Variant::FromDouble(-0.01));
     },
     "El costo no puede ser negativo: \r\nCosto: -0.01"},
};

INSTANTIATE_TEST_SUITE_P(EachCheck, AddRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddTest, BoundaryValuesPass) {
  // A tiny rate, a zero cost, a first control quantity of 0 beside a second
  // one, a server id equal to the current one, relations answered with 1.
  Publico().CurrentServerId = "S1";
  script().Lookup("Sucursal", "Sc_Servidor_Id", "S1");
  script().Answer("Session.IsRemoteServer", Flag(kTrue));
  script().Answer("Warehouse.HandlesSizes", Flag(kTrue));
  script().Answer("Catalog.CheckProductSize", Flag(1));
  script().Answer("Catalog.GetUnitFactor", Variant::FromDouble(0));
  tApEncabezado header = SampleHeader();
  header.Ap_Tipo_Cambio = 0.0001;
  Begin(header);
  tApDetalle line = SampleLine();
  line.Ap_Unidad_1 = "CJA";
  line.Ap_Cantidad_Control_2 = 5;
  EXPECT_EQ(Add(line), kTrue) << object->Error();
  EXPECT_EQ(object->Detalle().Ap_Cantidad_Control_1, 0);
}

TEST_F(AddTest, NoRelationIsTestedWhereTheWarehouseKeepsNeitherSizesNorColours) {
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue) << object->Error();
  EXPECT_EQ(script().Count("Catalog.CheckProductSizeColour") + script().Count("Catalog.CheckProductSize") +
                script().Count("Catalog.CheckProductColour"),
            0);
  EXPECT_EQ(CallsStartingWith(script(), "Catalog.LookupValue(Talla"),
            std::vector<std::string>{"Catalog.LookupValue(Talla, Tl_Cve_Talla, 00, Tl_Descripcion, 0, , , BA)"});
  EXPECT_EQ(CallsStartingWith(script(), "Catalog.LookupValue(Color"),
            std::vector<std::string>{"Catalog.LookupValue(Color, Cl_Cve_Color, 00, Cl_Descripcion, 0, , , BA)"});
}

TEST_F(AddTest, HeaderRefusalLeavesTheLayawayWithoutFolio) {
  Begin();
  script().Lookup("Cliente", "Cl_Descripcion", "");
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Encabezado().Ap_Folio, "");
  EXPECT_EQ(script().Count("Catalog.GetNextFolio"), 0);
  // The header can still be changed, and the next call runs the checks again.
  tApEncabezado header = SampleHeader();
  header.Cliente.Cl_Cve_Cliente = "C2";
  object->Encabezado(header);
  script().Lookup("Cliente", "Cl_Descripcion", "descripcion");
  EXPECT_EQ(Add(SampleLine()), kTrue) << object->Error();
  EXPECT_EQ(script().Count("Session.IsRemoteServer"), 2);
  EXPECT_NE(Inserts()[0].find("'CONT', 'P1'"), std::string::npos);
  EXPECT_NE(Inserts()[0].find("'W1', 'C2', 'V1'"), std::string::npos);
}

TEST_F(AddTest, EmptyFolioKeepsCounterAndAuditMoment) {
  script().AnswerAt("Catalog.GetCurrentDate", 2, Variant::FromDate(MakeDate(2026, 1, 2, 3, 4, 5)));
  Begin();                              // first GetCurrentDate
  ASSERT_EQ(Add(SampleLine()), kTrue);  // second: the audit moment
  ASSERT_EQ(Add(SampleLine()), kTrue);
  object->Nuevo();
  object->Encabezado(SampleHeader());
  script().AnswerAt("Catalog.GetNextFolio", 2, Variant::FromText(""));
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Error(), "Error al intentar obtener el folio de la apartado!");
  EXPECT_EQ(object->Encabezado().Ap_Folio, "");
  EXPECT_EQ(script().Count("Catalog.FormatDateTimeForSql"), 1);
  script().AnswerAt("Catalog.GetNextFolio", 3, Variant::FromText("B7"));
  ASSERT_EQ(Add(SampleLine()), kTrue);
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
  EXPECT_TRUE(Inserts().back().ends_with("'OPER', '2026-03-10 15:30:00', 'OPER', '2026-03-10 15:30:00') "))
      << Inserts().back();
  EXPECT_NE(Inserts()[1].find("'2026-01-02 03:04:05', 'OPER', '2026-01-02 03:04:05') "), std::string::npos);
}

TEST_F(AddTest, LineRefusalKeepsTheFolioAndItsNumber) {
  Begin();
  tApDetalle bad = SampleLine();
  bad.Ap_Unidad_1 = "XX";
  script().Lookup("Unidad", "Un_Descripcion", "");
  EXPECT_EQ(Add(bad), kFalse);
  EXPECT_EQ(object->Encabezado().Ap_Folio, "A0000001");
  script().Lookup("Unidad", "Un_Descripcion", "pieza");
  EXPECT_EQ(Add(SampleLine()), kTrue) << object->Error();
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
  EXPECT_EQ(script().Count("Catalog.GetNextFolio"), 1);
}

TEST_F(AddTest, FailedInsertionUsesItsNumberAndTheTextIsTheInsertion) {
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue);
  connection().FailAt(static_cast<int>(connection().Statements().size()) + 1, "disco lleno");
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Error(), "ApartadosQZL.dll - Inserta_Apartado()\r\n\r\ndisco lleno");
  EXPECT_EQ(Add(SampleLine()), kTrue);
  EXPECT_EQ(object->Detalle().Ap_ID, "0003");
  EXPECT_EQ(object->Error(), "");  // cleared when the call starts
}

TEST(AddFailure, UnexpectedFailuresCarryTheTagAndTwoLineBreaks) {
  struct Case {
    const char* operation;
    int call;
    Variant folio;
    std::string error;
    std::string folioAfter;
  };
  const Case cases[] = {
      {"Session.IsRemoteServer", 1, Variant::FromText("F1"), kAddTag + "\r\n\r\nsesion perdida", ""},
      {"Catalog.FormatDateTimeForSql", 1, Variant::FromText("F1"), kAddTag + "\r\n\r\nsesion perdida", "F1"},
      {"Catalog.CheckProductSize", 1, Variant::FromText("F1"), kAddTag + "\r\n\r\nsesion perdida", "F1"},
      {"", 0, Variant::MakeNull(), kAddTag + "\r\n\r\nInvalid use of Null", ""},
      {"", 0, Variant::FromLong(12), "", "12"},
  };
  for (const Case& c : cases) {
    testing::FakeSuite suite;
    ScriptCatalogue(suite.script(), suite.connection());
    suite.script().Answer("Warehouse.HandlesSizes", Flag(kTrue));
    suite.script().Answer("Catalog.GetNextFolio", c.folio);
    if (*c.operation) suite.script().ThrowAt(c.operation, c.call, "sesion perdida");
    Apartado o;
    o.Nuevo();
    o.Encabezado(SampleHeader());
    o.Detalle(SampleLine());
    EXPECT_EQ(o.Add_Apartado_Detalle(), c.error.empty() ? kTrue : kFalse);
    EXPECT_EQ(o.Error(), c.error);
    EXPECT_EQ(o.Encabezado().Ap_Folio, c.folioAfter);
  }
}

TEST_F(AddTest, NuevoStartsANewFolioNumberedFromOne) {
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue);
  ASSERT_EQ(Add(SampleLine()), kTrue);
  script().Answer("Catalog.GetNextFolio", Variant::FromText("A0000002"));
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue);
  EXPECT_EQ(object->Encabezado().Ap_Folio, "A0000002");
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
  EXPECT_EQ(script().Count("Catalog.GetNextFolio"), 2);
}

TEST_F(AddTest, NumbersHaveFourDigitsThenGrowAndOverflowPast32767) {
  Begin();
  object->Apartar_Productos(kFalse);  // keeps each line to its INSERT
  object->Detalle(SampleLine());
  std::vector<std::string> ids;
  auto addAndKeepId = [&] {
    EXPECT_EQ(object->Add_Apartado_Detalle(), kTrue) << object->Error();
    ids.push_back(object->Detalle().Ap_ID);
  };
  for (int n = 1; n <= 11; ++n) addAndKeepId();
  // Walking the counter up line by line takes seconds; jump close to each edge.
  ApartadoTestAccess::LineCounter(*object) = 9998;
  addAndKeepId();
  addAndKeepId();
  ApartadoTestAccess::LineCounter(*object) = 32766;
  addAndKeepId();
  EXPECT_EQ(ids, (std::vector<std::string>{"0001", "0002", "0003", "0004", "0005", "0006", "0007", "0008", "0009",
                                           "0010", "0011", "9999", "10000", "32767"}));
  EXPECT_EQ(Inserts().size(), ids.size());
  EXPECT_NE(Inserts().back().find("VALUES ( 'A0000001', '32767', "), std::string::npos);

  EXPECT_EQ(object->Add_Apartado_Detalle(), kFalse);
  EXPECT_EQ(object->Error(), kAddTag + "\r\n\r\nOverflow");
  EXPECT_EQ(Inserts().size(), ids.size());
  EXPECT_EQ(object->Detalle().Ap_ID, "32767");
  EXPECT_EQ(ApartadoTestAccess::LineCounter(*object), 32767);
}

}  // namespace
}  // namespace apartado::capture_testing
