#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::FakeSuite;
using Texts = std::vector<std::string>;

const std::string kTag = "condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()\r\n";

const std::string kGrouped =
    "   Cliente.Cl_Tipo_Cuenta,    Cliente.Cl_Dias_Credito,    Cliente.Cl_Limite_Credito,    "
    "Cliente.Cc_Cve_Cadena_Comercial,    Cliente.Gc_Cve_Grupo_Comercial,    Apartado.Ap_Folio,    "
    "Apartado.Ap_Fecha,    Apartado.Ap_Comentario,    Apartado.Sc_Cve_Sucursal,    Apartado.Cl_Cve_Cliente,    "
    "Apartado.Ap_Referencia, ";
const std::string kTotalsQuery =
    "SELECT " + kGrouped +
    "   Mn_Cve_Moneda,    Ap_Tipo_Cambio,    SUM(Apartado.Ap_Precio_Descontado_Importe - "
    "Apartado.Ap_Descuento_Global_Importe ) as Ap_Precio_Descontado_Importe,    SUM(Apartado.Ap_Impuesto_Importe) "
    "as Ap_Impuesto_Importe,    SUM(Apartado.Ap_Precio_Neto_Importe) as Ap_Precio_Neto_Importe FROM Apartado   "
    "INNER JOIN Cliente ON Apartado.Cl_Cve_Cliente = Cliente.Cl_Cve_Cliente WHERE    Ap_Folio = 'F1' GROUP BY " +
    kGrouped + "   Mn_Cve_Moneda,    Ap_Tipo_Cambio ";

const std::vector<std::string> kColumns = {"Cl_Tipo_Cuenta",
                                           "Cl_Dias_Credito",
                                           "Cl_Limite_Credito",
                                           "Cc_Cve_Cadena_Comercial",
                                           "Gc_Cve_Grupo_Comercial",
                                           "Ap_Folio",
                                           "Ap_Fecha",
                                           "Ap_Comentario",
                                           "Sc_Cve_Sucursal",
                                           "Cl_Cve_Cliente",
                                           "Ap_Referencia",
                                           "Mn_Cve_Moneda",
                                           "Ap_Tipo_Cambio",
                                           "Ap_Precio_Descontado_Importe",
                                           "Ap_Impuesto_Importe",
                                           "Ap_Precio_Neto_Importe"};

Variant T(const std::string& s) { return Variant::FromText(s); }
Variant D(double d) { return Variant::FromDouble(d); }

// One grouped row as the database answers it: the sums are already made.
std::vector<Variant> Totals(Variant date, Variant creditDays, Variant subtotal = D(160), Variant tax = D(28),
                            Variant total = D(188)) {
  return {T("CR"),
          std::move(creditDays),
          D(5000),
          T("CAD1"),
          T("GRP1"),
          T("F1"),
          std::move(date),
          T("Coment"),
          T("S1"),
          T("C1"),
          T("Ref"),
          T("MXN"),
          D(1),
          std::move(subtotal),
          std::move(tax),
          std::move(total)};
}
Variant March10At1530() { return Variant::FromDate(MakeDate(2026, 3, 10, 15, 30)); }

class GeneraCuentaXCobrar : public ::testing::Test {
 protected:
  GeneraCuentaXCobrar() { suite.script().ClearCalls(); }
  void Answer(std::vector<std::vector<Variant>> rows) {
    suite.connection().AnswerNext("GROUP BY", kColumns, std::move(rows));
  }
  const ReceivableHeader& Handed() const { return *suite.factory->lastReceivable; }
  // Leaves a failure text in the object, as an earlier operation would.
  void LeaveEarlierError() {
    ASSERT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("GONE"), kFalse);
    ASSERT_FALSE(object.Error().empty());
    suite.script().ClearCalls();
  }

  FakeSuite suite;
  Apartado object;
};

TEST_F(GeneraCuentaXCobrar, HandsTheSummedLayawayToTheReceivableComponent) {
  // Rows of 100-10, 50-0 and 25-5 discounted, 16+8+4 tax and 106+58+24 net,
  // summed by the database.
  Answer({Totals(March10At1530(), D(30))});
  EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
  EXPECT_EQ(suite.script().CallTexts(),
            (Texts{"Factory.CreateReceivableDocument()", "Session.GetConnection()",
                   "Connection.Execute(" + kTotalsQuery + ")", "Receivable.GenerateReceivable(F1, 0, -1)"}));

  ReceivableHeader expected;
  expected.DocumentDate = MakeDate(2026, 3, 10, 15, 30);
  expected.DueDate = MakeDate(2026, 4, 9, 15, 30);
  expected.OriginTable = "APARTADO";
  expected.OriginDocument = "F1";
  expected.Reference = "Ref";
  expected.Comment = "Coment";
  expected.Branch.Key = "S1";
  expected.Customer.Key = "C1";
  expected.Subtotal1 = expected.Subtotal2 = 160;
  expected.Tax1 = expected.Tax2 = 28;
  expected.Total1 = expected.Total2 = 188;
  expected.Currency.CurrencyKey = "MXN";
  expected.ExchangeRate = 1;
  EXPECT_EQ(Handed(), expected);  // every other member left empty or zero
}

TEST_F(GeneraCuentaXCobrar, DueDateAddsTheCreditDaysKeepingTheTimeOfDay) {
  struct Case {
    Variant creditDays;
    Date due;
  };
  const std::vector<Case> cases = {
      {D(30), MakeDate(2026, 4, 9, 15, 30)},   {D(0), MakeDate(2026, 3, 10, 15, 30)},
      {T("30"), MakeDate(2026, 4, 9, 15, 30)},  // numeric text, as SQLite may answer
      {D(2.5), MakeDate(2026, 3, 12, 15, 30)},  // halves go to the even neighbour
      {D(-10), MakeDate(2026, 2, 28, 15, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.creditDays.ToText());
    Answer({Totals(March10At1530(), c.creditDays)});
    EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
    EXPECT_DOUBLE_EQ(Handed().DueDate, c.due);
    EXPECT_DOUBLE_EQ(Handed().DocumentDate, MakeDate(2026, 3, 10, 15, 30));
  }
}

TEST_F(GeneraCuentaXCobrar, OnlyTheFirstGroupIsBilledAndTextSumsConvert) {
  Answer({Totals(T("2026-03-10 15:30:00"), T("30"), T("160.0"), T("28.0"), T("188.0")),
          Totals(March10At1530(), D(0), D(1), D(2), D(3))});
  EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
  EXPECT_EQ(Handed().Subtotal2, 160);
  EXPECT_EQ(Handed().Tax2, 28);
  EXPECT_EQ(Handed().Total2, 188);
  EXPECT_DOUBLE_EQ(Handed().DueDate, MakeDate(2026, 4, 9, 15, 30));
}

TEST_F(GeneraCuentaXCobrar, AnyNonZeroAnswerIsSuccessAndKeepsTheEarlierText) {
  LeaveEarlierError();
  const std::string earlier = object.Error();
  for (Boolean answer : {kTrue, Boolean{1}, Boolean{2}}) {
    SCOPED_TRACE(answer);
    suite.script().Answer("Receivable.GenerateReceivable", Variant::FromInteger(answer));
    Answer({Totals(March10At1530(), D(30))});
    EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
    EXPECT_EQ(object.Error(), earlier);
  }
  EXPECT_EQ(suite.script().Count("Receivable.GetErrorText"), 0);
}

TEST_F(GeneraCuentaXCobrar, ARefusedReceivableGivesTheComponentsReason) {
  suite.script().Answer("Receivable.GenerateReceivable", Variant::FromInteger(kFalse));
  suite.script().Answer("Receivable.GetErrorText", T("Documento duplicado"));
  Answer({Totals(March10At1530(), D(30))});
  EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "Documento duplicado");
}

TEST_F(GeneraCuentaXCobrar, AFolioWithoutRowsIsNotFound) {
  EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F9"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "Imposible localizar el apartado con folio: F9");
  EXPECT_EQ(suite.script().Count("Factory.CreateReceivableDocument"), 1);
  EXPECT_EQ(suite.script().Count("Receivable.GenerateReceivable"), 0);
}

TEST_F(GeneraCuentaXCobrar, FailuresBecomeTheErrorTextWithOneLineBreak) {
  struct Case {
    const char* name;
    std::vector<std::vector<Variant>> rows;
    void (*arrange)(FakeSuite&);
    std::string error;
  };
  const std::vector<Case> cases = {
      {"no receivable component",
       {},
       [](FakeSuite& s) { s.script().ThrowAt("Factory.CreateReceivableDocument", 1, "not registered"); },
       "not registered"},
      {"query rejected",
       {},
       [](FakeSuite& s) { s.connection().FailAt(1, "no such table: Cliente"); },
       "no such table: Cliente"},
      {"credit days beyond 16 bits", {Totals(March10At1530(), D(40000))}, [](FakeSuite&) {}, "Overflow"},
      {"due date beyond the calendar",
       {Totals(Variant::FromDate(MakeDate(9999, 12, 20)), D(30))},
       [](FakeSuite&) {},
       "Overflow"},
      {"null date", {Totals(Variant::MakeNull(), D(30))}, [](FakeSuite&) {}, "Invalid use of Null"},
      {"unreadable sum", {Totals(March10At1530(), D(30), T("n/a"))}, [](FakeSuite&) {}, "Type mismatch"},
      {"receivable component fails",
       {Totals(March10At1530(), D(30))},
       [](FakeSuite& s) { s.script().ThrowAt("Receivable.GenerateReceivable", 1, "ledger closed"); },
       "ledger closed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuite suite;
    c.arrange(suite);
    suite.connection().AnswerNext("GROUP BY", kColumns, c.rows);
    Apartado object;
    EXPECT_EQ(object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kFalse);
    EXPECT_EQ(object.Error(), kTag + c.error);
  }
}

}  // namespace
}  // namespace apartado
