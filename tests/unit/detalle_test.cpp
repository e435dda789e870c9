#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

using DetalleTest = CaptureTest;

const char* const kTitle = "ApartadosQZL.dll - Property Let Detalle()";

std::string ReportText(const std::string& message, const std::string& id) {
  return "Session.ReportMessage(" + message + ", 16, " + kTitle + ", <omitted>, apartadoQZL, " + id + ")";
}

Variant Flag(Boolean b) { return Variant::FromInteger(b); }

TEST_F(DetalleTest, CompletesTheLineFromTheServicesInOrder) {
  tApEncabezado header = SampleHeader();
  header.Ap_Descuento_Global_Factor = 0.05;
  Begin(header);
  Publico().AmountCalculationMode = 3;
  script().Answer("Catalog.GetUnitFactor", Variant::FromDouble(12));
  script().Answer("Warehouse.GetCost", Variant::FromDouble(10.5));
  script().calculate = [](std::vector<double*>& r, std::int16_t) {
    *r[2] = 200;   // list price amount
    *r[7] = 0.1;   // header's global discount factor
    *r[8] = 5;     // header's global discount amount
    *r[10] = 32;   // tax amount
    *r[12] = 227;  // net amount
  };
  tApDetalle line = SampleLine();
  line.Ap_Unidad_1 = "CJA";
  line.Ap_Sucursal_Inventario = "S2";
  line.Ap_Almacen_Inventario = "W2";
  line.Producto.Pr_Unidad_Control_1 = "HOST";
  script().ClearCalls();
  object->Detalle(line);

  EXPECT_EQ(script().CallTexts(),
            (std::vector<std::string>{
                "Warehouse.HandlesSizes(S2, W2)",
                "Warehouse.HandlesColours(S2, W2)",
                "Warehouse.HandlesLots(S2, W2)",
                "Warehouse.HandlesSeries(S2, W2)",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Tipo_Producto, 0, , , )",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Tipo_Costeo, 0, , , )",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Unidad_Control_1, 0, , , )",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Unidad_Control_2, 0, , , )",
                "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, Pr_Unidad_Costo, 0, , , )",
                "Catalog.GetUnitFactor(P1, CJA, PZA)",
                // the cost belongs to the header's warehouse, not the inventory one
                "Warehouse.GetCost(S1, W1, P1, 00, 00, 24, )",
                "Tax.GetTaxFactor(S1, C1, P1)",
                "Catalog.CalculateLineAmounts(2, 100, 0, 0, 0, 0, 0, 0.05, 0, 0.16, 0, 0, 0, 3)",
            }));
  const tApDetalle got = object->Detalle();
  EXPECT_EQ(got.Ap_Sucursal_Inventario, "S2");
  EXPECT_EQ(got.Ap_Almacen_Inventario, "W2");
  EXPECT_EQ(got.Producto.Pr_Tipo_Producto, "01");
  EXPECT_EQ(got.Producto.Pr_Tipo_Costeo, "PEPS");
  EXPECT_EQ(got.Producto.Pr_Unidad_Control_1, "HOST");  // the product's own members are the host's
  EXPECT_EQ(got.Ap_Unidad_Control_1, "PZA");
  EXPECT_EQ(got.Ap_Unidad_Control_2, "KG");
  EXPECT_EQ(got.Ap_Unidad_Costo, "PZA");
  EXPECT_EQ(got.Ap_Cantidad_Control_1, 24);
  EXPECT_EQ(got.Ap_Cantidad_Control_2, 0.5);
  EXPECT_EQ(got.Ap_Cantidad_Costo, 24);
  EXPECT_EQ(got.Ap_Costo, 10.5);
  EXPECT_EQ(got.Ap_Costo_Importe, 252);
  EXPECT_EQ(got.Ap_Impuesto_Factor, 0.16);
  EXPECT_EQ(got.Ap_Precio_Lista_Importe, 200);
  EXPECT_EQ(got.Ap_Impuesto_Importe, 32);
  EXPECT_EQ(got.Ap_Precio_Neto_Importe, 227);
  EXPECT_EQ(object->Encabezado().Ap_Descuento_Global_Factor, 0.1);
  EXPECT_EQ(object->Encabezado().Ap_Descuento_Global_Importe, 5);
  EXPECT_TRUE(script().reported.empty());
}

TEST_F(DetalleTest, InventoryWarehouseDefaultsOnlyWhenItsWarehouseIsEmpty) {
  struct Case {
    std::string branch, warehouse, wantBranch, wantWarehouse;
  };
  for (const Case& c : {Case{"", "", "S1", "W1"}, Case{"", "W9", "", "W9"}, Case{"S5", "", "S1", "W1"}}) {
    Begin();
    tApDetalle line = SampleLine();
    line.Ap_Sucursal_Inventario = c.branch;
    line.Ap_Almacen_Inventario = c.warehouse;
    script().ClearCalls();
    object->Detalle(line);
    EXPECT_EQ(object->Detalle().Ap_Sucursal_Inventario, c.wantBranch);
    EXPECT_EQ(object->Detalle().Ap_Almacen_Inventario, c.wantWarehouse);
    EXPECT_EQ(script().CallTexts()[0], "Warehouse.HandlesSizes(" + c.wantBranch + ", " + c.wantWarehouse + ")");
  }
}

TEST_F(DetalleTest, ReadOnlyMembersAreRefusedAndThePreviousLineStays) {
  struct Case {
    double control1;
    std::string costUnit, message, id;
  };
  const Case cases[] = {
      {0.5, "PZA", "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!", "ERR-ID:7500001"},
      {-3, "", "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!", "ERR-ID:7500001"},
      {0, "KG", "EL PARAMETRO Ap_Unidad_Costo, ES DE SOLO LECTURA!", "ERR-ID:7500002"},
  };
  Begin();
  // An earlier refusal leaves an error text that the assignment must not touch.
  script().Lookup("Moneda", "Mn_Descripcion", "");
  EXPECT_EQ(Add(SampleLine()), kFalse);
  const std::string error = object->Error();
  ASSERT_FALSE(error.empty());
  const tApDetalle previous = object->Detalle();
  for (const Case& c : cases) {
    tApDetalle line = SampleLine(9);
    line.Producto.Pr_Cve_Producto = "OTHER";
    line.Ap_Cantidad_Control_1 = c.control1;
    line.Ap_Unidad_Costo = c.costUnit;
    script().ClearCalls();
    object->Detalle(line);
    EXPECT_EQ(script().CallTexts(), std::vector<std::string>{ReportText(c.message, c.id)});
    EXPECT_EQ(object->Detalle(), previous);
    EXPECT_EQ(object->Error(), error);
  }
}

TEST_F(DetalleTest, WarehouseWithoutSizesOrColoursUsesZeroZero) {
  struct Case {
    Boolean sizes, colours;
    std::string size, colour;
  };
  for (const Case& c :
       {Case{0, 0, "00", "00"}, Case{-1, 0, "T1", "00"}, Case{0, 1, "00", "R1"}, Case{-1, -1, "T1", "R1"}}) {
    script().Answer("Warehouse.HandlesSizes", Flag(c.sizes));
    script().Answer("Warehouse.HandlesColours", Flag(c.colours));
    Begin();
    object->Detalle(SampleLine());
    EXPECT_EQ(object->Detalle().Tl_Cve_Talla, c.size) << c.sizes << "/" << c.colours;
    EXPECT_EQ(object->Detalle().Cl_Cve_Color, c.colour) << c.sizes << "/" << c.colours;
  }
}

TEST_F(DetalleTest, LotAndSerialKeysAreClearedOnlyForTheirTypeWhereTheWarehouseLacksThem) {
  struct Case {
    std::string type;
    Boolean lots, series;
    std::string lot, serial;
  };
  for (const Case& c : {Case{"02", 0, -1, "", "SER"}, Case{"02", -1, 0, "L1", "SER"}, Case{"03", -1, 0, "L1", ""},
                        Case{"03", 0, 1, "L1", "SER"}, Case{"01", 0, 0, "L1", "SER"}}) {
    script().Lookup("Producto", "Pr_Tipo_Producto", c.type);
    script().Answer("Warehouse.HandlesLots", Flag(c.lots));
    script().Answer("Warehouse.HandlesSeries", Flag(c.series));
    Begin();
    tApDetalle line = SampleLine();
    line.Lote.Lt_Cve_Lote = "L1";
    line.Serie.Sr_Cve_Serie = "SER";
    object->Detalle(line);
    EXPECT_EQ(object->Detalle().Lote.Lt_Cve_Lote, c.lot) << c.type;
    EXPECT_EQ(object->Detalle().Serie.Sr_Cve_Serie, c.serial) << c.type;
  }
}

TEST_F(DetalleTest, ControlAndCostQuantitiesFollowTheUnits) {
  struct Case {
    std::string costUnit;
    double control2, cost;
    int factorCalls;
    double costQuantity, costAmount;
  };
  for (const Case& c : {Case{"PZA", 0.5, 3, 0, 2, 6}, Case{"KG", 0.5, 3, 0, 0.5, 1.5}, Case{"KG", 0, 3, 0, 0, 0}}) {
    script().Lookup("Producto", "Pr_Unidad_Costo", c.costUnit);
    script().Answer("Warehouse.GetCost", Variant::FromDouble(c.cost));
    const int factorsBefore = script().Count("Catalog.GetUnitFactor");
    Begin();
    tApDetalle line = SampleLine(2);
    line.Ap_Cantidad_Control_2 = c.control2;
    object->Detalle(line);
    const tApDetalle got = object->Detalle();
    EXPECT_EQ(script().Count("Catalog.GetUnitFactor") - factorsBefore, c.factorCalls);
    EXPECT_EQ(got.Ap_Cantidad_Control_1, 2);
    EXPECT_EQ(got.Ap_Cantidad_Costo, c.costQuantity);
    EXPECT_EQ(got.Ap_Costo_Importe, c.costAmount);
  }
}

TEST_F(DetalleTest, ProductWithoutRowAsksTheFactorWithAnEmptyControlUnit) {
  for (const char* column :
       {"Pr_Tipo_Producto", "Pr_Tipo_Costeo", "Pr_Unidad_Control_1", "Pr_Unidad_Control_2", "Pr_Unidad_Costo"})
    script().Lookup("Producto", column, "");
  script().Answer("Catalog.GetUnitFactor", Variant::FromDouble(0));
  Begin();
  script().ClearCalls();
  object->Detalle(SampleLine(2));
  EXPECT_EQ(script().CallTexts("Catalog.GetUnitFactor"), std::vector<std::string>{"Catalog.GetUnitFactor(P1, PZA, )"});
  const tApDetalle got = object->Detalle();
  EXPECT_EQ(got.Producto.Pr_Tipo_Producto, "");
  EXPECT_EQ(got.Ap_Unidad_Control_1, "");
  EXPECT_EQ(got.Ap_Cantidad_Control_1, 0);
  EXPECT_EQ(got.Ap_Cantidad_Costo, 0);  // cost unit "" equals control unit ""
}

TEST_F(DetalleTest, FailuresAreReportedAndTheStepsBeforeThemStay) {
  Begin();
  tApDetalle line = SampleLine(2);
  line.Ap_Costo = 7;
  script().ThrowAt("Warehouse.GetCost", 1, "sin costo");
  script().ClearCalls();
  object->Detalle(line);
  EXPECT_EQ(script().CallTexts("Session."), std::vector<std::string>{ReportText("sin costo", "ERR-ID:7500003")});
  EXPECT_EQ(script().Count("Tax.GetTaxFactor"), 0);
  EXPECT_EQ(script().Count("Catalog.CalculateLineAmounts"), 0);
  const tApDetalle got = object->Detalle();
  EXPECT_EQ(got.Ap_Unidad_Control_2, "KG");
  EXPECT_EQ(got.Ap_Cantidad_Control_1, 2);
  EXPECT_EQ(got.Ap_Cantidad_Costo, 2);
  EXPECT_EQ(got.Ap_Costo, 7);  // as the host gave it
  EXPECT_EQ(object->Error(), "");
}

TEST_F(DetalleTest, FailureBeforeTheLookUpsLeavesTheCopiedLine) {
  Begin();  // its capability questions are the first calls
  script().ThrowAt("Warehouse.HandlesSizes", 2, "almacen caido");
  tApDetalle line = SampleLine();
  line.Ap_Concepto = "nuevo";
  object->Detalle(line);
  EXPECT_EQ(script().reported, (std::vector<std::pair<std::string, std::string>>{{"ERR-ID:7500003", "almacen caido"}}));
  EXPECT_EQ(object->Detalle().Ap_Concepto, "nuevo");
  EXPECT_EQ(object->Detalle().Ap_Almacen_Inventario, "W1");
  EXPECT_EQ(object->Detalle().Producto.Pr_Tipo_Producto, "");
}

TEST_F(DetalleTest, ArithmeticThatCannotBeRepresentedIsAnOverflow) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double quantity, factor, cost;
    const char* unit;
  };
  // quantity times factor overflows; 0 times infinity is not a number; the
  // cost amount overflows.
  for (const Case& c : {Case{1e300, 1e10, 1, "CJA"}, Case{0, inf, 1, "CJA"}, Case{1e200, 1, 1e200, "PZA"}}) {
    script().Answer("Catalog.GetUnitFactor", Variant::FromDouble(c.factor));
    script().Answer("Warehouse.GetCost", Variant::FromDouble(c.cost));
    script().reported.clear();
    Begin();
    tApDetalle line = SampleLine(c.quantity);
    line.Ap_Unidad_1 = c.unit;
    const int taxBefore = script().Count("Tax.GetTaxFactor");
    object->Detalle(line);
    EXPECT_EQ(script().reported, (std::vector<std::pair<std::string, std::string>>{{"ERR-ID:7500003", "Overflow"}}));
    EXPECT_EQ(script().Count("Tax.GetTaxFactor"), taxBefore);
  }
}

TEST_F(DetalleTest, AFailingReportIsReportedOnceMoreAndNeverReachesTheCaller) {
  tApDetalle line = SampleLine();
  line.Ap_Cantidad_Control_1 = 1;
  script().ThrowAt("Session.ReportMessage", 1, "sin pantalla");
  EXPECT_NO_THROW(object->Detalle(line));
  EXPECT_EQ(
      script().CallTexts("Session.ReportMessage"),
      (std::vector<std::string>{ReportText("EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!", "ERR-ID:7500001"),
                                ReportText("sin pantalla", "ERR-ID:7500003")}));

  script().ThrowAt("Session.ReportMessage", 3, "sin pantalla");
  script().ThrowAt("Session.ReportMessage", 4, "sin registro");
  EXPECT_NO_THROW(object->Detalle(line));
  EXPECT_EQ(script().Count("Session.ReportMessage"), 4);
  EXPECT_EQ(object->Detalle(), tApDetalle{});
}

}  // namespace
}  // namespace apartado::capture_testing
