#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::FakeSuite;
using Texts = std::vector<std::string>;

const std::string kTag = "apartadoQZL.dll - Finalizar_Apartado()\r\n";
const std::string kInForceQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' AND Es_Cve_Estado <> 'CA' ";

class FinalizarApartado : public ::testing::Test {
 protected:
  FinalizarApartado() {
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-05-02 10:15:00");
    suite.script().Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    suite.script().ClearCalls();
  }
  // Makes the folio's in-force query answer one row.
  void FolioInForce() {
    suite.connection().AnswerNext("'F1' AND Es_Cve_Estado", {"Ap_Folio"}, {{Variant::FromText("F1")}});
  }
  // Leaves a failure text in the object, as an earlier operation would.
  void LeaveEarlierError() {
    ASSERT_EQ(object.Finalizar_Apartado("GONE"), kFalse);
    ASSERT_FALSE(object.Error().empty());
    suite.script().ClearCalls();
  }

  FakeSuite suite;
  Apartado object;
};

TEST_F(FinalizarApartado, WritesTheEntryWithTheLayawaysDateAndCustomerThenNotifies) {
  LeaveEarlierError();
  FolioInForce();
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(object.Error(), "");
  EXPECT_EQ(suite.script().CallTexts(),
            (Texts{"Session.GetConnection()", "Connection.Execute(" + kInForceQuery + ")",
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )",
                   "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-05-02 10:15:00, "
                   "Registro de apartado)",
                   "Catalog.NotifyDocument(APARTADO, F1, )"}));
}

TEST_F(FinalizarApartado, EachCallWritesOneMoreEntry) {
  suite.connection().AnswerAlways("'F1' AND Es_Cve_Estado", {"Ap_Folio"}, {{Variant::FromText("F1")}});
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 2);
  EXPECT_EQ(suite.script().Count("Catalog.NotifyDocument"), 2);
}

TEST_F(FinalizarApartado, FolioNotInForceIsRefusedBeforeAnyEntry) {
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "No se encontró el apartado: F1");
  EXPECT_EQ(suite.script().CallTexts(),
            (Texts{"Session.GetConnection()", "Connection.Execute(" + kInForceQuery + ")"}));
}

// The history routine's refusals and failures, each read back through the
// finalization's own tag.
TEST(FinalizarApartadoHistory, RefusalsAndFailuresComeBackUnderBothTags) {
  struct Case {
    const char* name;
    void (*arrange)(testing::Script&);
    std::string error;
    int lookups;
  };
  const std::vector<Case> cases = {
      {"entry refused with False",
       [](testing::Script& s) { s.Answer("Catalog.AddFollowUpHistory", Variant::FromInteger(0)); },
       "Crm_Historial_Seguimiento()\r\ncatalogue refused", 2},
      {"entry answered 1, which is not True",
       [](testing::Script& s) { s.Answer("Catalog.AddFollowUpHistory", Variant::FromInteger(1)); },
       "Crm_Historial_Seguimiento()\r\ncatalogue refused", 2},
      {"date look-up fails", [](testing::Script& s) { s.ThrowAt("Catalog.LookupValue", 1, "lookup down"); },
       "Crm_Historial_Seguimiento()\r\nlookup down", 1},
      {"date text cannot be converted", [](testing::Script& s) { s.Lookup("Apartado", "Ap_Fecha", "not a date"); },
       "Crm_Historial_Seguimiento()\r\nType mismatch", 1},
      {"history call fails", [](testing::Script& s) { s.ThrowAt("Catalog.AddFollowUpHistory", 1, "crm down"); },
       "Crm_Historial_Seguimiento()\r\ncrm down", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuite suite;
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-05-02 00:00:00");
    suite.script().Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    c.arrange(suite.script());
    Apartado object;
    suite.connection().AnswerNext("AND Es_Cve_Estado", {"Ap_Folio"}, {{Variant::FromText("F1")}});
    EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
    EXPECT_EQ(object.Error(), kTag + c.error);
    EXPECT_EQ(suite.script().Count("Catalog.LookupValue"), c.lookups);
    EXPECT_EQ(suite.script().Count("Catalog.NotifyDocument"), 0);
  }
}

TEST(FinalizarApartadoNotice, RefusalLeavesTheEntryAndAnEmptyLineBeforeTheReason) {
  for (Boolean answer : {kFalse, Boolean{1}}) {
    SCOPED_TRACE(answer);
    FakeSuite suite;
    suite.script().Answer("Catalog.NotifyDocument", Variant::FromInteger(answer));
    suite.script().Answer("Catalog.GetErrorText", Variant::FromText("no subscriber"));
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-05-02 00:00:00");
    Apartado object;
    suite.connection().AnswerNext("AND Es_Cve_Estado", {"Ap_Folio"}, {{Variant::FromText("F1")}});
    EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
    EXPECT_EQ(object.Error(), kTag + "\r\nno subscriber");
    EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 1);
  }
}

TEST_F(FinalizarApartado, FailuresOfItsOwnStepsTakeOneLineBreak) {
  suite.connection().FailAt(1, "database gone");
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "database gone");
  EXPECT_EQ(suite.script().Count("Catalog.LookupValue"), 0);

  FolioInForce();
  suite.script().ThrowAt("Catalog.NotifyDocument", 1, "notice queue full");
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "notice queue full");
}

}  // namespace
}  // namespace apartado
