// Reserving and releasing every stored line of a folio.
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
using testing::kLineColumns;
using testing::LineRow;
using testing::Number;
using testing::Text;

const std::string kApartarTag = "condicionApartadoQZL.dll - Apartar()";
const std::string kDesapartarTag = "condicionApartadoQZL.dll - Desapartar()";

struct Bench {
  Bench() { suite.script().ClearCalls(); }
  // Leaves an error text behind, as an earlier failed operation would.
  std::string FailSomething() {
    object.Desapartar_Producto("S1", "A1", "NOPE", "T1", "C1", 1, 1);
    return object.Error();
  }
  std::vector<std::string> StatementsNaming(const std::string& fragment) {
    std::vector<std::string> found;
    for (const std::string& s : suite.connection().Statements())
      if (s.find(fragment) != std::string::npos) found.push_back(s);
    return found;
  }
  FakeSuite suite;
  Apartado object;
};

TEST(WholeLayaway, FolioWithoutRowsSucceedsAndKeepsTheEarlierError) {
  Bench b;
  const std::string earlier = b.FailSomething();
  ASSERT_FALSE(earlier.empty());
  b.suite.script().ClearCalls();
  EXPECT_EQ(b.object.Apartar("F9"), kTrue);
  const Variant released = b.object.Desapartar("F9");
  EXPECT_EQ(released, Variant::FromBoolean(true));
  EXPECT_EQ(b.object.Error(), earlier);
  EXPECT_EQ(b.suite.script().CallTexts(),
            (std::vector<std::string>{"Session.GetConnection()",
                                      "Connection.Execute(SELECT * FROM Apartado WHERE Ap_Folio = 'F9' )",
                                      "Session.GetConnection()",
                                      "Connection.Execute(SELECT * FROM Apartado WHERE Ap_Folio = 'F9' )"}));
}

TEST(WholeLayaway, FolioIsWrittenVerbatim) {
  Bench b;
  b.object.Apartar("O'Brien 7");
  EXPECT_EQ(b.suite.connection().Statements(),
            std::vector<std::string>{"SELECT * FROM Apartado WHERE Ap_Folio = 'O'Brien 7' "});
}

TEST(WholeLayaway, EachRowPassesItsInventoryKeysAndQuantities) {
  Bench b;
  std::vector<Variant> row = {Text("F1"), Text("HEADER"), Text("S7"), Text("A7"), Text("P1"),
                              Text("T7"), Text("C7"),     Text("4"),  Number(0.5)};
  b.suite.connection().AnswerNext("FROM Apartado", kLineColumns, {row});
  AnswerProduct(b.suite.connection(), "P1", "01");
  EXPECT_EQ(b.object.Apartar("F1"), kTrue);
  EXPECT_EQ(b.suite.script().CallTexts("Warehouse."),
            (std::vector<std::string>{"Warehouse.GetStock(S7, A7, P1, T7, C7, 1, )",
                                      "Warehouse.GetStock(S7, A7, P1, T7, C7, 2, )"}));
  const std::string update = b.suite.connection().Statements().back();
  EXPECT_NE(update.find("Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 - 4, "), std::string::npos);
  EXPECT_NE(update.find("Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - 0.5 WHERE"), std::string::npos);

  b.suite.connection().AnswerNext("FROM Apartado", kLineColumns, {row});
  b.suite.connection().AnswerAlways("FROM Existencia WHERE", {"Ex_Cantidad_Apartado_Control_1",
                                                              "Ex_Cantidad_Apartado_Control_2"},
                                    {{Number(4), Number(0.5)}});
  EXPECT_EQ(b.object.Desapartar("F1"), Variant::FromBoolean(true));
  EXPECT_EQ(b.StatementsNaming("Existencia.Tl_Cve_Talla = 'T7'").size(), 3u);  // B, D, E
}

// The second of three rows is refused: the first keeps its move, the third is
// never read (its quantity would not even convert).
TEST(WholeLayaway, StopsAtTheFirstRefusedRow) {
  struct Case {
    std::string name;
    std::function<Variant(Apartado&)> run;
    std::function<void(Bench&)> arrange;
    std::string firstMove, text;
  };
  const std::vector<Case> cases = {
      {"Apartar", [](Apartado& o) { return Variant::FromInteger(o.Apartar("F1")); },
       [](Bench& b) { b.suite.script().AnswerAt("Warehouse.GetStock", 3, Number(1)); }, "UPDATE Existencia SET",
       kApartarTag +
           "\r\napartadoQZL.dll - Aparta_Producto() \r\nNo hay suficiente existencia en el control-1 para apartar\r\n"
           "sucursal:S1\r\nAlmacén: A1\r\nProducto:P2 - Camisa roja\r\nTalla:T1\r\nColor:C1\r\n"
           "Existencia-control-1:1 -> Apartar-control-1:2\r\nExistencia-control-2:1000 -> Apartar-control-2:1\r\n"},
      {"Desapartar", [](Apartado& o) { return o.Desapartar("F1"); },
       [](Bench& b) {
         b.suite.connection().AnswerNext("FROM Existencia WHERE",
                                         {"Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2"},
                                         {{Number(5), Number(5)}});
       },
       "UPDATE Existencia SET",
       kDesapartarTag +
           "\r\napartadoQZL.dll - Desapartar_Producto() \r\nImposible desapartar el producto actual, no hay registro "
           "de apartado\r\nsucursal:S1\r\nAlmacén: A1\r\nProducto:P2\r\nTalla:T1\r\nColor:C1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    b.suite.connection().AnswerNext("FROM Apartado", kLineColumns,
                                    {LineRow("P1", Number(1), Number(1)), LineRow("P2", Number(2), Number(1)),
                                     LineRow("P3", Text("abc"), Number(1))});
    AnswerProduct(b.suite.connection(), "P1", "01");
    AnswerProduct(b.suite.connection(), "P2", "01");
    AnswerProduct(b.suite.connection(), "P3", "01");
    c.arrange(b);
    const Variant result = c.run(b.object);
    EXPECT_FALSE(result.ToBool());
    EXPECT_EQ(b.object.Error(), c.text);
    const std::vector<std::string> moves = b.StatementsNaming(c.firstMove);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_NE(moves[0].find("'P1'"), std::string::npos);
    EXPECT_TRUE(b.StatementsNaming("'P3'").empty());
  }
}

TEST(WholeLayaway, FailureRaisedInTheWalkCarriesTheOuterTag) {
  struct Case {
    std::string name;
    std::function<void(Bench&)> arrange;
    std::string description;
  };
  const std::vector<Case> cases = {
      {"folio query rejected", [](Bench& b) { b.suite.connection().FailAt(1, "Invalid object name 'Apartado'."); },
       "Invalid object name 'Apartado'."},
      {"connection unavailable", [](Bench& b) { b.suite.script().ThrowAt("Session.GetConnection", 1, "offline"); },
       "offline"},
      {"quantity does not convert",
       [](Bench& b) {
         b.suite.connection().AnswerAlways("FROM Apartado", kLineColumns, {LineRow("P1", Text("x"), Number(1))});
       },
       "Type mismatch"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench reserve;
    c.arrange(reserve);
    EXPECT_EQ(reserve.object.Apartar("F1"), kFalse);
    EXPECT_EQ(reserve.object.Error(), kApartarTag + "\r\n" + c.description);
    EXPECT_TRUE(reserve.StatementsNaming("Producto").empty());

    Bench release;
    c.arrange(release);
    EXPECT_EQ(release.object.Desapartar("F1"), Variant::FromBoolean(false));
    EXPECT_EQ(release.object.Error(), kDesapartarTag + "\r\n" + c.description);
  }
}

// Whatever happens, Desapartar answers a Boolean, never an empty variant or
// a number.
TEST(WholeLayaway, DesapartarAlwaysAnswersABoolean) {
  struct Case {
    std::string name;
    std::function<void(Bench&)> arrange;
    bool released;
  };
  const std::vector<Case> cases = {
      {"no rows", [](Bench&) {}, true},
      {"row released",
       [](Bench& b) {
         b.suite.connection().AnswerNext("FROM Apartado", kLineColumns, {LineRow("P1", Number(1), Number(1))});
         AnswerProduct(b.suite.connection(), "P1", "99");
       },
       true},
      {"row refused",
       [](Bench& b) {
         b.suite.connection().AnswerNext("FROM Apartado", kLineColumns, {LineRow("P1", Number(1), Number(1))});
       },
       false},
      {"failure", [](Bench& b) { b.suite.connection().FailAt(1, "gone"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    c.arrange(b);
    const Variant result = b.object.Desapartar("F1");
    EXPECT_EQ(result.GetKind(), Variant::Kind::Boolean);
    EXPECT_EQ(result.ToBool(), c.released);
  }
}

}  // namespace
}  // namespace apartado
