// Stock moves on a real database through the reference suite: reserving and
// releasing whole layaways and single products, with the available and
// reserved columns of a row always summing to the same quantity.
#include <gtest/gtest.h>

#include <string>

#include "apartado/apartado.h"
#include "component/publico.h"
#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::T;

struct PlainStock {
  double available1, available2, reserved1, reserved2;
  Variant oper, changedAt;
};
struct KitStock {
  double available, reserved;
  Variant oper, changedAt;
};

class StockOnDatabase : public testing::SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    for (const auto& [product, type] :
         {std::pair{"P1", "01"}, {"P2", "02"}, {"P3", "03"}, {"K1", "04"}, {"N5", "05"}, {"N9", "99"}})
      Insert("Producto", {{"Pr_Cve_Producto", T(product)}, {"Pr_Descripcion", T("Art. " + std::string(product))},
                          {"Pr_Tipo_Producto", T(type)}});
    // P2 has a single piece; N5 keeps no stock but has a row all the same.
    for (const auto& [product, quantity] : {std::pair{"P1", 100.0}, {"P2", 1.0}, {"P3", 10.0}, {"N5", 7.0}})
      InsertStock(product, quantity, quantity / 2);
    Insert("Existencia_Kit", {{"Sc_Cve_Sucursal", T("S1")}, {"Al_Cve_Almacen", T("A1")},
                              {"Pr_Cve_Producto", T("K1")}, {"Tl_Cve_Talla", T("00")},
                              {"Cl_Cve_Color", T("00")}, {"Ek_Cantidad", N(20)}});
    DiscardModuleState();
    InstallServiceFactory(factory_);
  }
  void TearDown() override {
    DiscardModuleState();
    InstallServiceFactory(nullptr);
  }

  void InsertStock(const std::string& product, double quantity1, double quantity2) {
    Insert("Existencia", {{"Sc_Cve_Sucursal", T("S1")}, {"Al_Cve_Almacen", T("A1")},
                          {"Pr_Cve_Producto", T(product)}, {"Tl_Cve_Talla", T("00")}, {"Cl_Cve_Color", T("00")},
                          {"Ex_Cantidad_Control_1", N(quantity1)}, {"Ex_Cantidad_Control_2", N(quantity2)}});
  }
  // A stored layaway line of folio F1 whose stock lives in S1/A1.
  void InsertLine(const std::string& id, const std::string& product, double quantity1, double quantity2) {
    Insert("Apartado", {{"Ap_Folio", T("F1")}, {"Ap_ID", T(id)}, {"Sc_Cve_Sucursal", T("S1")},
                        {"Al_Cve_Almacen", T("A1")}, {"Ap_Sucursal_Inventario", T("S1")},
                        {"Ap_Almacen_Inventario", T("A1")}, {"Pr_Cve_Producto", T(product)},
                        {"Tl_Cve_Talla", T("00")}, {"Cl_Cve_Color", T("00")},
                        {"Ap_Cantidad_Control_1", N(quantity1)}, {"Ap_Cantidad_Control_2", N(quantity2)}});
  }

  PlainStock Plain(const std::string& product) {
    TableRecordset r = Db().Query(
        "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Cantidad_Apartado_Control_1, "
        "Ex_Cantidad_Apartado_Control_2, Oper_Ult_Modif, Fecha_Ult_Modif FROM Existencia WHERE Pr_Cve_Producto = :p1",
        {T(product)});
    return {r.Field("Ex_Cantidad_Control_1").ToDouble(), r.Field("Ex_Cantidad_Control_2").ToDouble(),
            r.Field("Ex_Cantidad_Apartado_Control_1").ToDouble(), r.Field("Ex_Cantidad_Apartado_Control_2").ToDouble(),
            r.Field("Oper_Ult_Modif"), r.Field("Fecha_Ult_Modif")};
  }
  KitStock Kit() {
    TableRecordset r = Db().Query(
        "SELECT Ek_Cantidad, Ek_Cantidad_Apartado, Oper_Ult_Modif, Fecha_Ult_Modif FROM Existencia_Kit");
    return {r.Field("Ek_Cantidad").ToDouble(), r.Field("Ek_Cantidad_Apartado").ToDouble(), r.Field("Oper_Ult_Modif"),
            r.Field("Fecha_Ult_Modif")};
  }
};

TEST_P(StockOnDatabase, ReserveAndReleaseKeepTheSumAndStampTheRow) {
  InsertLine("0001", "P1", 3, 1.5);
  Apartado layaway;
  ASSERT_EQ(layaway.Apartar("F1"), kTrue) << layaway.Error();
  PlainStock s = Plain("P1");
  EXPECT_DOUBLE_EQ(s.available1, 97);
  EXPECT_DOUBLE_EQ(s.reserved1, 3);
  EXPECT_DOUBLE_EQ(s.available2, 48.5);
  EXPECT_DOUBLE_EQ(s.reserved2, 1.5);
  EXPECT_EQ(s.oper.ToText(), "OPER1");
  ASSERT_FALSE(s.changedAt.IsNull());
  EXPECT_GT(s.changedAt.ToDate(), MakeDate(2024, 1, 1, 0, 0));

  ASSERT_EQ(layaway.Desapartar("F1"), Variant::FromBoolean(true)) << layaway.Error();
  s = Plain("P1");
  EXPECT_DOUBLE_EQ(s.available1 + s.reserved1, 100);
  EXPECT_DOUBLE_EQ(s.reserved1, 0);
  EXPECT_DOUBLE_EQ(s.available2 + s.reserved2, 50);
  EXPECT_DOUBLE_EQ(s.reserved2, 0);
  EXPECT_EQ(layaway.Error(), "");
}

TEST_P(StockOnDatabase, KitMovesOnlyItsSingleQuantity) {
  InsertLine("0001", "K1", 2, 999);
  Apartado layaway;
  ASSERT_EQ(layaway.Apartar("F1"), kTrue) << layaway.Error();
  KitStock k = Kit();
  EXPECT_DOUBLE_EQ(k.available, 18);
  EXPECT_DOUBLE_EQ(k.reserved, 2);
  EXPECT_EQ(k.oper.ToText(), "OPER1");
  EXPECT_FALSE(k.changedAt.IsNull());
  ASSERT_EQ(layaway.Desapartar_Producto("S1", "A1", "K1", "00", "00", 2, 999), kTrue) << layaway.Error();
  k = Kit();
  EXPECT_DOUBLE_EQ(k.available, 20);
  EXPECT_DOUBLE_EQ(k.reserved, 0);
}

TEST_P(StockOnDatabase, TypesWithoutStockMoveNothing) {
  InsertLine("0001", "N5", 2, 1);
  InsertLine("0002", "N9", 2, 1);
  Apartado layaway;
  ASSERT_EQ(layaway.Apartar("F1"), kTrue) << layaway.Error();
  ASSERT_EQ(layaway.Desapartar("F1"), Variant::FromBoolean(true)) << layaway.Error();
  const PlainStock s = Plain("N5");
  EXPECT_DOUBLE_EQ(s.available1, 7);
  EXPECT_DOUBLE_EQ(s.reserved1, 0);
  EXPECT_TRUE(s.oper.IsNull());
  EXPECT_TRUE(s.changedAt.IsNull());
}

TEST_P(StockOnDatabase, SecondRowShortLeavesTheFirstReservedAndTheThirdUntouched) {
  InsertLine("0001", "P1", 2, 1);
  InsertLine("0002", "P2", 5, 0);  // only one piece of P2
  InsertLine("0003", "P3", 1, 1);
  Apartado layaway;
  EXPECT_EQ(layaway.Apartar("F1"), kFalse);
  EXPECT_EQ(layaway.Error(),
            "condicionApartadoQZL.dll - Apartar()\r\napartadoQZL.dll - Aparta_Producto() \r\n"
            "No hay suficiente existencia en el control-1 para apartar\r\nsucursal:S1\r\nAlmacén: A1\r\n"
            "Producto:P2 - Art. P2\r\nTalla:00\r\nColor:00\r\n"
            "Existencia-control-1:1 -> Apartar-control-1:5\r\nExistencia-control-2:0.5 -> Apartar-control-2:0\r\n");
  EXPECT_DOUBLE_EQ(Plain("P1").reserved1, 2);
  EXPECT_DOUBLE_EQ(Plain("P2").reserved1, 0);
  EXPECT_TRUE(Plain("P2").oper.IsNull());
  EXPECT_DOUBLE_EQ(Plain("P3").available1, 10);
  EXPECT_TRUE(Plain("P3").oper.IsNull());
}

// Quantities read back from the stock row appear in the refusal texts in
// the general number form whatever type the backend stores them as.
TEST_P(StockOnDatabase, ReleaseRefusalsQuoteStoredQuantities) {
  Apartado layaway;
  EXPECT_EQ(layaway.Desapartar_Producto("S1", "A1", "P1", "00", "00", 1, 0), kFalse);
  EXPECT_EQ(layaway.Error(),
            "apartadoQZL.dll - Desapartar_Producto() \r\nNo hay suficiente existencia apartada en el Control-1\r\n"
            "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1\r\nTalla:00\r\nColor:00\r\n"
            "EXISTENCIA-APARTADA-CONTROL-1:0 -> DESAPARTAR-CONTROL-1:1\r\n"
            "EXISTENCIA-APARTADA-CONTROL-2:0 -> DESAPARTAR-CONTROL-2:0\r\n");
  EXPECT_EQ(layaway.Desapartar_Producto("S1", "A2", "P1", "00", "00", 0, 0), kFalse);
  EXPECT_EQ(layaway.Error(),
            "apartadoQZL.dll - Desapartar_Producto() \r\nImposible desapartar el producto actual, no hay registro de "
            "apartado\r\nsucursal:S1\r\nAlmacén: A2\r\nProducto:P1\r\nTalla:00\r\nColor:00\r\n");
  EXPECT_DOUBLE_EQ(Plain("P1").available1, 100);
}

APARTADO_INSTANTIATE_BACKENDS(StockOnDatabase);

}  // namespace
}  // namespace apartado
