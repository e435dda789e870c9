// Finalizing layaway F1 of customer C1, dated 2 May 2026.
#include <gtest/gtest.h>

#include <functional>

#include "apartado/apartado.h"
#include "support/fakes.h"

namespace apartado {
namespace {

const std::string kTag = "apartadoQZL.dll - Finalizar_Apartado()\r\n";
const std::string kInForceQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' AND Es_Cve_Estado <> 'CA' ";

struct Bench {
  explicit Bench(bool inForce = true) {
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-05-02 10:15:00");
    suite.script().Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    if (inForce) suite.connection().AnswerAlways("Es_Cve_Estado <> 'CA'", {"Ap_Folio"}, {{Variant::FromText("F1")}});
    suite.script().ClearCalls();
  }
  testing::FakeSuite suite;
  Apartado object;
};

// Each call writes one more entry, and a success clears an earlier error text.
TEST(FinalizarApartado, WritesTheEntryWithTheLayawaysDateAndCustomerThenNotifies) {
  Bench b;
  ASSERT_EQ(b.object.Desapartar_Producto("S1", "A1", "P1", "T1", "C1", 1, 1), kFalse);
  b.suite.script().ClearCalls();
  EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.object.Error(), "");
  EXPECT_EQ(b.suite.script().CallTexts(),
            (std::vector<std::string>{
                "Session.GetConnection()", "Connection.Execute(" + kInForceQuery + ")",
                "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
                "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )",
                "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-05-02 10:15:00, Registro de apartado)",
                "Catalog.NotifyDocument(APARTADO, F1, )"}));
  EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.suite.script().Count("Catalog.AddFollowUpHistory"), 2);
}

// The history routine's texts come back behind the finalization's tag; a
// refused notice leaves an empty line before the catalogue's reason.
TEST(FinalizarApartado, RefusalsAndFailuresLeaveTheirTextAndStopWhereTheyShould) {
  struct Case {
    std::string name;
    bool inForce;
    std::function<void(testing::FakeSuite&)> arrange;
    std::string error;
    int entries, notices;
  };
  const auto answer = [](const std::string& operation, std::int16_t value) {
    return [=](testing::FakeSuite& s) { s.script().Answer(operation, Variant::FromInteger(value)); };
  };
  const auto fail = [](const std::string& operation, const std::string& description) {
    return [=](testing::FakeSuite& s) { s.script().ThrowAt(operation, 1, description); };
  };
  const auto none = [](testing::FakeSuite&) {};
  const std::string history = "Crm_Historial_Seguimiento()\r\n";
  const std::vector<Case> cases = {
      {"not in force", false, none, "No se encontró el apartado: F1", 0, 0},
      {"query rejected", true, [](testing::FakeSuite& s) { s.connection().FailAt(1, "gone"); }, "gone", 0, 0},
      {"entry refused", true, answer("Catalog.AddFollowUpHistory", 0), history + "catalogue refused", 1, 0},
      {"entry answered 1", true, answer("Catalog.AddFollowUpHistory", 1), history + "catalogue refused", 1, 0},
      {"date look-up fails", true, fail("Catalog.LookupValue", "lookup down"), history + "lookup down", 0, 0},
      {"date unreadable", true, [](testing::FakeSuite& s) { s.script().Lookup("Apartado", "Ap_Fecha", "no date"); },
       history + "Type mismatch", 0, 0},
      {"history call fails", true, fail("Catalog.AddFollowUpHistory", "crm down"), history + "crm down", 1, 0},
      {"notice refused", true, answer("Catalog.NotifyDocument", 0), "\r\ncatalogue refused", 1, 1},
      {"notice answered 1", true, answer("Catalog.NotifyDocument", 1), "\r\ncatalogue refused", 1, 1},
      {"notice call fails", true, fail("Catalog.NotifyDocument", "queue full"), "queue full", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b(c.inForce);
    c.arrange(b.suite);
    EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kTag + c.error);
    EXPECT_EQ(b.suite.script().Count("Catalog.AddFollowUpHistory"), c.entries);
    EXPECT_EQ(b.suite.script().Count("Catalog.NotifyDocument"), c.notices);
  }
}

}  // namespace
}  // namespace apartado
