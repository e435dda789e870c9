#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <ctime>
#include <thread>

#include "integration/suite_fixture.h"

namespace apartado::testing {
namespace {

class SuiteCatalogTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    catalog_ = Factory().CreateCatalogServices();
  }
  std::shared_ptr<CatalogServices> catalog_;
};

TEST_P(SuiteCatalogTest, SessionAnswersItsOptionsParametersAndMessageSink) {
  auto session = Factory().CreateSessionServices();
  EXPECT_EQ(session->GetOperator() + "|" + session->GetServerId(), "OPER1|S1");
  EXPECT_EQ(session->IsRemoteServer(), kFalse);
  suite::SuiteOptions remote = Options();
  remote.remote = true;
  EXPECT_EQ(suite::MakeSuiteFactory(remote)->CreateSessionServices()->IsRemoteServer(), kTrue);
  Insert("Parametro", "Pa_Nombre, Pa_Valor, Es_Cve_Estado",
         {{"TIPO", "2", "AC"}, {"RETIRADO", "1", "BA"}, {"SIN_VALOR", Variant::MakeNull(), "AC"}});
  EXPECT_EQ(session->ReadParameter("TIPO", 0, "N", "1"), Text("2"));
  EXPECT_EQ(session->ReadParameter("RETIRADO", 0, "B", "0"), Text("0"));  // withdrawn, null or missing: the default
  EXPECT_EQ(session->ReadParameter("SIN_VALOR", 0, "N", "7"), Text("7"));
  EXPECT_EQ(session->ReadParameter("NO_EXISTE", 0, "N", "5"), Text("5"));
  session->ReportMessage("Mensaje", 16, "Titulo", std::nullopt, "apartadoQZL", "ERR-ID:7500001");
  ASSERT_EQ(reported_.size(), 1u);
  const suite::ReportedMessage& m = reported_[0];
  EXPECT_EQ(m.message + "|" + std::to_string(m.style) + "|" + m.title + "|" + m.componentName + "|" + m.errorId,
            "Mensaje|16|Titulo|apartadoQZL|ERR-ID:7500001");
}

TEST_P(SuiteCatalogTest, ServicesOfAThreadAndFactoryShareOneConnection) {
  auto first = Factory().CreateSessionServices();
  EXPECT_EQ(&first->GetConnection(), &Factory().CreateSessionServices()->GetConnection());
  Connection* elsewhere = nullptr;
  std::thread([&] { elsewhere = &Factory().CreateSessionServices()->GetConnection(); }).join();
  EXPECT_NE(elsewhere, &first->GetConnection());
  EXPECT_NE(&suite::MakeSuiteFactory(Options())->CreateSessionServices()->GetConnection(), &first->GetConnection());
}

TEST_P(SuiteCatalogTest, LookupValueMatchesKeysHonoursTheExcludedStatusAndKeepsTheTimeOfDay) {
  Insert("Moneda", "Mn_Cve_Moneda, Mn_Descripcion, Es_Cve_Estado", {{"MXN", "Peso", "AC"}, {"USD", "Dólar", "BA"}});
  Insert("Almacen", "Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion", {{"02", "A1", "Otro"}});
  Insert("Cliente", "Cl_Cve_Cliente, Cl_Dias_Credito, Cl_Limite_Credito", {{"C1", 30, 1500.5}});
  // A date goes into a statement's text as the component writes it, and comes back whole.
  const Date moment = MakeDate(2026, 3, 10, 15, 30, 45);
  EXPECT_EQ(catalog_->FormatDateForSql(moment), "2026-03-10 15:30:45");
  EXPECT_EQ(catalog_->FormatDateTimeForSql(moment), "2026-03-10 15:30:45");
  Db().GetConnection().Execute("INSERT INTO Apartado (Ap_Folio, Ap_ID, Ap_Fecha) VALUES ('F1', '1', '" +
                               catalog_->FormatDateTimeForSql(moment) + "')");
  // table, key column, key, result column, second key column and key, excluded status, answer
  const std::vector<std::array<std::string, 8>> cases = {
      {"Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", "", "", "BA", "Peso"},
      {"Moneda", "Mn_Cve_Moneda", "USD", "Mn_Descripcion", "", "", "BA", ""},
      {"Moneda", "Mn_Cve_Moneda", "USD", "Mn_Descripcion", "", "", "", "Dólar"},
      {"Moneda", "Mn_Cve_Moneda", "mxn", "Mn_Descripcion", "", "", "BA", ""},
      {"Moneda", "Mn_Cve_Moneda", "MXN' OR '1'='1", "Mn_Descripcion", "", "", "", ""},
      {"Almacen", "Al_Cve_Almacen", "A1", "Al_Descripcion", "Sc_Cve_Sucursal", "02", "BA", "Otro"},
      {"Almacen", "Al_Cve_Almacen", "A1", "Al_Descripcion", "Sc_Cve_Sucursal", "03", "BA", ""},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Dias_Credito", "", "", "", "30"},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Limite_Credito", "", "", "", "1500.5"},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Tipo_Cuenta", "", "", "", ""},  // null
      {"Apartado", "Ap_Folio", "F1", "Ap_Fecha", "", "", "", "2026-03-10 15:30:45"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(catalog_->LookupValue(c[0], c[1], c[2], c[3], 0, c[4], c[5], c[6]), c[7]) << c[0] << " " << c[2];
  // A table or a column the database does not have fails with the
  // database's own message, whether a row matches or not.
  for (const auto& [table, key, column] :
       {std::tuple{"Nada", "1", "Na_X"}, {"Moneda", "MXN", "Mn_Nada"}, {"Moneda", "EUR", "Mn_Nada"}}) {
    std::string message = FailureOf([this, table = table, key = key, column = column] {
      catalog_->LookupValue(table, table == std::string("Nada") ? "Na_Cve" : "Mn_Cve_Moneda", key, column, 0, "", "",
                            "");
    });
    for (char& ch : message) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_NE(message.find("nada"), std::string::npos) << message;
  }
}

TEST_P(SuiteCatalogTest, ProductRelationsAndUnitFactorsIgnoreWithdrawnRows) {
  Insert("Producto_Talla", "Pr_Cve_Producto, Tl_Cve_Talla, Es_Cve_Estado", {{"P1", "T1", "AC"}, {"P1", "T2", "BA"}});
  Insert("Producto_Color", "Pr_Cve_Producto, Cl_Cve_Color", {{"P1", "C1"}});
  Insert("Producto_Talla_Color", "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color", {{"P1", "T1", "C1"}});
  EXPECT_EQ(catalog_->CheckProductSize("P1", "T1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductSize("P1", "T2"), kFalse);
  EXPECT_EQ(catalog_->CheckProductColour("P1", "C1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductColour("P1", "C2"), kFalse);
  EXPECT_EQ(catalog_->CheckProductSizeColour("P1", "T1", "C1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductSizeColour("P1", "T2", "C1"), kFalse);
  // A unit factor: the product's own row, else the shared one (empty product), else 0.
  Insert("Unidad_Conversion", "Pr_Cve_Producto, Un_Cve_Unidad_Origen, Un_Cve_Unidad_Destino, Uc_Factor, Es_Cve_Estado",
         {{"P1", "CAJ", "PZA", 12.0, "AC"}, {"", "CAJ", "PZA", 10.0, "AC"}, {"P1", "LT", "ML", 9.0, "BA"}});
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "CAJ", "PZA"), 12);
  EXPECT_EQ(catalog_->GetUnitFactor("P2", "CAJ", "PZA"), 10);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "PZA", "CAJ"), 0);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "LT", "ML"), 0);
}

TEST_P(SuiteCatalogTest, LineAmountsFollowTheFormulaOfEachModeAndARefusedModeWritesNothing) {
  // The thirteen members in call order: quantity, list price and amount, discount factor and amount, discounted
  // price and amount, global discount factor and amount, tax factor and amount, net price, net amount. The global
  // amount given (123) is an earlier line's share: it is replaced, never added to.
  const std::array<double, 13> given = {2, 100, 0, 0.1, 0, 0, 0, 0.05, 123, 0.16, 0, 0, 0},
                               minusOneTax = {1, 10, 0, 0, 0, 0, 0, 0, 0, -1};
  const std::tuple<int, std::array<double, 13>, std::array<double, 13>, std::string> cases[] = {
      {1, given, {2, 100, 200, 0.1, 20, 90, 180, 0.05, 9, 0.16, 27.36, 99.18, 198.36}, ""},
      // 116 with 16 % tax included is 100 before tax.
      {2, {2, 116, 0, 0, 0, 0, 0, 0, 123, 0.16}, {2, 100, 200, 0, 0, 100, 200, 0, 0, 0.16, 32, 116, 232}, ""},
      {2, {1, 232, 0, 0.5, 0, 0, 0, 0, 123, 0.16}, {1, 200, 200, 0.5, 100, 100, 100, 0, 0, 0.16, 16, 116, 116}, ""},
      {3, given, given, "Modo de cálculo de importes no programado: 3"},
      {2, minusOneTax, minusOneTax, "El factor de impuesto: -1, no es válido con precios que incluyen impuesto"},
  };
  for (auto [mode, m, want, failure] : cases) {
    SCOPED_TRACE("mode " + std::to_string(mode) + ", list price " + std::to_string(m[1]));
    EXPECT_EQ(FailureOf([this, &m = m, mode = mode] {
                catalog_->CalculateLineAmounts(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8], m[9], m[10], m[11],
                                               m[12], static_cast<std::int16_t>(mode));
              }),
              failure.empty() ? "no failure" : failure);
    for (int i = 0; i < 13; ++i) EXPECT_NEAR(m[i], want[i], 1e-9) << "member " << i;
  }
}

TEST_P(SuiteCatalogTest, FollowUpEntryKeepsItsValuesTheOperatorAndTheLocalMomentInWholeSeconds) {
  Insert("Cliente", "Cl_Cve_Cliente", {{"C1"}});
  const Date dated = MakeDate(2026, 5, 2, 9, 15, 0);
  ASSERT_EQ(catalog_->AddFollowUpHistory("CRM", "APARTADO", "0000000001", "CLIENTE", "C1", dated, "Registro"), kTrue);
  EXPECT_EQ(Rows("SELECT Hs_Aplicacion, Hs_Tipo_Documento, Hs_Folio, Hs_Tipo_Entidad, Hs_Cve_Entidad, Hs_Fecha, "
                 "Hs_Descripcion, Oper_Alta FROM Historial_Seguimiento"),
            "CRM|APARTADO|0000000001|CLIENTE|C1|2026-05-02 09:15:00|Registro|OPER1\n");
  std::tm local{};
  const std::time_t clock = std::time(nullptr);
  localtime_r(&clock, &local);
  const Date localNow =
      MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  const Date now = catalog_->GetCurrentDate();
  EXPECT_EQ(ParseDateTime(FormatDateTime(now)), now);  // whole seconds
  EXPECT_LT(std::abs(now - localNow) * 86400, 5);
  EXPECT_LT(std::abs(Scalar("SELECT Fecha_Alta AS V FROM Historial_Seguimiento").ToDate() - now) * 86400, 5);
}

// A host may hand the suite an open database, such as a private in-memory one
// that a second connection could never see.
TEST(SuiteOptionsDatabase, ServicesUseTheGivenOpenDatabase) {
  std::shared_ptr<Database> db = Database::Open(":memory:");
  suite::CreateSchema(*db);
  db->Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('MXN', 'Peso mexicano')");
  suite::SuiteOptions options;
  options.connectionString = "/nonexistent/directory/never-opened.db";
  options.database = db;
  auto factory = suite::MakeSuiteFactory(options);
  auto catalog = factory->CreateCatalogServices();
  EXPECT_EQ(catalog->LookupValue("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", 0, "", "", ""), "Peso mexicano");
  EXPECT_EQ(&factory->CreateSessionServices()->GetConnection(), &db->GetConnection());
}

APARTADO_INSTANTIATE_BACKENDS(SuiteCatalogTest);

}  // namespace
}  // namespace apartado::testing
