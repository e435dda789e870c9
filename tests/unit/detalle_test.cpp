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
  Begin();
  GetScript().Lookup("Moneda", "Mn_Descripcion", "");  // leaves an error text
  EXPECT_EQ(Add(SampleLine()), kFalse);
  const std::string error = object->Error();
  const tApDetalle previous = object->Detalle();
  for (const auto& [control1, costUnit, failingReports, reports] :
       std::initializer_list<std::tuple<double, const char*, int, std::vector<std::string>>>{
           {0.5, "PZA", 0, {Report(kControl1, "ERR-ID:7500001")}},
           {-3, "", 0, {Report(kControl1, "ERR-ID:7500001")}},
           {0, "KG", 0, {Report("EL PARAMETRO Ap_Unidad_Costo, ES DE SOLO LECTURA!", "ERR-ID:7500002")}},
           {1, "", 1, {Report(kControl1, "ERR-ID:7500001"), Report("sin pantalla", "ERR-ID:7500003")}},
           {1, "", 2, {Report(kControl1, "ERR-ID:7500001"), Report("sin pantalla", "ERR-ID:7500003")}}}) {
    tApDetalle line = SampleLine(9);
    line.Ap_Cantidad_Control_1 = control1;
    line.Ap_Unidad_Costo = costUnit;
    for (int n = 1; n <= failingReports; ++n) ThrowSoon("Session.ReportMessage", "sin pantalla", n);
    GetScript().ClearCalls();
    EXPECT_NO_THROW(object->Detalle(line));
    EXPECT_EQ(GetScript().CallTexts(), reports);
    EXPECT_EQ(object->Detalle(), previous);
    EXPECT_EQ(object->Error(), error);
  }
}

// Sizes and colours become "00", and a lot or serial key is cleared only for
// its own product type, where the inventory warehouse does not keep them.
TEST_F(DetalleTest, KeysTheWarehouseDoesNotKeepAreCleared) {
  // What the warehouse keeps: sizes, colours, lots, serial numbers; the keys left: size, colour, lot, serial.
  for (const auto& [type, sizes, colours, lots, series, keys] :
       std::initializer_list<std::tuple<const char*, Boolean, Boolean, Boolean, Boolean, std::vector<std::string>>>{
           {"01", 0, 0, 0, 0, {"00", "00", "L1", "SER"}},
           {"02", -1, 0, 0, -1, {"T1", "00", "", "SER"}},
           {"02", 0, 1, -1, 0, {"00", "R1", "L1", "SER"}},
           {"03", -1, -1, -1, 0, {"T1", "R1", "L1", ""}},
           {"03", 0, 0, 0, 1, {"00", "00", "L1", "SER"}}}) {
    GetScript().Lookup("Producto", "Pr_Tipo_Producto", type);
    for (const auto& [what, keeps] :
         {std::pair{"Sizes", sizes}, {"Colours", colours}, {"Lots", lots}, {"Series", series}})
      GetScript().Answer(std::string("Warehouse.Handles") + what, Flag(keeps));
    tApDetalle line = SampleLine();
    line.Lote.Lt_Cve_Lote = "L1";
    line.Serie.Sr_Cve_Serie = "SER";
    object->Detalle(line);
    const tApDetalle got = object->Detalle();
    EXPECT_EQ((std::vector{got.Tl_Cve_Talla, got.Cl_Cve_Color, got.Lote.Lt_Cve_Lote, got.Serie.Sr_Cve_Serie}), keys)
        << type << " " << sizes << colours << lots << series;
  }
}

// A failure is reported under its own id; the steps before it stay and the
// later ones are not run. Arithmetic that cannot be represented is an overflow.
TEST_F(DetalleTest, FailuresAreReportedAndTheStepsBeforeThemStay) {
  const double inf = std::numeric_limits<double>::infinity();
  for (const auto& [failing, quantity, factor, cost, description, type, costAfter] :
       std::initializer_list<std::tuple<const char*, double, double, double, std::string, std::string, double>>{
           {"Warehouse.HandlesSizes", 2, 1, 0, "caido", "", 7},
           {"Warehouse.GetCost", 2, 1, 0, "caido", "01", 7},
           {"", 1e300, 1e10, 0, "Overflow", "01", 7},
           {"", 0, inf, 0, "Overflow", "01", 7},
           {"", 1e200, 1, 1e200, "Overflow", "01", 1e200}}) {
    GetScript().Answer("Catalog.GetUnitFactor", Variant::FromDouble(factor));
    GetScript().Answer("Warehouse.GetCost", Variant::FromDouble(cost));
    if (*failing) ThrowSoon(failing, "caido");
    tApDetalle line = SampleLine(quantity);
    line.Ap_Unidad_1 = "CJA";
    line.Ap_Costo = 7;
    GetScript().reported.clear();
    const int taxBefore = GetScript().Count("Tax.GetTaxFactor");
    object->Detalle(line);
    EXPECT_EQ(GetScript().reported,
              (std::vector<std::pair<std::string, std::string>>{{"ERR-ID:7500003", description}}));
    EXPECT_EQ(GetScript().Count("Tax.GetTaxFactor"), taxBefore);
    EXPECT_EQ(object->Detalle().Producto.Pr_Tipo_Producto, type);
    EXPECT_EQ(object->Detalle().Ap_Costo, costAfter);
  }
}

}  // namespace
}  // namespace apartado::capture_testing
