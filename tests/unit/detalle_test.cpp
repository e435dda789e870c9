#include <gtest/gtest.h>

#include <limits>

#include "capture_fixture.h"

namespace apartado::capture_testing {
namespace {

using DetalleTest = CaptureTest;

std::string Report(const std::string& message, const std::string& id) {
  return "Session.ReportMessage(" + message +
         ", 16, ApartadosQZL.dll - Property Let Detalle(), <omitted>, apartadoQZL, " + id + ")";
}
const std::string kControl1 = "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!";

// The inventory branch and warehouse default to the header's only when the
// warehouse is empty, and the warehouse flags are asked of them.
TEST_F(DetalleTest, InventoryWarehouseDefaultsOnlyWhenItsWarehouseIsEmpty) {
  Begin();
  for (const auto& [branch, warehouse, want] : {std::tuple{"", "W9", ", W9"}, std::tuple{"S5", "", "S1, W1"}}) {
    tApDetalle line = SampleLine();
    line.Ap_Sucursal_Inventario = branch;
    line.Ap_Almacen_Inventario = warehouse;
    GetScript().ClearCalls();
    object->Detalle(line);
    EXPECT_EQ(object->Detalle().Ap_Sucursal_Inventario + ", " + object->Detalle().Ap_Almacen_Inventario, want);
    EXPECT_EQ(GetScript().CallTexts()[0], "Warehouse.HandlesSizes(" + std::string(want) + ")");
  }
}

// A refused or failed assignment is reported, a failing report is reported
// once more, and nothing reaches the caller; the line and the error text stay.
TEST_F(DetalleTest, ReadOnlyMembersAreRefusedAndThePreviousLineStays) {
  struct Case {
    double control1;
    std::string costUnit;
    int failingReports;
    std::vector<std::string> reports;
  };
  const Case cases[] = {
      {0.5, "PZA", 0, {Report(kControl1, "ERR-ID:7500001")}},
      {-3, "", 0, {Report(kControl1, "ERR-ID:7500001")}},
      {0, "KG", 0, {Report("EL PARAMETRO Ap_Unidad_Costo, ES DE SOLO LECTURA!", "ERR-ID:7500002")}},
      {1, "", 1, {Report(kControl1, "ERR-ID:7500001"), Report("sin pantalla", "ERR-ID:7500003")}},
      {1, "", 2, {Report(kControl1, "ERR-ID:7500001"), Report("sin pantalla", "ERR-ID:7500003")}},
  };
  Begin();
  GetScript().Lookup("Moneda", "Mn_Descripcion", "");  // leaves an error text
  EXPECT_EQ(Add(SampleLine()), kFalse);
  const std::string error = object->Error();
  const tApDetalle previous = object->Detalle();
  for (const Case& c : cases) {
    tApDetalle line = SampleLine(9);
    line.Ap_Cantidad_Control_1 = c.control1;
    line.Ap_Unidad_Costo = c.costUnit;
    for (int n = 1; n <= c.failingReports; ++n) ThrowSoon("Session.ReportMessage", "sin pantalla", n);
    GetScript().ClearCalls();
    EXPECT_NO_THROW(object->Detalle(line));
    EXPECT_EQ(GetScript().CallTexts(), c.reports);
    EXPECT_EQ(object->Detalle(), previous);
    EXPECT_EQ(object->Error(), error);
  }
}

// Sizes and colours become "00", and a lot or serial key is cleared only for
// its own product type, where the inventory warehouse does not keep them.
TEST_F(DetalleTest, KeysTheWarehouseDoesNotKeepAreCleared) {
  struct Case {
    std::string type;
    Boolean sizes, colours, lots, series;
    std::vector<std::string> keys;  // size, colour, lot, serial
  };
  for (const Case& c :
       {Case{"01", 0, 0, 0, 0, {"00", "00", "L1", "SER"}}, Case{"02", -1, 0, 0, -1, {"T1", "00", "", "SER"}},
        Case{"02", 0, 1, -1, 0, {"00", "R1", "L1", "SER"}}, Case{"03", -1, -1, -1, 0, {"T1", "R1", "L1", ""}},
        Case{"03", 0, 0, 0, 1, {"00", "00", "L1", "SER"}}}) {
    GetScript().Lookup("Producto", "Pr_Tipo_Producto", c.type);
    GetScript().Answer("Warehouse.HandlesSizes", Flag(c.sizes));
    GetScript().Answer("Warehouse.HandlesColours", Flag(c.colours));
    GetScript().Answer("Warehouse.HandlesLots", Flag(c.lots));
    GetScript().Answer("Warehouse.HandlesSeries", Flag(c.series));
    tApDetalle line = SampleLine();
    line.Lote.Lt_Cve_Lote = "L1";
    line.Serie.Sr_Cve_Serie = "SER";
    object->Detalle(line);
    const tApDetalle got = object->Detalle();
    EXPECT_EQ((std::vector{got.Tl_Cve_Talla, got.Cl_Cve_Color, got.Lote.Lt_Cve_Lote, got.Serie.Sr_Cve_Serie}), c.keys)
        << c.type << " " << c.sizes << c.colours << c.lots << c.series;
  }
}

// A failure is reported under its own id; the steps before it stay and the
// later ones are not run. Arithmetic that cannot be represented is an overflow.
TEST_F(DetalleTest, FailuresAreReportedAndTheStepsBeforeThemStay) {
  struct Case {
    const char* failing;
    double quantity, factor, cost;
    std::string description, type;
    double costAfter;
  };
  const double inf = std::numeric_limits<double>::infinity();
  for (const Case& c :
       {Case{"Warehouse.HandlesSizes", 2, 1, 0, "caido", "", 7}, Case{"Warehouse.GetCost", 2, 1, 0, "caido", "01", 7},
        Case{"", 1e300, 1e10, 0, "Overflow", "01", 7}, Case{"", 0, inf, 0, "Overflow", "01", 7},
        Case{"", 1e200, 1, 1e200, "Overflow", "01", 1e200}}) {
    GetScript().Answer("Catalog.GetUnitFactor", Variant::FromDouble(c.factor));
    GetScript().Answer("Warehouse.GetCost", Variant::FromDouble(c.cost));
    if (*c.failing) ThrowSoon(c.failing, "caido");
    tApDetalle line = SampleLine(c.quantity);
    line.Ap_Unidad_1 = "CJA";
    line.Ap_Costo = 7;
    GetScript().reported.clear();
    const int taxBefore = GetScript().Count("Tax.GetTaxFactor");
    object->Detalle(line);
    EXPECT_EQ(GetScript().reported, (std::vector<std::pair<std::string, std::string>>{{"ERR-ID:7500003", c.description}}));
    EXPECT_EQ(GetScript().Count("Tax.GetTaxFactor"), taxBefore);
    EXPECT_EQ(object->Detalle().Producto.Pr_Tipo_Producto, c.type);
    EXPECT_EQ(object->Detalle().Ap_Costo, c.costAfter);
  }
}

}  // namespace
}  // namespace apartado::capture_testing
