#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <thread>

#include "apartado/failure.h"
#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

class SuiteCatalogTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    catalog_ = Factory().CreateCatalogServices();
  }
  std::string Lookup(const std::string& table, const std::string& key, const std::string& value,
                     const std::string& result, const std::string& key2 = "", const std::string& value2 = "",
                     const std::string& excluded = "") {
    return catalog_->LookupValue(table, key, value, result, 0, key2, value2, excluded);
  }
  std::string FailureOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const Failure& f) {
      return f.what();
    }
    return "(no failure)";
  }
  std::shared_ptr<CatalogServices> catalog_;
};

class SuiteSessionTest : public SuiteTest {};

Date LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return MakeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

TEST_P(SuiteSessionTest, AnswersTheOptionsItWasMadeWith) {
  auto session = Factory().CreateSessionServices();
  EXPECT_EQ(session->GetOperator(), "OPER1");
  EXPECT_EQ(session->GetServerId(), "S1");
  EXPECT_EQ(session->IsRemoteServer(), kFalse);
  suite::SuiteOptions remote = Options();
  remote.remote = true;
  EXPECT_EQ(suite::MakeSuiteFactory(remote)->CreateSessionServices()->IsRemoteServer(), kTrue);
}

TEST_P(SuiteSessionTest, ReadsStoredParametersElseTheDefault) {
  Insert("Parametro", {{"Pa_Nombre", T("PED_TIPO_CALCULO_IMPORTES")}, {"Pa_Valor", T("2")}});
  Insert("Parametro", {{"Pa_Nombre", T("GEN_LOTE_AUTOMATICO")}, {"Pa_Valor", T("1")}, {"Es_Cve_Estado", T("BA")}});
  Insert("Parametro", {{"Pa_Nombre", T("SIN_VALOR")}, {"Pa_Valor", Variant::MakeNull()}});
  auto session = Factory().CreateSessionServices();
  EXPECT_EQ(session->ReadParameter("PED_TIPO_CALCULO_IMPORTES", 0, "N", "1"), T("2"));
  EXPECT_EQ(session->ReadParameter("GEN_LOTE_AUTOMATICO", 0, "B", "0"), T("0"));  // withdrawn
  EXPECT_EQ(session->ReadParameter("SIN_VALOR", 0, "N", "7"), T("7"));
  EXPECT_EQ(session->ReadParameter("NO_EXISTE", 0, "N", "5"), T("5"));
}

TEST_P(SuiteSessionTest, HandsReportedMessagesToTheSink) {
  Factory().CreateSessionServices()->ReportMessage("Mensaje", 16, "Titulo", std::nullopt, "apartadoQZL",
                                                   "ERR-ID:7500001");
  ASSERT_EQ(reported_.size(), 1u);
  EXPECT_EQ(reported_[0].message, "Mensaje");
  EXPECT_EQ(reported_[0].style, 16);
  EXPECT_EQ(reported_[0].title, "Titulo");
  EXPECT_EQ(reported_[0].componentName, "apartadoQZL");
  EXPECT_EQ(reported_[0].errorId, "ERR-ID:7500001");
}

TEST_P(SuiteSessionTest, ServicesOfAThreadShareOneConnection) {
  auto first = Factory().CreateSessionServices();
  auto second = Factory().CreateSessionServices();
  EXPECT_EQ(&first->GetConnection(), &second->GetConnection());
  Connection* elsewhere = nullptr;
  std::thread([&] { elsewhere = &Factory().CreateSessionServices()->GetConnection(); }).join();
  EXPECT_NE(elsewhere, &first->GetConnection());
  EXPECT_NE(&suite::MakeSuiteFactory(Options())->CreateSessionServices()->GetConnection(), &first->GetConnection());
  // The connection reaches the same database.
  first->GetConnection().Execute("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('MXN', 'Peso')");
  EXPECT_EQ(Count("Moneda"), 1);
}

TEST_P(SuiteCatalogTest, LookupValueMatchesKeysAndHonoursTheExcludedStatus) {
  Insert("Moneda", {{"Mn_Cve_Moneda", T("MXN")}, {"Mn_Descripcion", T("Peso")}});
  Insert("Moneda", {{"Mn_Cve_Moneda", T("USD")}, {"Mn_Descripcion", T("Dólar")}, {"Es_Cve_Estado", T("BA")}});
  Insert("Almacen", {{"Sc_Cve_Sucursal", T("01")}, {"Al_Cve_Almacen", T("A1")}, {"Al_Descripcion", T("Uno")}});
  Insert("Almacen", {{"Sc_Cve_Sucursal", T("02")}, {"Al_Cve_Almacen", T("A1")}, {"Al_Descripcion", T("Otro")}});
  Insert("Cliente", {{"Cl_Cve_Cliente", T("C1")},
                     {"Cl_Dias_Credito", Variant::FromLong(30)},
                     {"Cl_Limite_Credito", N(1500.5)},
                     {"Cl_Tipo_Cuenta", Variant::MakeNull()}});
  Insert("Apartado", {{"Ap_Folio", T("F1")}, {"Ap_ID", T("0001")}, {"Ap_Fecha", T("2026-05-02 10:20:30")}});
  struct Case {
    std::string table, key, value, result, key2, value2, excluded, expected;
  };
  const std::vector<Case> cases = {
      {"Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", "", "", "BA", "Peso"},
      {"Moneda", "Mn_Cve_Moneda", "USD", "Mn_Descripcion", "", "", "BA", ""},
      {"Moneda", "Mn_Cve_Moneda", "USD", "Mn_Descripcion", "", "", "", "Dólar"},
      {"Moneda", "Mn_Cve_Moneda", "mxn", "Mn_Descripcion", "", "", "BA", ""},
      {"Moneda", "Mn_Cve_Moneda", "MXN' OR '1'='1", "Mn_Descripcion", "", "", "", ""},
      {"Almacen", "Al_Cve_Almacen", "A1", "Al_Descripcion", "Sc_Cve_Sucursal", "02", "BA", "Otro"},
      {"Almacen", "Al_Cve_Almacen", "A1", "Al_Descripcion", "Sc_Cve_Sucursal", "03", "BA", ""},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Dias_Credito", "", "", "", "30"},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Limite_Credito", "", "", "", "1500.5"},
      {"Cliente", "Cl_Cve_Cliente", "C1", "Cl_Tipo_Cuenta", "", "", "", ""},
      {"Apartado", "Ap_Folio", "F1", "Ap_Fecha", "", "", "", "2026-05-02 10:20:30"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lookup(c.table, c.key, c.value, c.result, c.key2, c.value2, c.excluded), c.expected)
        << c.table << " " << c.value << " " << c.result;
  }
}

TEST_P(SuiteCatalogTest, LookupValueRefusesNamesThatAreNotIdentifiers) {
  Insert("Moneda", {{"Mn_Cve_Moneda", T("MXN")}, {"Mn_Descripcion", T("Peso")}});
  EXPECT_EQ(FailureOf([&] { Lookup("Moneda; DROP TABLE Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion"); }),
            "Nombre de tabla o columna no válido: Moneda; DROP TABLE Moneda");
  EXPECT_EQ(FailureOf([&] { Lookup("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion--"); }),
            "Nombre de tabla o columna no válido: Mn_Descripcion--");
  EXPECT_EQ(FailureOf([&] { Lookup("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", "1=1 OR x", "1"); }),
            "Nombre de tabla o columna no válido: 1=1 OR x");
  EXPECT_EQ(Count("Moneda"), 1);
  // A table the database does not have fails with the database's message.
  std::string message = FailureOf([&] { Lookup("Nada", "Na_Cve", "1", "Na_Descripcion"); });
  for (char& ch : message) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  EXPECT_NE(message.find("nada"), std::string::npos) << message;
}

TEST_P(SuiteCatalogTest, DatesTravelThroughTheDatabaseWithTheirTimeOfDay) {
  const Date moment = MakeDate(2026, 3, 10, 15, 30, 45);
  EXPECT_EQ(catalog_->FormatDateForSql(moment), "2026-03-10 15:30:45");
  EXPECT_EQ(catalog_->FormatDateTimeForSql(moment), "2026-03-10 15:30:45");
  // As the component does: the text inside its own statement, read back by look-up.
  Factory().CreateSessionServices()->GetConnection().Execute(
      "INSERT INTO Apartado (Ap_Folio, Ap_ID, Ap_Fecha, Fecha_Alta) VALUES ('F1', '0001', '" +
      catalog_->FormatDateForSql(moment) + "', '" + catalog_->FormatDateTimeForSql(moment) + "')");
  const std::string looked = Lookup("Apartado", "Ap_Folio", "F1", "Ap_Fecha");
  EXPECT_EQ(looked, "2026-03-10 15:30:45");
  EXPECT_EQ(ParseDateTime(looked), moment);
  EXPECT_EQ(Lookup("Apartado", "Ap_Folio", "F1", "Fecha_Alta"), "2026-03-10 15:30:45");
}

TEST_P(SuiteCatalogTest, CurrentDateIsLocalTimeInWholeSeconds) {
  const Date before = LocalNow();
  const Date now = catalog_->GetCurrentDate();
  const Date after = LocalNow();
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
  EXPECT_EQ(ParseDateTime(FormatDateTime(now)), now);
}

TEST_P(SuiteCatalogTest, ProductRelationsComeFromTheirTablesWithoutWithdrawnRows) {
  Insert("Producto_Talla", {{"Pr_Cve_Producto", T("P1")}, {"Tl_Cve_Talla", T("T1")}});
  Insert("Producto_Talla", {{"Pr_Cve_Producto", T("P1")}, {"Tl_Cve_Talla", T("T2")}, {"Es_Cve_Estado", T("BA")}});
  Insert("Producto_Color", {{"Pr_Cve_Producto", T("P1")}, {"Cl_Cve_Color", T("C1")}});
  Insert("Producto_Talla_Color", {{"Pr_Cve_Producto", T("P1")}, {"Tl_Cve_Talla", T("T1")}, {"Cl_Cve_Color", T("C1")}});
  EXPECT_EQ(catalog_->CheckProductSize("P1", "T1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductSize("P1", "T2"), kFalse);
  EXPECT_EQ(catalog_->CheckProductSize("P2", "T1"), kFalse);
  EXPECT_EQ(catalog_->CheckProductColour("P1", "C1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductColour("P1", "C2"), kFalse);
  EXPECT_EQ(catalog_->CheckProductSizeColour("P1", "T1", "C1"), kTrue);
  EXPECT_EQ(catalog_->CheckProductSizeColour("P1", "T1", "C2"), kFalse);
  EXPECT_EQ(catalog_->CheckProductSizeColour("P1", "T2", "C1"), kFalse);
}

TEST_P(SuiteCatalogTest, UnitFactorPrefersTheProductsOwnRowThenTheSharedOneElseZero) {
  auto conversion = [&](const char* product, const char* from, const char* to, double factor, const char* status) {
    Insert("Unidad_Conversion", {{"Pr_Cve_Producto", T(product)},
                                 {"Un_Cve_Unidad_Origen", T(from)},
                                 {"Un_Cve_Unidad_Destino", T(to)},
                                 {"Uc_Factor", N(factor)},
                                 {"Es_Cve_Estado", T(status)}});
  };
  conversion("P1", "CAJ", "PZA", 12, "AC");
  conversion("", "CAJ", "PZA", 10, "AC");
  conversion("", "KG", "G", 1000, "AC");
  conversion("P1", "LT", "ML", 999, "BA");
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "CAJ", "PZA"), 12);
  EXPECT_EQ(catalog_->GetUnitFactor("P2", "CAJ", "PZA"), 10);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "KG", "G"), 1000);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "PZA", "CAJ"), 0);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "LT", "ML"), 0);
  EXPECT_EQ(catalog_->GetUnitFactor("P1", "CAJ", ""), 0);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteSessionTest);
APARTADO_INSTANTIATE_BACKENDS(SuiteCatalogTest);

}  // namespace
}  // namespace apartado

namespace apartado::testing {
namespace {

// A host may hand the suite an open database, such as a private in-memory one
// that a second connection could never see.
TEST(SuiteOptionsDatabase, ServicesUseTheGivenOpenDatabase) {
  std::shared_ptr<Database> db = Database::Open(":memory:");
  suite::CreateSchema(*db);
  db->Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES (:p1, :p2)",
              {Variant::FromText("MXN"), Variant::FromText("Peso mexicano")});
  suite::SuiteOptions options;
  options.connectionString = "/nonexistent/directory/never-opened.db";
  options.database = db;
  auto factory = suite::MakeSuiteFactory(options);
  auto catalog = factory->CreateCatalogServices();
  EXPECT_EQ(catalog->LookupValue("Moneda", "Mn_Cve_Moneda", "MXN", "Mn_Descripcion", 0, "", "", ""),
            "Peso mexicano");
  auto session = factory->CreateSessionServices();
  EXPECT_EQ(&session->GetConnection(), &db->GetConnection());
}

}  // namespace
}  // namespace apartado::testing
