#include <gtest/gtest.h>

#include <algorithm>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

using InsertTest = CaptureTest;

const std::string kInsertTag = "ApartadosQZL.dll - Inserta_Apartado()";
const std::string kLotMessage = kInsertTag + "\r\nDebe especificar los lotes a descargar";

Variant Flag(Boolean b) { return Variant::FromInteger(b); }

// A lot- or serial-kept product in a warehouse that keeps them.
void KeptBy(testing::Script& s, const std::string& type) {
  s.Lookup("Producto", "Pr_Tipo_Producto", type);
  s.Answer(type == "02" ? "Warehouse.HandlesLots" : "Warehouse.HandlesSeries", Flag(kTrue));
}

std::vector<std::string> CallsAfterInsert(const testing::Script& s) {
  std::vector<std::string> calls = ShortCalls(s);
  auto insert = std::find(calls.begin(), calls.end(), "Connection.Execute(INSERT)");
  return insert == calls.end() ? std::vector<std::string>{} : std::vector<std::string>(insert + 1, calls.end());
}

const std::vector<std::string> kReservation = {
    "Session.GetConnection()",
    "Connection.Execute(SELECT)",
    "Warehouse.GetStock(S1, W1, P1, 00, 00, 1, )",
    "Warehouse.GetStock(S1, W1, P1, 00, 00, 2, )",
    "Session.GetOperator()",
    "Session.GetConnection()",
    "Connection.Execute(UPDATE)",
};

std::vector<std::string> Then(std::vector<std::string> first, const std::vector<std::string>& rest) {
  first.insert(first.end(), rest.begin(), rest.end());
  return first;
}

TEST_F(InsertTest, WritesEveryColumnInOrder) {
  script().Answer("Warehouse.HandlesSizes", Flag(kTrue));
  script().Answer("Warehouse.HandlesColours", Flag(kTrue));
  script().Answer("Warehouse.GetCost", Variant::FromDouble(10.5));
  script().AnswerAt("Session.GetOperator", 1, Variant::FromText("OP1"));
  script().AnswerAt("Session.GetOperator", 2, Variant::FromText("OP2"));
  script().calculate = [](std::vector<double*>& r, std::int16_t) {
    *r[2] = 200, *r[3] = 0.1, *r[4] = 20, *r[5] = 90, *r[6] = 180, *r[8] = 9;
    *r[10] = 27.36, *r[11] = 99.18, *r[12] = 198.36;
  };
  tApEncabezado header = SampleHeader();
  header.Ap_Descuento_Global_Factor = 0.05;
  header.Ap_Tipo_Cambio = 17.5;
  Begin(header);
  object->Apartar_Productos(kFalse);
  tApDetalle line = SampleLine();
  line.Ap_Sucursal_Inventario = "S2";
  line.Ap_Almacen_Inventario = "W2";
  line.Ap_Concepto = "Venta";
  line.Pr_Folio = "PF-1";
  line.Lote = {"L-9", MakeDate(2027, 1, 31), "PED-4", MakeDate(2025, 12, 1), {}};
  line.Serie.Sr_Cve_Serie = "SR-1";
  line.Ap_Partida = "PARTIDA";
  ASSERT_EQ(Add(line), kTrue) << object->Error();

  const std::string expected =
      std::string("INSERT INTO Apartado (") + "Ap_Folio, " + "Ap_ID, " + "Ap_Tabla, " + "Ap_Documento, " +
      "Ap_Referencia, " + "Ap_Fecha, " + "Ap_Fecha_Entrega, " + "Ap_Comentario, " + "Sc_Cve_Sucursal, " +
      "Al_Cve_Almacen, " + "Ap_Sucursal_Inventario, " + "Ap_Almacen_Inventario, " + "Cl_Cve_Cliente, " +
      "Vn_Cve_Vendedor, " + "Ap_Condicion_Venta, " + "Pr_Cve_Producto, " + "Cl_Cve_Color, " + "Tl_Cve_Talla, " +
      "Ap_Concepto, " + "Ap_Descuento_Global_Cuenta_Contable, " + "Ap_Descuento_Global_Factor, " +
      "Ap_Descuento_Global_Importe, " + "Ap_Cantidad_1, " + "Ap_Unidad_1, " + "Ap_Cantidad_Control_1, " +
      "Ap_Unidad_Control_1, " + "Ap_Cantidad_Control_2, " + "Ap_Unidad_Control_2, " + "Ap_Cantidad_Costo, " +
      "Ap_Unidad_Costo, " + "Ap_Costo, " + "Ap_Costo_Importe, " + "Pr_Folio, " + "Ap_Precio_Lista, " +
      "Ap_Precio_Lista_Importe, " + "Ap_Descuento_Factor, " + "Ap_Descuento_Importe, " + "Ap_Precio_Descontado, " +
      "Ap_Precio_Descontado_Importe, " + "Ap_Impuesto_Factor, " + "Ap_Impuesto_Importe, " + "Ap_Precio_Neto, " +
      "Ap_Precio_Neto_Importe, " + "Lt_Cve_Lote, " + "Lt_Fecha_Caducidad, " + "Lt_Pedimento, " +
      "Lt_Fecha_Pedimento, " + "Mn_Cve_Moneda, " + "Ap_Tipo_Cambio, " + "Oper_Alta, " + "Fecha_Alta, " +
      "Oper_Ult_Modif, " + "Fecha_Ult_Modif) " + "VALUES ( " +
      "'A0000001', '0001', 'PEDIDO', 'D-7', 'REF', '2026-03-10 09:05:07', '2026-04-01 00:00:00', 'sin prisa', "
      "'S1', 'W1', 'S2', 'W2', 'C1', 'V1', 'CONT', 'P1', 'R1', 'T1', 'Venta', '', 0.05, 9, "
      "2, 'PZA', 2, 'PZA', 0.5, 'KG', 2, 'PZA', 10.5, 21, 'PF-1', "
      "100, 200, 0.1, 20, 90, 180, 0.16, 27.36, 99.18, 198.36, "
      "'', '2027-01-31 00:00:00', 'PED-4', '2025-12-01 00:00:00', 'MXN', 17.5, "
      "'OP1', '2026-03-10 15:30:00', 'OP2', '2026-03-10 15:30:00') ";
  ASSERT_EQ(Inserts().size(), 1u);
  EXPECT_EQ(Inserts()[0], expected);
  EXPECT_EQ(Publico().SqlText, expected);
  EXPECT_EQ(script().CallTexts("Catalog.FormatDateForSql"),
            (std::vector<std::string>{
                "Catalog.FormatDateForSql(2026-03-10 09:05:07)", "Catalog.FormatDateForSql(2026-04-01 00:00:00)",
                "Catalog.FormatDateForSql(2027-01-31 00:00:00)", "Catalog.FormatDateForSql(2025-12-01 00:00:00)"}));
}

TEST_F(InsertTest, TextsAreWrittenAsHeldAndTheDateFormIsTheCatalogues) {
  script().Answer("Catalog.FormatDateForSql", Variant::FromText("20260310"));
  tApEncabezado header = SampleHeader();
  header.Ap_Comentario = "it's";
  Begin(header);
  object->Apartar_Productos(kFalse);
  ASSERT_EQ(Add(SampleLine()), kTrue) << object->Error();
  EXPECT_NE(Inserts()[0].find("'REF', '20260310', '20260310', 'it's', 'S1'"), std::string::npos) << Inserts()[0];
}

TEST(InsertWithoutReserving, OnlyTheRowIsWritten) {
  for (const char* type : {"01", "02", "03"}) {
    testing::FakeSuite suite;
    ScriptCatalogue(suite.script(), suite.connection());
    KeptBy(suite.script(), type);
    Apartado o;
    o.Nuevo();
    o.Encabezado(SampleHeader());
    o.Apartar_Productos(kFalse);
    o.Detalle(SampleLine());
    EXPECT_EQ(o.Add_Apartado_Detalle(), kTrue) << type;
    EXPECT_EQ(suite.connection().Statements().size(), 1u) << type;
    EXPECT_EQ(CallsAfterInsert(suite.script()), std::vector<std::string>{}) << type;
  }
}

TEST_F(InsertTest, PlainLineIsReservedOnItsInventoryWarehouseWithItsQuantities) {
  Begin();
  tApDetalle line = SampleLine(3);
  ASSERT_EQ(Add(line), kTrue) << object->Error();
  EXPECT_EQ(CallsAfterInsert(script()), kReservation);
  EXPECT_NE(connection().Statements().back().find("Ex_Cantidad_Apartado_Control_1 + 3, "
                                                  "   Ex_Cantidad_Apartado_Control_2 = Ex_Cantidad_Apartado_Control_2 "
                                                  "+ 0.5, "),
            std::string::npos);
}

TEST_F(InsertTest, SerialQuantityRoundsHalvesToEven) {
  KeptBy(script(), "03");
  script().Answer("Warehouse.GetStock", Variant::FromDouble(40000));
  struct Case {
    double quantity;
    std::string sent;
  };
  for (const Case& c : {Case{2.5, "2"}, Case{3.5, "4"}, Case{1, "1"}, Case{32767.4, "32767"}}) {
    Begin();
    tApDetalle line = SampleLine(c.quantity);
    line.Serie = {"SR-1", "PED-S", MakeDate(2025, 11, 30), {}};
    script().ClearCalls();
    ASSERT_EQ(Add(line), kTrue) << object->Error();
    EXPECT_EQ(CallsAfterInsert(script()),
              Then({"Factory.CreateSeriesAssignment()",
                    "Series.AssignSeries(APARTADO, A0000001, 0001, P1, 00, 00, SR-1, PED-S, 2025-11-30 00:00:00, " +
                        c.sent + ")"},
                   kReservation))
        << c.quantity;
  }
}

TEST_F(InsertTest, SerialQuantityOutOfRangeFailsAfterTheRowIsStored) {
  KeptBy(script(), "03");
  Begin();
  ASSERT_EQ(Add(SampleLine(40000)), kFalse);
  EXPECT_EQ(object->Error(), kInsertTag + "\r\n\r\nOverflow");
  EXPECT_EQ(Inserts().size(), 1u);
  EXPECT_EQ(CallsAfterInsert(script()), std::vector<std::string>{"Factory.CreateSeriesAssignment()"});
}

TEST_F(InsertTest, EmptySerialIsHandedOverAsItIs) {
  KeptBy(script(), "03");
  Begin();
  ASSERT_EQ(Add(SampleLine()), kTrue);
  EXPECT_EQ(script().CallTexts("Series.AssignSeries"),
            std::vector<std::string>{"Series.AssignSeries(APARTADO, A0000001, 0001, P1, 00, 00, , , "
                                     "1899-12-30 00:00:00, 2)"});
}

TEST_F(InsertTest, SerialRefusalIsTheComponentsTextAlone) {
  KeptBy(script(), "03");
  for (Boolean answer : {kFalse, Boolean{1}}) {
    script().Answer("Series.AssignSeries", Flag(answer));
    script().Answer("Series.GetErrorText", Variant::FromText("serie ya asignada"));
    Begin();
    script().ClearCalls();
    EXPECT_EQ(Add(SampleLine()), kFalse);
    EXPECT_EQ(object->Error(), "serie ya asignada");
    EXPECT_EQ(CallsAfterInsert(script()).back(), "Series.GetErrorText()");
    EXPECT_EQ(script().Count("Warehouse.GetStock"), 0);
  }
}

TEST_F(InsertTest, StepsAreSkippedWhereTheWarehouseKeepsNoLotsOrSeries) {
  for (const char* type : {"02", "03"}) {
    script().Lookup("Producto", "Pr_Tipo_Producto", type);
    Publico().AutomaticLots = kTrue;
    Begin();
    script().ClearCalls();
    EXPECT_EQ(Add(SampleLine()), kTrue) << object->Error();
    EXPECT_EQ(CallsAfterInsert(script()), kReservation) << type;
  }
}

TEST_F(InsertTest, GivenLotIsAssignedWithoutPickingOne) {
  KeptBy(script(), "02");
  Publico().AutomaticLots = kTrue;
  Begin();
  tApDetalle line = SampleLine();
  line.Lote.Lt_Cve_Lote = "L-9";
  script().ClearCalls();
  ASSERT_EQ(Add(line), kTrue) << object->Error();
  EXPECT_EQ(CallsAfterInsert(script()),
            Then({"Factory.CreateLotAssignment()", "Lot.AssignLot(APARTADO, A0000001, 0001, P1, 00, 00, L-9, 2, 0.5)"},
                 kReservation));
  // The row never keeps the lot key.
  EXPECT_NE(Inserts()[0].find(", 0, '', '1899-12-30 00:00:00', '', '1899-12-30 00:00:00', 'MXN', 1, "),
            std::string::npos)
      << Inserts()[0];
}

TEST_F(InsertTest, AutomaticLotIsPickedForTheHeaderWarehouseAndKeptInTheLine) {
  KeptBy(script(), "02");
  Publico().AutomaticLots = kTrue;
  script().Answer("Warehouse.PickAutomaticLot", Variant::FromText("L-AUTO"));
  script().Answer("Catalog.GetUnitFactor", Variant::FromDouble(12));
  Begin();
  tApDetalle line = SampleLine(2);
  line.Ap_Unidad_1 = "CJA";
  line.Ap_Sucursal_Inventario = "S2";
  line.Ap_Almacen_Inventario = "W2";
  script().ClearCalls();
  object->Detalle(line);
  ASSERT_EQ(object->Add_Apartado_Detalle(), kTrue) << object->Error();
  const std::vector<std::string> after = CallsAfterInsert(script());
  ASSERT_GE(after.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 3),
            (std::vector<std::string>{"Warehouse.PickAutomaticLot(S1, W1, P1, 00, 00, 2, 0.5)",
                                      "Factory.CreateLotAssignment()",
                                      "Lot.AssignLot(APARTADO, A0000001, 0001, P1, 00, 00, L-AUTO, 24, 0.5)"}));
  EXPECT_EQ(object->Detalle().Lote.Lt_Cve_Lote, "L-AUTO");
  EXPECT_NE(Inserts()[0].find(", '', '1899-12-30 00:00:00', '', '1899-12-30 00:00:00', 'MXN'"), std::string::npos)
      << Inserts()[0];
}

TEST_F(InsertTest, MissingLotIsRefusedAfterTheRowIsStored) {
  KeptBy(script(), "02");
  struct Case {
    Boolean automatic;
    std::vector<std::string> calls;
  };
  for (const Case& c : {Case{kFalse, {}}, Case{kTrue, {"Warehouse.PickAutomaticLot(S1, W1, P1, 00, 00, 2, 0.5)"}}}) {
    Publico().AutomaticLots = c.automatic;
    Begin();
    script().ClearCalls();
    EXPECT_EQ(Add(SampleLine()), kFalse);
    EXPECT_EQ(object->Error(), kLotMessage);
    EXPECT_EQ(CallsAfterInsert(script()), c.calls);
  }
  EXPECT_EQ(Inserts().size(), 2u);
}

TEST_F(InsertTest, LotRefusalIsTaggedOnceAndTheChosenLotStays) {
  KeptBy(script(), "02");
  Publico().AutomaticLots = kTrue;
  script().Answer("Warehouse.PickAutomaticLot", Variant::FromText("L-AUTO"));
  script().Answer("Lot.GetErrorText", Variant::FromText("lote agotado"));
  for (Boolean answer : {kFalse, Boolean{1}}) {
    script().Answer("Lot.AssignLot", Flag(answer));
    Begin();
    script().ClearCalls();
    EXPECT_EQ(Add(SampleLine()), kFalse);
    EXPECT_EQ(object->Error(), kInsertTag + "\r\nlote agotado");
    EXPECT_EQ(object->Detalle().Lote.Lt_Cve_Lote, "L-AUTO");
    EXPECT_EQ(CallsAfterInsert(script()).back(), "Lot.GetErrorText()");
    EXPECT_EQ(script().Count("Warehouse.GetStock"), 0);
  }
}

TEST_F(InsertTest, LotGetsAbsoluteQuantitiesWhileTheReservationGetsThemSigned) {
  KeptBy(script(), "02");
  Begin();
  tApDetalle line = SampleLine();
  line.Lote.Lt_Cve_Lote = "L-9";
  ASSERT_EQ(Add(line), kTrue) << object->Error();
  // No public path stores negative quantities; set them on the line directly.
  ApartadoTestAccess::Line(*object).Ap_Cantidad_Control_1 = -3;
  ApartadoTestAccess::Line(*object).Ap_Cantidad_Control_2 = -0.5;
  script().ClearCalls();
  ASSERT_EQ(ApartadoTestAccess::Inserta_Apartado(*object), kTrue) << object->Error();
  EXPECT_EQ(script().CallTexts("Lot.AssignLot"),
            std::vector<std::string>{"Lot.AssignLot(APARTADO, A0000001, 0001, P1, 00, 00, L-9, 3, 0.5)"});
  EXPECT_NE(connection().Statements().back().find("Ex_Cantidad_Apartado_Control_1 + -3, "), std::string::npos);
  EXPECT_NE(connection().Statements().back().find("Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - -0.5 "),
            std::string::npos);
}

TEST_F(InsertTest, ReservationRefusalPutsTheInsertionTagFirst) {
  KeptBy(script(), "03");
  Begin();
  connection().AnswerNext("FROM Producto", {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"}, {});
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Error(),
            kInsertTag + "\r\napartadoQZL.dll - Aparta_Producto() \r\nEl código del producto es incorrecto");
  EXPECT_EQ(script().Count("Series.AssignSeries"), 1);  // the serial stays recorded

  script().ThrowAt("Warehouse.GetStock", 1, "existencias caidas");
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Error(), kInsertTag + "\r\napartadoQZL.dll - Aparta_Producto() \r\nexistencias caidas");
}

TEST(InsertFailure, RunTimeFailuresCarryTheTagAndTwoLineBreaks) {
  struct Case {
    const char* operation;
    int call;
    std::size_t statements;
  };
  // Calls are counted from the fixture's start: the second operator is the INSERT's
  // column 52; the lot's text is asked after a refusal.
  for (const Case& c : {Case{"Session.GetOperator", 2, 0}, Case{"Catalog.FormatDateForSql", 3, 0},
                        Case{"Session.GetConnection", 1, 0}, Case{"Factory.CreateLotAssignment", 1, 1},
                        Case{"Lot.GetErrorText", 1, 1}, Case{"Warehouse.PickAutomaticLot", 1, 1}}) {
    testing::FakeSuite suite;
    ScriptCatalogue(suite.script(), suite.connection());
    KeptBy(suite.script(), "02");
    suite.script().Answer("Lot.AssignLot", Flag(kFalse));
    suite.script().ThrowAt(c.operation, c.call, "componente caido");
    Apartado o;
    Publico().AutomaticLots = kTrue;
    o.Nuevo();
    o.Encabezado(SampleHeader());
    tApDetalle line = SampleLine();
    if (std::string(c.operation) != "Warehouse.PickAutomaticLot") line.Lote.Lt_Cve_Lote = "L-1";
    o.Detalle(line);
    EXPECT_EQ(o.Add_Apartado_Detalle(), kFalse) << c.operation;
    EXPECT_EQ(o.Error(), kInsertTag + "\r\n\r\ncomponente caido") << c.operation;
    EXPECT_EQ(suite.connection().Statements().size(), c.statements) << c.operation;
  }
}

TEST_F(InsertTest, RejectedStatementEndsTheInsertion) {
  KeptBy(script(), "03");
  Begin();
  connection().FailAt(1, "violacion de llave");
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(object->Error(), kInsertTag + "\r\n\r\nviolacion de llave");
  EXPECT_EQ(script().Count("Factory.CreateSeriesAssignment"), 0);
}

}  // namespace
}  // namespace apartado::capture_testing
