// Turning layaway F1 into a receivable.
#include <gtest/gtest.h>

#include <functional>

#include "apartado/apartado.h"
#include "support/fakes.h"

namespace apartado {
namespace {

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

Variant T(const std::string& s) { return Variant::FromText(s); }
Variant D(double d) { return Variant::FromDouble(d); }
const Variant kMarch10At1530 = Variant::FromDate(MakeDate(2026, 3, 10, 15, 30));

// One grouped row as the database answers it, the sums already made: rows of
// 100-10, 50-0 and 25-5 discounted, 16+8+4 tax and 106+58+24 net.
std::vector<Variant> Totals(Variant date, Variant creditDays, Variant subtotal = D(160)) {
  return {std::move(creditDays), std::move(date), T("Coment"), T("S1"), T("C1"), T("Ref"), T("MXN"), D(1),
          std::move(subtotal),   D(28),           D(188)};
}

struct Bench {
  Bench() { suite.script().ClearCalls(); }
  void Answer(std::vector<std::vector<Variant>> rows) {
    suite.connection().AnswerNext("GROUP BY",
                                  {"Cl_Dias_Credito", "Ap_Fecha", "Ap_Comentario", "Sc_Cve_Sucursal", "Cl_Cve_Cliente",
                                   "Ap_Referencia", "Mn_Cve_Moneda", "Ap_Tipo_Cambio", "Ap_Precio_Descontado_Importe",
                                   "Ap_Impuesto_Importe", "Ap_Precio_Neto_Importe"},
                                  std::move(rows));
  }
  const ReceivableHeader& Handed() const { return *suite.factory->lastReceivable; }
  testing::FakeSuite suite;
  Apartado object;
};

TEST(GeneraCuentaXCobrar, HandsTheSummedLayawayToTheReceivableComponent) {
  Bench b;
  b.Answer({Totals(kMarch10At1530, D(30))});
  EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.suite.script().CallTexts(),
            (std::vector<std::string>{"Factory.CreateReceivableDocument()", "Session.GetConnection()",
                                      "Connection.Execute(" + kTotalsQuery + ")",
                                      "Receivable.GenerateReceivable(F1, 0, -1)"}));
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
  EXPECT_EQ(b.Handed(), expected);  // every other member left empty or zero
}

// Only the first group is billed; texts convert as numbers and dates.
TEST(GeneraCuentaXCobrar, DueDateAddsTheCreditDaysKeepingTheTimeOfDay) {
  struct Case {
    Variant date, creditDays;
    Date due;
  };
  const std::vector<Case> cases = {
      {kMarch10At1530, D(0), MakeDate(2026, 3, 10, 15, 30)},
      {T("2026-03-10 15:30:00"), T("30"), MakeDate(2026, 4, 9, 15, 30)},
      {kMarch10At1530, D(2.5), MakeDate(2026, 3, 12, 15, 30)},  // halves go to the even neighbour
      {kMarch10At1530, D(-10), MakeDate(2026, 2, 28, 15, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.creditDays.ToText());
    Bench b;
    b.Answer({Totals(c.date, c.creditDays, T("160.0")), Totals(kMarch10At1530, D(0), D(1))});
    EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
    EXPECT_DOUBLE_EQ(b.Handed().DueDate, c.due);
    EXPECT_DOUBLE_EQ(b.Handed().DocumentDate, MakeDate(2026, 3, 10, 15, 30));
    EXPECT_EQ(b.Handed().Subtotal2, 160);
  }
}

// Any non-zero answer is success and leaves an earlier text; zero gives the
// component's reason.
TEST(GeneraCuentaXCobrar, TheReceivableComponentDecides) {
  for (Boolean answer : {kTrue, Boolean{1}, Boolean{2}, kFalse}) {
    SCOPED_TRACE(answer);
    Bench b;
    ASSERT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F9"), kFalse);  // leaves an error text behind
    const std::string earlier = b.object.Error();
    b.suite.script().Answer("Receivable.GenerateReceivable", Variant::FromInteger(answer));
    b.suite.script().Answer("Receivable.GetErrorText", T("Documento duplicado"));
    b.Answer({Totals(kMarch10At1530, D(30))});
    EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), answer ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), answer ? earlier : kTag + "Documento duplicado");
    EXPECT_EQ(b.suite.script().Count("Receivable.GetErrorText"), answer ? 0 : 1);
  }
}

TEST(GeneraCuentaXCobrar, MissingRowsAndFailuresBecomeTheErrorTextWithOneLineBreak) {
  struct Case {
    std::vector<std::vector<Variant>> rows;
    std::function<void(testing::FakeSuite&)> arrange;
    std::string error;
  };
  const auto none = [](testing::FakeSuite&) {};
  const std::vector<Case> cases = {
      {{}, none, "Imposible localizar el apartado con folio: F1"},
      {{},
       [](testing::FakeSuite& s) { s.script().ThrowAt("Factory.CreateReceivableDocument", 1, "unknown"); },
       "unknown"},
      {{}, [](testing::FakeSuite& s) { s.connection().FailAt(1, "no such table: Cliente"); }, "no such table: Cliente"},
      {{Totals(kMarch10At1530, D(40000))}, none, "Overflow"},  // credit days beyond 16 bits
      {{Totals(Variant::FromDate(MakeDate(9999, 12, 20)), D(30))}, none, "Overflow"},
      {{Totals(Variant::MakeNull(), D(30))}, none, "Invalid use of Null"},
      {{Totals(kMarch10At1530, D(30), T("n/a"))}, none, "Type mismatch"},
      {{Totals(kMarch10At1530, D(30))},
       [](testing::FakeSuite& s) { s.script().ThrowAt("Receivable.GenerateReceivable", 1, "ledger closed"); },
       "ledger closed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    Bench b;
    c.arrange(b.suite);
    b.Answer(c.rows);
    EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kTag + c.error);
  }
}

}  // namespace
}  // namespace apartado
