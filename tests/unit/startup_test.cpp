#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "component/publico.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::FakeSuite;

TEST(StartUp, RunsInOrderWithDefaultsWhenNothingIsConfigured) {
  FakeSuite suite;
  suite.script().Answer("Session.GetServerId", Variant::FromText("S1"));
  Apartado object;
  EXPECT_EQ(suite.script().CallTexts("Factory."),
            (std::vector<std::string>{"Factory.CreateSessionServices()", "Factory.CreateCatalogServices()",
                                      "Factory.CreateWarehouseServices()", "Factory.CreateTaxCalculator()",
                                      "Factory.CreateWarehouseServices()"}));
  EXPECT_EQ(suite.script().CallTexts("Session."),
            (std::vector<std::string>{"Session.GetServerId()",
                                      "Session.ReadParameter(PED_TIPO_CALCULO_IMPORTES, 0, N, 1)",
                                      "Session.ReadParameter(GEN_LOTE_AUTOMATICO, 0, B, 0)"}));
  EXPECT_EQ(Publico().CurrentServerId, "S1");
  EXPECT_EQ(Publico().AmountCalculationMode, 1);
  EXPECT_EQ(Publico().AutomaticLots, kFalse);
  EXPECT_EQ(object.Apartar_Productos(), kTrue);
}

TEST(StartUp, ReadsParametersOncePerThread) {
  FakeSuite suite;
  suite.script().Answer("Session.ReadParameter", Variant::FromText("2.5"));
  Apartado first;
  Apartado second;
  EXPECT_EQ(suite.script().Count("Session.ReadParameter"), 2);
  EXPECT_EQ(Publico().AmountCalculationMode, 2);  // ties go to the even neighbour
  std::thread other([] {
    Apartado third;
    EXPECT_EQ(Publico().AmountCalculationMode, 2);
    DiscardModuleState();
  });
  other.join();
  EXPECT_EQ(suite.script().Count("Session.ReadParameter"), 4);
  // Each construction replaces the thread's warehouse services.
  EXPECT_EQ(suite.script().Count("Factory.CreateWarehouseServices"), 5);
}

TEST(StartUp, NumberOutOfRangeEndsStartUpAndFailsTheCreation) {
  FakeSuite suite;
  suite.script().AnswerAt("Session.ReadParameter", 1, Variant::FromText("40000"));
  suite.script().AnswerAt("Session.ReadParameter", 2, Variant::FromText("True"));
  try {
    Apartado object;
    FAIL() << "creation should fail";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.what(), "Overflow");
  }
  EXPECT_EQ(suite.script().Count("Session.ReadParameter"), 1);
  EXPECT_EQ(Publico().AmountCalculationMode, 0);
  EXPECT_EQ(Publico().AutomaticLots, kFalse);
  EXPECT_EQ(suite.script().Count("Factory.CreateTaxCalculator"), 0);
}

TEST(StartUp, BooleanParameterFromText) {
  FakeSuite suite;
  suite.script().AnswerAt("Session.ReadParameter", 2, Variant::FromText("true"));
  Apartado object;
  EXPECT_EQ(Publico().AutomaticLots, kTrue);
}

TEST(StartUp, FailedServiceCreationReachesTheHost) {
  FakeSuite suite;
  suite.script().ThrowAt("Factory.CreateTaxCalculator", 1, "no tax component");
  EXPECT_THROW({ Apartado object; }, Failure);
}

// The start-up runs once per thread even when it fails; the components it did
// not create are missing for every later object of the thread, and asking one
// is a failure like any other: an operation's failure path takes it, and a
// member without one lets it reach the caller.
TEST(StartUp, ServicesMissingAfterAFailedStartUpFailTheOperationsThatAskThem) {
  const std::string missing = "Object variable or With block variable not set";
  FakeSuite suite;
  suite.script().ThrowAt("Factory.CreateSessionServices", 1, "no session");
  EXPECT_THROW({ Apartado first; }, Failure);

  Apartado object;
  EXPECT_EQ(suite.script().Count("Factory.CreateSessionServices"), 1);
  EXPECT_EQ(object.Apartar("F1"), kFalse);
  EXPECT_EQ(object.Error(), "condicionApartadoQZL.dll - Apartar()\r\n" + missing);
  EXPECT_EQ(object.Finalizar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), "apartadoQZL.dll - Finalizar_Apartado()\r\n" + missing);
  // The cancellation asks the catalogue for its audit moment before its
  // failure path exists.
  const std::function<void()> escaping[] = {[&] { object.Nuevo(); }, [&] { object.Cancelar_Apartado("F1"); }};
  for (const auto& call : escaping) {
    try {
      call();
      ADD_FAILURE() << "the failure should reach the caller";
    } catch (const Failure& f) {
      EXPECT_EQ(f.what(), missing);
    }
  }
  EXPECT_EQ(object.Error(), "apartadoQZL.dll - Finalizar_Apartado()\r\n" + missing);
  EXPECT_NO_THROW(object.Detalle(tApDetalle{}));  // its report is lost, never raised
}

}  // namespace
}  // namespace apartado
