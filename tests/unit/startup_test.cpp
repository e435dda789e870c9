#include <gtest/gtest.h>

#include <thread>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

// Each test installs its own fakes, so that the start-up runs anew.
class StartUp : public ::testing::Test, public testing::FakeSuite {};

TEST_F(StartUp, RunsOncePerThreadInOrderAndKeepsItsSettingsPerThread) {
  GetScript().Answer("Session.GetServerId", Text("S1"));
  GetScript().AnswerAt("Session.ReadParameter", 3, Text("2.5"));  // ties go to the even neighbour
  GetScript().AnswerAt("Session.ReadParameter", 4, Text("true"));
  Apartado first;
  Apartado second;
  EXPECT_EQ(GetScript().CallTexts("Factory."),
            (std::vector<std::string>{"Factory.CreateSessionServices()", "Factory.CreateCatalogServices()",
                                      "Factory.CreateWarehouseServices()", "Factory.CreateTaxCalculator()",
                                      "Factory.CreateWarehouseServices()", "Factory.CreateTaxCalculator()",
                                      "Factory.CreateWarehouseServices()"}));
  EXPECT_EQ(
      GetScript().CallTexts("Session."),
      (std::vector<std::string>{"Session.GetServerId()", "Session.ReadParameter(PED_TIPO_CALCULO_IMPORTES, 0, N, 1)",
                                "Session.ReadParameter(GEN_LOTE_AUTOMATICO, 0, B, 0)"}));
  std::thread other([] {
    Apartado third;
    EXPECT_EQ(Publico().AmountCalculationMode, 2);
    EXPECT_EQ(Publico().AutomaticLots, kTrue);
    DiscardModuleState();
  });
  other.join();
  EXPECT_EQ(GetScript().Count("Session.ReadParameter"), 4);
  // Nothing configured: the defaults.
  EXPECT_EQ(Publico().CurrentServerId, "S1");
  EXPECT_EQ(Publico().AmountCalculationMode, 1);
  EXPECT_EQ(Publico().AutomaticLots, kFalse);
}

// A failed start-up fails the creation and is not run again on the thread;
// the settings after the failing step keep their empty values.
TEST_F(StartUp, FailureEndsStartUpAtItsStepAndReachesTheHost) {
  GetScript().AnswerAt("Session.ReadParameter", 1, Text("40000"));
  GetScript().AnswerAt("Session.ReadParameter", 2, Text("True"));
  EXPECT_EQ(FailureOf([] { Apartado object; }), "Overflow");
  EXPECT_EQ(Publico().AmountCalculationMode, 0);
  EXPECT_EQ(Publico().AutomaticLots, kFalse);
  EXPECT_EQ(GetScript().Count("Factory.CreateTaxCalculator"), 0);
  GetScript().ThrowAt("Factory.CreateTaxCalculator", 1, "no tax component");
  EXPECT_EQ(FailureOf([] { Apartado object; }), "no tax component");
  EXPECT_EQ(GetScript().Count("Session.ReadParameter"), 1);
}

// A component the failed start-up never created fails whoever asks it: an
// operation's failure path takes it, a member without one lets it out.
TEST_F(StartUp, ServicesMissingAfterAFailedStartUpFailTheOperationsThatAskThem) {
  const std::string missing = "Object variable or With block variable not set";
  const std::string apartar = "condicionApartadoQZL.dll - Apartar()\r\n" + missing;
  GetScript().ThrowAt("Factory.CreateSessionServices", 1, "no session");
  EXPECT_EQ(FailureOf([] { Apartado first; }), "no session");
  Apartado object;
  EXPECT_EQ(object.Apartar("F1"), kFalse);
  EXPECT_EQ(object.Error(), apartar);
  EXPECT_EQ(FailureOf([&] { object.Nuevo(); }), missing);
  EXPECT_EQ(FailureOf([&] { object.Cancelar_Apartado("F1"); }), missing);  // asked before its failure path
  EXPECT_EQ(object.Error(), apartar);
  EXPECT_NO_THROW(object.Detalle(tApDetalle{}));  // its report is lost, never raised
}

}  // namespace
}  // namespace apartado::capture_testing
