#include <gtest/gtest.h>

#include "apartado/failure.h"
#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

class SuiteWarehouseTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    warehouse_ = Factory().CreateWarehouseServices();
  }
  void Stock(const char* product, const char* size, double control1, double control2, double average) {
    Insert("Existencia", {{"Sc_Cve_Sucursal", T("01")},
                          {"Al_Cve_Almacen", T("A1")},
                          {"Pr_Cve_Producto", T(product)},
                          {"Tl_Cve_Talla", T(size)},
                          {"Cl_Cve_Color", T("00")},
                          {"Ex_Cantidad_Control_1", N(control1)},
                          {"Ex_Cantidad_Control_2", N(control2)},
                          {"Ex_Costo_Promedio", N(average)}});
  }
  void Product(const char* product, const char* type, const Variant& cost, double tax = 0) {
    Insert("Producto", {{"Pr_Cve_Producto", T(product)},
                        {"Pr_Tipo_Producto", T(type)},
                        {"Pr_Costo", cost},
                        {"Pr_Tasa_Impuesto", N(tax)}});
  }
  void Lot(const char* lot, const Variant& expiry, double free, const char* status = "AC") {
    Insert("Lote", {{"Sc_Cve_Sucursal", T("01")},
                    {"Al_Cve_Almacen", T("A1")},
                    {"Pr_Cve_Producto", T("P2")},
                    {"Tl_Cve_Talla", T("00")},
                    {"Cl_Cve_Color", T("00")},
                    {"Lt_Cve_Lote", T(lot)},
                    {"Lt_Fecha_Caducidad", expiry},
                    {"Lt_Cantidad", N(free)},
                    {"Es_Cve_Estado", T(status)}});
  }
  double StockOf(const char* product, const char* size, int control) {
    return warehouse_->GetStock("01", "A1", product, size, "00", control, "");
  }
  std::shared_ptr<WarehouseServices> warehouse_;
};

TEST_P(SuiteWarehouseTest, CapabilitiesComeFromTheWarehouseRow) {
  Insert("Almacen", {{"Sc_Cve_Sucursal", T("01")},
                     {"Al_Cve_Almacen", T("A1")},
                     {"Al_Maneja_Tallas", Variant::FromLong(1)},
                     {"Al_Maneja_Colores", Variant::FromLong(0)},
                     {"Al_Maneja_Lotes", Variant::FromLong(1)},
                     {"Al_Maneja_Series", Variant::MakeNull()}});
  EXPECT_EQ(warehouse_->HandlesSizes("01", "A1"), kTrue);
  EXPECT_EQ(warehouse_->HandlesColours("01", "A1"), kFalse);
  EXPECT_EQ(warehouse_->HandlesLots("01", "A1"), kTrue);
  EXPECT_EQ(warehouse_->HandlesSeries("01", "A1"), kFalse);
  // The same warehouse key under another branch is another warehouse.
  EXPECT_EQ(warehouse_->HandlesSizes("02", "A1"), kFalse);
  EXPECT_EQ(warehouse_->HandlesLots("01", "A9"), kFalse);
}

TEST_P(SuiteWarehouseTest, StockIsTheAvailableQuantityOfTheControlUnitOrOfTheKit) {
  Product("P1", "01", N(0));
  Product("K1", "04", N(0));
  Stock("P1", "T1", 10.5, 3, 0);
  Stock("K1", "00", 99, 99, 0);  // a kit's plain row is not its stock
  Insert("Existencia_Kit", {{"Sc_Cve_Sucursal", T("01")},
                            {"Al_Cve_Almacen", T("A1")},
                            {"Pr_Cve_Producto", T("K1")},
                            {"Tl_Cve_Talla", T("00")},
                            {"Cl_Cve_Color", T("00")},
                            {"Ek_Cantidad", N(4)}});
  EXPECT_EQ(StockOf("P1", "T1", 1), 10.5);
  EXPECT_EQ(StockOf("P1", "T1", 2), 3);
  EXPECT_EQ(StockOf("P1", "T2", 1), 0);  // no row
  EXPECT_EQ(StockOf("K1", "00", 1), 4);
  EXPECT_EQ(StockOf("K1", "00", 2), 4);
  EXPECT_EQ(StockOf("NO_EXISTE", "00", 1), 0);
  try {
    StockOf("P1", "T1", 3);
    ADD_FAILURE() << "control 3 accepted";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()), "Unidad de control no válida: 3");
  }
}

TEST_P(SuiteWarehouseTest, CostIsTheAverageAboveZeroElseTheProductCostElseZero) {
  Product("P1", "01", N(7.25));
  Product("P2", "01", Variant::MakeNull());
  Stock("P1", "T1", 1, 0, 12.5);
  Stock("P1", "T2", 1, 0, 0);
  Stock("P1", "T3", 1, 0, -3);
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P1", "T1", "00", 5, ""), 12.5);
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P1", "T2", "00", 5, ""), 7.25);
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P1", "T3", "00", 5, ""), 7.25);
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P1", "T9", "00", 5, ""), 7.25);  // no stock row
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P2", "T1", "00", 5, ""), 0);
  EXPECT_EQ(warehouse_->GetCost("01", "A1", "P9", "T1", "00", 5, ""), 0);
}

TEST_P(SuiteWarehouseTest, AutomaticLotIsTheEarliestExpiryThatCoversTheQuantity) {
  Lot("L-SHORT", T("2026-01-01 00:00:00"), 2);
  Lot("L-LATE", T("2026-09-01 00:00:00"), 50);
  Lot("L-EARLY", T("2026-03-01 08:00:00"), 5);
  Lot("L-EARLIER-BA", T("2026-02-01 00:00:00"), 50, "BA");
  Lot("L-NO-EXPIRY", Variant::MakeNull(), 100);
  auto pick = [&](double quantity) { return warehouse_->PickAutomaticLot("01", "A1", "P2", "00", "00", quantity, 0); };
  EXPECT_EQ(pick(2), "L-SHORT");
  EXPECT_EQ(pick(5), "L-EARLY");
  EXPECT_EQ(pick(6), "L-LATE");
  EXPECT_EQ(pick(51), "L-NO-EXPIRY");
  EXPECT_EQ(pick(101), "");
  EXPECT_EQ(warehouse_->PickAutomaticLot("01", "A2", "P2", "00", "00", 1, 0), "");
}

TEST_P(SuiteWarehouseTest, TaxFactorIsTheProductsRateElseZero) {
  Product("P1", "01", N(0), 0.16);
  Product("P2", "01", N(0), 0);
  auto tax = Factory().CreateTaxCalculator();
  EXPECT_EQ(tax->GetTaxFactor("01", "C1", "P1"), 0.16);
  EXPECT_EQ(tax->GetTaxFactor("", "", "P2"), 0);
  EXPECT_EQ(tax->GetTaxFactor("01", "C1", "P9"), 0);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteWarehouseTest);

}  // namespace
}  // namespace apartado
