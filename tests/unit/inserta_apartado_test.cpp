#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

using InsertTest = CaptureTest;

const std::string kInsertTag = "ApartadosQZL.dll - Inserta_Apartado()\r\n";
const std::string kNoLot = kInsertTag + "Debe especificar los lotes a descargar";
const std::string kReserveTag = "apartadoQZL.dll - Aparta_Producto() \r\n";
const std::string kNewSeries = "Factory.CreateSeriesAssignment()";
const std::string kNewLot = "Factory.CreateLotAssignment()";
const std::string kPick = "Warehouse.PickAutomaticLot(S1, W1, P1, 00, 00, 2, 0.5)";

std::string Series(const std::string& args) {
  return "Series.AssignSeries(APARTADO, A0000001, 0001, P1, 00, 00, " + args + ")";
}
std::string Lot(const std::string& args) { return "Lot.AssignLot(APARTADO, A0000001, 0001, P1, 00, 00, " + args + ")"; }

// What follows the row for a product of type 02 (lots) or 03 (serial numbers):
// the serial number or lot, then the reservation. The row stays whatever
// happens after it.
struct Step {
  const char* name;
  std::string type;
  bool keeps, automatic;  // the warehouse keeps lots or series; a missing lot may be picked
  std::function<void(InsertTest&, tApDetalle&)> arrange;
  std::vector<std::string> assignments;  // the calls between the row and the reservation
  std::string error = "";                // empty: stored, and reserved unless told not to
  std::string lot = "";                  // the lot key the line holds afterwards
};

class InsertStepTest : public CaptureTest, public ::testing::WithParamInterface<Step> {};

TEST_P(InsertStepTest, RecordsTheSerialOrLotThenReserves) {
  const Step& c = GetParam();
  GetScript().Lookup("Producto", "Pr_Tipo_Producto", c.type);
  GetScript().Answer(c.type == "02" ? "Warehouse.HandlesLots" : "Warehouse.HandlesSeries", Flag(c.keeps ? kTrue : 0));
  Publico().AutomaticLots = c.automatic ? kTrue : kFalse;
  Begin();
  tApDetalle line = SampleLine();
  if (c.arrange) c.arrange(*this, line);
  EXPECT_EQ(Add(line), c.error.empty() ? kTrue : kFalse);
  EXPECT_EQ(object->Error(), c.error);
  std::vector<std::string> calls = ShortCalls(GetScript());
  calls.erase(calls.begin(), std::find(calls.begin(), calls.end(), "Connection.Execute(INSERT)") + 1);
  calls.erase(std::find(calls.begin(), calls.end(), "Session.GetConnection()"), calls.end());
  EXPECT_EQ(calls, c.assignments);
  const bool reserved = GetConnection().Statements().back().starts_with("UPDATE");
  EXPECT_EQ(reserved, c.error.empty() && object->Apartar_Productos());
  EXPECT_EQ(Inserts().size(), 1u);
  EXPECT_EQ(object->Detalle().Lote.Lt_Cve_Lote, c.lot);
}

void NotReserving(InsertTest& t, tApDetalle&) { t.object->Apartar_Productos(kFalse); }
void HalfSerials(InsertTest&, tApDetalle& d) {
  d.Ap_Cantidad_1 = 3.5;
  d.Serie = {"SR-1", "PED-S", MakeDate(2025, 11, 30), {}};
}
void TooManySerials(InsertTest&, tApDetalle& d) { d.Ap_Cantidad_1 = 40000; }
void SerialRefused(InsertTest& t, tApDetalle&) {
  t.GetScript().Answer("Series.AssignSeries", Flag(1));  // only -1 counts as true
  t.GetScript().Answer("Series.GetErrorText", Text("serie ya asignada"));
}
void LotGiven(InsertTest&, tApDetalle& d) { d.Lote.Lt_Cve_Lote = "L-9"; }
// Sold in boxes of 12 from another warehouse.
void LotPickedForBoxes(InsertTest& t, tApDetalle& d) {
  t.GetScript().Answer("Warehouse.PickAutomaticLot", Text("L-AUTO"));
  t.GetScript().Answer("Catalog.GetUnitFactor", Variant::FromDouble(12));
  d.Ap_Unidad_1 = "CJA", d.Ap_Sucursal_Inventario = "S2", d.Ap_Almacen_Inventario = "W2";
}
void LotRefused(InsertTest& t, tApDetalle&) {
  t.GetScript().Answer("Warehouse.PickAutomaticLot", Text("L-AUTO"));
  t.GetScript().Answer("Lot.AssignLot", Flag(1));
  t.GetScript().Answer("Lot.GetErrorText", Text("lote agotado"));
}
void ProductRowMissing(InsertTest& t, tApDetalle&) {
  t.GetConnection().AnswerNext("FROM Producto", {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"}, {});
}

const std::string kEmptySerial = Series(", , 1899-12-30 00:00:00, 2");

// clang-format off
const Step kSteps[] = {
    {"NotReservingRecordsNoSerial", "03", true, false, NotReserving, {}},
    {"WarehouseWithoutLots", "02", false, true, {}, {}},
    {"WarehouseWithoutSeries", "03", false, false, {}, {}},
    {"SerialCountRoundsHalvesToEven", "03", true, false, HalfSerials,
     {kNewSeries, Series("SR-1, PED-S, 2025-11-30 00:00:00, 4")}},
    {"SerialCountOverflows", "03", true, false, TooManySerials, {kNewSeries}, kInsertTag + "\r\nOverflow"},
    // An empty serial key is handed over as it is.
    {"SerialRefusalIsTheComponentsTextAlone", "03", true, false, SerialRefused,
     {kNewSeries, kEmptySerial, "Series.GetErrorText()"}, "serie ya asignada"},
    {"GivenLotIsNotPicked", "02", true, true, LotGiven, {kNewLot, Lot("L-9, 2, 0.5")}, "", "L-9"},
    // Picked in the header's warehouse for the sale quantity; assigned in control units.
    {"AutomaticLot", "02", true, true, LotPickedForBoxes, {kPick, kNewLot, Lot("L-AUTO, 24, 0.5")}, "", "L-AUTO"},
    {"MissingLot", "02", true, false, {}, {}, kNoLot},
    {"NoLotToPick", "02", true, true, {}, {kPick}, kNoLot},
    {"LotRefusalIsTaggedAndThePickedLotStays", "02", true, true, LotRefused,
     {kPick, kNewLot, Lot("L-AUTO, 2, 0.5"), "Lot.GetErrorText()"}, kInsertTag + "lote agotado", "L-AUTO"},
    // The serial number stays recorded when the reservation refuses.
    {"ReservationRefusalIsTaggedTwice", "03", true, false, ProductRowMissing,
     {kNewSeries, kEmptySerial}, kInsertTag + kReserveTag + "El código del producto es incorrecto"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(EachCase, InsertStepTest, ::testing::ValuesIn(kSteps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InsertTest, LotGetsAbsoluteQuantitiesWhileTheReservationGetsThemSigned) {
  GetScript().Lookup("Producto", "Pr_Tipo_Producto", "02");
  GetScript().Answer("Warehouse.HandlesLots", Flag(kTrue));
  Begin();
  tApDetalle line = SampleLine();
  line.Lote.Lt_Cve_Lote = "L-9";
  ASSERT_EQ(Add(line), kTrue) << object->Error();
  // No public path stores negative quantities; set them on the line directly.
  ApartadoTestAccess::Line(*object).Ap_Cantidad_Control_1 = -3;
  ApartadoTestAccess::Line(*object).Ap_Cantidad_Control_2 = -0.5;
  GetScript().ClearCalls();
  ASSERT_EQ(ApartadoTestAccess::Inserta_Apartado(*object), kTrue) << object->Error();
  EXPECT_EQ(GetScript().CallTexts("Lot.AssignLot"), std::vector<std::string>{Lot("L-9, 3, 0.5")});
  const std::string update = GetConnection().Statements().back();
  EXPECT_NE(update.find("Ex_Cantidad_Apartado_Control_1 + -3, "), std::string::npos) << update;
  EXPECT_NE(update.find("Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - -0.5 "), std::string::npos) << update;
}

// A run-time failure ends the insertion at once: nothing runs after it.
TEST_F(InsertTest, RunTimeFailuresCarryTheTagAndTwoLineBreaks) {
  GetScript().Lookup("Producto", "Pr_Tipo_Producto", "02");
  GetScript().Answer("Warehouse.HandlesLots", Flag(kTrue));
  GetScript().Answer("Lot.AssignLot", Flag(kFalse));
  Publico().AutomaticLots = kTrue;
  // The second operator is the one of column 52; the lot's text is asked after a refusal.
  for (const auto& [failing, call, inserts] :
       {std::tuple{"Session.GetOperator", 2, 0u}, std::tuple{"Catalog.FormatDateForSql", 3, 0u},
        std::tuple{"Session.GetConnection", 1, 0u}, std::tuple{"Connection.Execute", 1, 1u},
        std::tuple{"Factory.CreateLotAssignment", 1, 1u}, std::tuple{"Lot.GetErrorText", 1, 1u},
        std::tuple{"Warehouse.PickAutomaticLot", 1, 1u}}) {
    ThrowSoon(failing, "componente caido", call);
    Begin();
    tApDetalle line = SampleLine();
    if (std::string(failing) != "Warehouse.PickAutomaticLot") line.Lote.Lt_Cve_Lote = "L-1";
    const std::size_t before = Inserts().size();
    EXPECT_EQ(Add(line), kFalse) << failing;
    EXPECT_EQ(object->Error(), kInsertTag + "\r\ncomponente caido") << failing;
    EXPECT_EQ(Inserts().size() - before, inserts) << failing;  // INSERT statements sent
    EXPECT_EQ(GetScript().Calls().back().operation, failing);
  }
}

}  // namespace
}  // namespace apartado::capture_testing
