// Reserving and releasing the stock of one product. The private reservation is
// reached through Apartar with a folio of one stored line (S1/A1/P1/T1/C1), so
// its texts arrive behind the walk's own tag.
#include <gtest/gtest.h>

#include <functional>

#include "apartado/apartado.h"
#include "component/publico.h"
#include "stock_rows.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::AnswerProduct;
using testing::FakeSuite;
using testing::LineRow;
using testing::Number;
using testing::Text;

const std::string kFolioQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' ";
const std::string kStatementA =
    "SELECT    Pr_Cve_Producto,    Pr_Tipo_Producto,    Pr_Descripcion FROM Producto WHERE    Pr_Cve_Producto = "
    "'P1' ";
// Quantities 2.5 and 0.75, operator OPER.
const std::string kStatementB =
    "UPDATE Existencia SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    "
    "Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 + 2.5,    Ex_Cantidad_Apartado_Control_2 = "
    "Ex_Cantidad_Apartado_Control_2 + 0.75,    Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 - 2.5,    "
    "Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - 0.75 WHERE    Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND     Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND     Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementC =
    "UPDATE Existencia_Kit SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    Ek_Cantidad_Apartado "
    "= Ek_Cantidad_Apartado + 2.5,    Ek_Cantidad = Ek_Cantidad - 2.5  WHERE    Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND     Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND     Existencia_Kit.Cl_Cve_Color = 'C1' ";
const std::string kStatementD =
    "SELECT    Ex_Cantidad_Control_1,    Ex_Cantidad_Control_2,    Ex_Cantidad_Apartado_Control_1,    "
    "Ex_Cantidad_Apartado_Control_2 FROM Existencia WHERE   Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND    Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND    Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementE =
    "UPDATE Existencia SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    "
    "Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 - 2.5,    Ex_Cantidad_Apartado_Control_2 = "
    "Ex_Cantidad_Apartado_Control_2 - 0.75,    Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 + 2.5,    "
    "Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 + 0.75 WHERE    Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND    Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND     Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementF =
    "SELECT    Ek_Cantidad,    Ek_Cantidad_Apartado FROM Existencia_Kit WHERE   Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND    Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND    Existencia_Kit.Cl_Cve_Color = 'C1' ";
const std::string kStatementG =
    "UPDATE Existencia_Kit SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    Ek_Cantidad_Apartado "
    "= Ek_Cantidad_Apartado - 2.5,    Ek_Cantidad = Ek_Cantidad + 2.5 WHERE    Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND    Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND     Existencia_Kit.Cl_Cve_Color = 'C1' ";

const std::string kWalk = "condicionApartadoQZL.dll - Apartar()\r\n";
const std::string kReserveTag = "apartadoQZL.dll - Aparta_Producto() ";
const std::string kReleaseTag = "apartadoQZL.dll - Desapartar_Producto() ";
const std::string kReleaseLookupTag = "apartadoQZL.dll - Desaparta_Producto() ";
const std::string kPlaceWithDescription =
    "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1 - Camisa roja\r\nTalla:T1\r\nColor:C1\r\n";
const std::string kPlace = "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1\r\nTalla:T1\r\nColor:C1\r\n";

// One object over fresh fakes, its start-up calls already forgotten.
struct Bench {
  Bench() { suite.script().ClearCalls(); }

  // Folio F1 holds one line of P1 with these quantities, P1 has this type and
  // the warehouse service answers stock1 and stock2.
  void StoreLine(const std::string& type, double quantity1 = 2.5, double quantity2 = 0.75, double stock1 = 1000,
                 double stock2 = 1000) {
    connection().AnswerNext("FROM Apartado", testing::kLineColumns,
                            {LineRow("P1", Number(quantity1), Number(quantity2))});
    AnswerProduct(connection(), "P1", type);
    script().AnswerAt("Warehouse.GetStock", 1, Number(stock1));
    script().AnswerAt("Warehouse.GetStock", 2, Number(stock2));
  }
  // The plain product's stock row holds these reserved quantities.
  void AnswerReserved(Variant reserved1, Variant reserved2) {
    connection().AnswerAlways("FROM Existencia WHERE",
                              {"Ex_Cantidad_Control_1", "Ex_Cantidad_Control_2", "Ex_Cantidad_Apartado_Control_1",
                               "Ex_Cantidad_Apartado_Control_2"},
                              {{Number(50), Number(50), std::move(reserved1), std::move(reserved2)}});
  }
  void AnswerReservedKit(Variant reserved) {
    connection().AnswerAlways("FROM Existencia_Kit WHERE", {"Ek_Cantidad", "Ek_Cantidad_Apartado"},
                              {{Number(50), std::move(reserved)}});
  }
  Boolean Release(double quantity1 = 2.5, double quantity2 = 0.75, const std::string& series = "") {
    return object.Desapartar_Producto("S1", "A1", "P1", "T1", "C1", quantity1, quantity2, series);
  }

  testing::FakeConnection& connection() { return suite.connection(); }
  testing::Script& script() { return suite.script(); }
  const std::vector<std::string>& Statements() { return suite.connection().Statements(); }

  FakeSuite suite;
  Apartado object;
};

// --- Reservation ---

TEST(ReserveProduct, PlainProductAsksServicesInOrder) {
  Bench b;
  b.StoreLine("01");
  EXPECT_EQ(b.object.Apartar("F1"), kTrue);
  EXPECT_EQ(b.script().CallTexts(),
            (std::vector<std::string>{
                "Session.GetConnection()", "Connection.Execute(" + kFolioQuery + ")", "Session.GetConnection()",
                "Connection.Execute(" + kStatementA + ")", "Warehouse.GetStock(S1, A1, P1, T1, C1, 1, )",
                "Warehouse.GetStock(S1, A1, P1, T1, C1, 2, )", "Session.GetOperator()", "Session.GetConnection()",
                "Connection.Execute(" + kStatementB + ")"}));
  EXPECT_EQ(b.object.Error(), "");
}

TEST(ReserveProduct, DispatchesOnTheProductType) {
  struct Case {
    std::string type;
    std::vector<std::string> statementsAfterLookup;
  };
  const std::vector<Case> cases = {{"01", {kStatementB}}, {"02", {kStatementB}}, {"03", {kStatementB}},
                                   {"04", {kStatementC}}, {"05", {}},            {"99", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + c.type);
    Bench b;
    b.StoreLine(c.type);
    EXPECT_EQ(b.object.Apartar("F1"), kTrue);
    std::vector<std::string> expected = {kFolioQuery, kStatementA};
    expected.insert(expected.end(), c.statementsAfterLookup.begin(), c.statementsAfterLookup.end());
    EXPECT_EQ(b.Statements(), expected);
    // Stock is asked in both units even where the type keeps none.
    EXPECT_EQ(b.script().Count("Warehouse.GetStock"), 2);
  }
}

TEST(ReserveProduct, RefusesATypeOutsideTheTable) {
  Bench b;
  b.StoreLine("06");
  EXPECT_EQ(b.object.Apartar("F1"), kFalse);
  EXPECT_EQ(b.object.Error(), kWalk + kReserveTag + "\r\nEl tipo de producto:06, no está programado!!!");
  EXPECT_EQ(b.Statements(), (std::vector<std::string>{kFolioQuery, kStatementA}));
  EXPECT_EQ(b.script().Count("Warehouse.GetStock"), 2);
}

TEST(ReserveProduct, RefusesAnUnknownProductWithoutAskingForStock) {
  Bench b;
  b.connection().AnswerNext("FROM Apartado", testing::kLineColumns, {LineRow("P1", Number(1), Number(1))});
  EXPECT_EQ(b.object.Apartar("F1"), kFalse);
  EXPECT_EQ(b.object.Error(), kWalk + kReserveTag + "\r\nEl código del producto es incorrecto");
  EXPECT_EQ(b.script().Count("Warehouse.GetStock"), 0);
  EXPECT_EQ(b.Statements().size(), 2u);
}

TEST(ReserveProduct, QuantityEqualToTheStockIsReserved) {
  Bench plain;
  plain.StoreLine("01", 2.5, 0.75, 2.5, 0.75);
  EXPECT_EQ(plain.object.Apartar("F1"), kTrue);
  EXPECT_EQ(plain.Statements().back(), kStatementB);
  // A kit tests and moves only its single quantity.
  Bench kit;
  kit.StoreLine("04", 2.5, 1e6, 2.5, 0);
  EXPECT_EQ(kit.object.Apartar("F1"), kTrue);
  EXPECT_EQ(kit.Statements().back(), kStatementC);
}

TEST(ReserveProduct, ShortStockTextsQuoteTheLineAndBothUnits) {
  struct Case {
    std::string name, type;
    double stock1, stock2;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"both units short: control 1 reported", "02", 2, 0.5,
       "No hay suficiente existencia en el control-1 para apartar\r\n" + kPlaceWithDescription +
           "Existencia-control-1:2 -> Apartar-control-1:2.5\r\nExistencia-control-2:0.5 -> Apartar-control-2:0.75\r\n"},
      {"control 2 short", "01", 10, 0.5,
       "No hay suficiente existencia en el Control-2 para apartar\r\n" + kPlaceWithDescription +
           "Existencia-control-1:10 -> Apartar-control-1:2.5\r\nExistencia-control-2:0.5 -> Apartar-control-2:0.75\r\n"},
      {"kit short", "04", 2.25, 1e6,
       "No hay suficiente existencia en el kit para apartar\r\n" + kPlaceWithDescription +
           "EXISTENCIA:2.25 -> APARTAR:2.5\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    b.StoreLine(c.type, 2.5, 0.75, c.stock1, c.stock2);
    EXPECT_EQ(b.object.Apartar("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kWalk + kReserveTag + "\r\n" + c.text);
    EXPECT_EQ(b.Statements().size(), 2u);  // no update
    EXPECT_EQ(b.script().Count("Session.GetOperator"), 0);
  }
}

TEST(ReserveProduct, NegativeQuantityPassesAndMovesStockBack) {
  Bench b;
  b.StoreLine("01", -3, -1, 0, 0);
  EXPECT_EQ(b.object.Apartar("F1"), kTrue);
  EXPECT_NE(b.Statements().back().find("Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 + -3, "),
            std::string::npos);
}

TEST(ReserveProduct, FailuresCarryItsTagAndOneLineBreak) {
  struct Case {
    std::string name, type;
    std::function<void(Bench&)> arrange;
    std::string description, sqlTextLeft;
  };
  const std::vector<Case> cases = {
      {"product look-up rejected", "01", [](Bench& b) { b.connection().FailAt(2, "Invalid column name"); },
       "Invalid column name", kStatementA},
      {"stock service fails", "01", [](Bench& b) { b.script().ThrowAt("Warehouse.GetStock", 2, "no stock"); },
       "no stock", kStatementA},
      // The operator is asked once the first piece of the update is written.
      {"operator unknown, plain", "03", [](Bench& b) { b.script().ThrowAt("Session.GetOperator", 1, "no op"); },
       "no op", "UPDATE Existencia SET "},
      {"operator unknown, kit", "04", [](Bench& b) { b.script().ThrowAt("Session.GetOperator", 1, "no op"); },
       "no op", "UPDATE Existencia_Kit SET "},
      {"update rejected", "01", [](Bench& b) { b.connection().FailAt(3, "deadlock victim"); }, "deadlock victim",
       kStatementB},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    b.StoreLine(c.type);
    c.arrange(b);
    EXPECT_EQ(b.object.Apartar("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kWalk + kReserveTag + "\r\n" + c.description);
    EXPECT_EQ(Publico().SqlText, c.sqlTextLeft);
  }
}

TEST(ReserveProduct, SuccessLeavesAnEarlierErrorInPlace) {
  Bench b;
  EXPECT_EQ(b.Release(), kFalse);  // no product row
  const std::string earlier = b.object.Error();
  ASSERT_EQ(earlier, kReleaseLookupTag + "\r\nEl código del producto es incorrecto");
  b.StoreLine("01");
  EXPECT_EQ(b.object.Apartar("F1"), kTrue);
  EXPECT_EQ(b.object.Error(), earlier);
  b.AnswerReserved(Number(10), Number(10));
  EXPECT_EQ(b.Release(), kTrue);
  EXPECT_EQ(b.object.Error(), earlier);
}

// --- Release ---

TEST(ReleaseProduct, PlainProductAsksServicesInOrder) {
  Bench b;
  AnswerProduct(b.connection(), "P1", "02");
  b.AnswerReserved(Number(2.5), Number(0.75));  // exactly what is released
  EXPECT_EQ(b.Release(), kTrue);
  EXPECT_EQ(b.script().CallTexts(),
            (std::vector<std::string>{"Session.GetConnection()", "Connection.Execute(" + kStatementA + ")",
                                      "Session.GetConnection()", "Connection.Execute(" + kStatementD + ")",
                                      "Session.GetOperator()", "Session.GetConnection()",
                                      "Connection.Execute(" + kStatementE + ")"}));
}

TEST(ReleaseProduct, KitMovesOnlyItsSingleQuantity) {
  Bench b;
  AnswerProduct(b.connection(), "P1", "04");
  b.AnswerReservedKit(Text("2.5"));
  EXPECT_EQ(b.Release(2.5, 1e6), kTrue);
  EXPECT_EQ(b.Statements(), (std::vector<std::string>{kStatementA, kStatementF, kStatementG}));
  EXPECT_EQ(b.script().Count("Warehouse.GetStock"), 0);
}

TEST(ReleaseProduct, TypeWithoutStockRunsOnlyTheLookUp) {
  for (const std::string type : {"05", "99"}) {
    SCOPED_TRACE(type);
    Bench b;
    AnswerProduct(b.connection(), "P1", type);
    EXPECT_EQ(b.Release(), kTrue);
    EXPECT_EQ(b.Statements(), std::vector<std::string>{kStatementA});
  }
}

TEST(ReleaseProduct, SeriesIsAcceptedAndIgnored) {
  Bench b;
  AnswerProduct(b.connection(), "P1", "01");
  b.AnswerReserved(Number(10), Number(10));
  EXPECT_EQ(b.Release(2.5, 0.75, "SER-001"), kTrue);
  EXPECT_EQ(b.Statements(), (std::vector<std::string>{kStatementA, kStatementD, kStatementE}));
}

TEST(ReleaseProduct, RefusalTexts) {
  struct Case {
    std::string name, type;
    std::function<void(Bench&)> arrange;
    double quantity1, quantity2;
    std::string text;
    std::size_t statements;
  };
  const std::vector<Case> cases = {
      {"product not found", "", [](Bench&) {}, 2.5, 0.75,
       kReleaseLookupTag + "\r\nEl código del producto es incorrecto", 1},
      {"type not listed", "06", [](Bench&) {}, 2.5, 0.75,
       kReleaseLookupTag + "\r\nEl tipo de producto:06, no está programado!!!", 1},
      {"no stock row, plain", "01", [](Bench&) {}, 0, 0,
       kReleaseTag + "\r\nImposible desapartar el producto actual, no hay registro de apartado\r\n" + kPlace, 2},
      {"no stock row, kit", "04", [](Bench&) {}, 0, 0,
       kReleaseTag + "\r\nImposible desapartar el producto actual, no hay registro de apartado\r\n" + kPlace, 2},
      {"control 1 short whatever control 2", "01", [](Bench& b) { b.AnswerReserved(Number(2), Number(0.5)); }, 2.5,
       0.75,
       kReleaseTag + "\r\nNo hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
           "EXISTENCIA-APARTADA-CONTROL-1:2 -> DESAPARTAR-CONTROL-1:2.5\r\n"
           "EXISTENCIA-APARTADA-CONTROL-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n",
       2},
      {"control 2 short", "03", [](Bench& b) { b.AnswerReserved(Number(10), Number(0.5)); }, 2.5, 0.75,
       kReleaseTag + "\r\nNo hay suficiente existencia apartada en el Control-2 para desapartar\r\n" + kPlace +
           "Existencia-control-1:10 -> DESAPARTAR-CONTROL-1:2.5\r\n"
           "Existencia-control-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n",
       2},
      // The kit text stops right after the asked quantity.
      {"kit short", "04", [](Bench& b) { b.AnswerReservedKit(Number(1.5)); }, 2.5, 0,
       kReleaseTag + "\r\nNo hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
           "EXISTENCIA-APARTADA:1.5 -> DESAPARTAR:2.5",
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    if (!c.type.empty()) AnswerProduct(b.connection(), "P1", c.type);
    c.arrange(b);
    EXPECT_EQ(b.Release(c.quantity1, c.quantity2), kFalse);
    EXPECT_EQ(b.object.Error(), c.text);
    EXPECT_EQ(b.Statements().size(), c.statements);
    EXPECT_EQ(b.script().Count("Session.GetOperator"), 0);
  }
}

TEST(ReleaseProduct, FailuresUseTheReleaseTag) {
  struct Case {
    std::string name, type;
    std::function<void(Bench&)> arrange;
    std::string description, sqlTextLeft;
  };
  const std::vector<Case> cases = {
      {"look-up rejected", "01", [](Bench& b) { b.connection().FailAt(1, "Login failed"); }, "Login failed",
       kStatementA},
      {"reserved quantity not a number", "01", [](Bench& b) { b.AnswerReserved(Text("abc"), Number(1)); },
       "Type mismatch", kStatementD},
      {"reserved kit quantity null", "04", [](Bench& b) { b.AnswerReservedKit(Variant::MakeNull()); },
       "Invalid use of Null", kStatementF},
      {"operator unknown", "01",
       [](Bench& b) {
         b.AnswerReserved(Number(10), Number(10));
         b.script().ThrowAt("Session.GetOperator", 1, "no op");
       },
       "no op", "UPDATE Existencia SET "},
      {"kit update rejected", "04",
       [](Bench& b) {
         b.AnswerReservedKit(Number(10));
         b.connection().FailAt(3, "timeout");
       },
       "timeout", kStatementG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    AnswerProduct(b.connection(), "P1", c.type);
    c.arrange(b);
    EXPECT_EQ(b.Release(), kFalse);
    EXPECT_EQ(b.object.Error(), kReleaseTag + "\r\n" + c.description);
    EXPECT_EQ(Publico().SqlText, c.sqlTextLeft);
  }
}

}  // namespace
}  // namespace apartado
