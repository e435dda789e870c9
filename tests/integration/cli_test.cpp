// The command-line host end to end: Run with string streams over a real
// database, checking exit statuses, output shapes, exact error texts and
// what was (or was not) written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "demo_catalogue.h"
#include "host.h"
#include "integration/test_databases.h"

namespace apartado::testing {
namespace {

using nlohmann::json;

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

const std::string kCrLf = "\r\n";

json Line(const std::string& product, double quantity, json extra = json::object()) {
  json line = {{"Producto", {{"Pr_Cve_Producto", product}}},
               {"Ap_Cantidad_1", quantity},
               {"Ap_Unidad_1", "PZA"},
               {"Ap_Cantidad_Control_2", quantity},
               {"Ap_Precio_Lista", 100}};
  line.update(extra);
  return line;
}

json Layaway(std::vector<json> lines, std::optional<bool> apartar = std::nullopt) {
  json layaway = {{"Encabezado",
                   {{"Mn_Cve_Moneda", "MXN"},
                    {"Ap_Tipo_Cambio", 1},
                    {"Sucursal", {{"Sc_Cve_Sucursal", "01"}}},
                    {"Almacen", {{"Al_Cve_Almacen", "01"}}},
                    {"Cliente", {{"Cl_Cve_Cliente", "C001"}}},
                    {"Vendedor", {{"Vn_Cve_Vendedor", "V01"}}},
                    {"Ap_Condicion_Venta", "AP30"},
                    {"Ap_Fecha_Entrega", "2026-03-10T15:30:00"}}},
                  {"Detalles", lines}};
  if (apartar) layaway["Apartar_Productos"] = *apartar;
  return layaway;
}

class CliTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("apartado-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter_));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  CliResult Cli(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", GetParam()});
    std::ostringstream out, err;
    std::istringstream in(input);
    const int status = cli::Run(args, out, err, in);
    return {status, out.str(), err.str()};
  }

  std::string File(const std::string& name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // A database with the schema and the demo catalogue (P100: 12 in stock).
  void Prepare() {
    ASSERT_EQ(Cli({"init"}).status, 0);
    CliResult load = Cli({"load", File("catalogue.json", cli::demo::Catalogue().dump())});
    ASSERT_EQ(load.status, 0) << load.err;
  }

  long long Count(const std::string& sql) {
    return static_cast<long long>(Db().Query("SELECT COUNT(*) AS n FROM " + sql).Field("n").ToDouble());
  }

  json StockOf(const std::string& product) {
    CliResult stock = Cli({"--json", "stock", "--producto", product});
    EXPECT_EQ(stock.status, 0) << stock.err;
    json rows = json::parse(stock.out)["rows"];
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? json() : rows[0];
  }

  std::filesystem::path dir_;
  static inline int counter_ = 0;
};

TEST_P(CliTest, InitIsSafeToRepeatAndLoadInsertsEveryRow) {
  EXPECT_EQ(Cli({"init"}).status, 0);
  CliResult again = Cli({"--json", "init"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(json::parse(again.out), json::parse(R"({"ok": true, "error": ""})"));

  CliResult load = Cli({"--json", "load", File("catalogue.json", cli::demo::Catalogue().dump())});
  ASSERT_EQ(load.status, 0) << load.err;
  json loaded = json::parse(load.out);
  EXPECT_EQ(loaded["tables"]["Producto"], 3);
  EXPECT_EQ(loaded["tables"]["Lote"], 2);
  EXPECT_EQ(Count("Producto"), 3);
  // A date given in ISO form keeps its day; a Boolean goes in as 1 or 0.
  EXPECT_EQ(Db().Query("SELECT Lt_Fecha_Caducidad AS d FROM Lote WHERE Lt_Cve_Lote = 'B-2026-01'")
                .Field("d")
                .ToText()
                .substr(0, 10),
            "2026-09-30");
  EXPECT_EQ(StockOf("P100")["Ex_Cantidad_Control_1"], 12);
}

TEST_P(CliTest, BadLoadInputIsRefusedNamingTheProblemAndWritesNothing) {
  ASSERT_EQ(Cli({"init"}).status, 0);
  const std::string good = R"({"Moneda": [{"Mn_Cve_Moneda": "USD", "Mn_Descripcion": "Dólar"}]})";
  struct Case {
    std::string name, content, expected;
  };
  const std::vector<Case> cases = {
      {"table", R"({"Moneda": [{"Mn_Cve_Moneda": "USD"}], "Monedas": [{"Mn_Cve_Moneda": "EUR"}]})",
       "table Monedas: no such table"},
      {"column", R"({"Moneda": [{"Mn_Cve_Moneda": "USD"}, {"Mn_Cve_Moneda": "EUR", "Mn_Simbolo": "E"}]})",
       "table Moneda, row 2, column Mn_Simbolo: no such column"},
      {"type",
       R"({"Moneda": [{"Mn_Cve_Moneda": "USD"}], "Cliente": [{"Cl_Cve_Cliente": "C1", "Cl_Dias_Credito": "30"}]})",
       "table Cliente, row 1, column Cl_Dias_Credito: expected a whole number, not text \"30\""},
      {"key type", R"({"Moneda": [{"Mn_Cve_Moneda": 840}]})",
       "table Moneda, row 1, column Mn_Cve_Moneda: expected text, not the number 840"},
      {"duplicate", R"({"Moneda": [{"Mn_Cve_Moneda": "USD"}, {"Mn_Cve_Moneda": "USD"}]})",
       "table Moneda, row 2, column Mn_Cve_Moneda: duplicate key (Mn_Cve_Moneda = USD)"},
      {"malformed", "{\"Moneda\": [\n  {\"Mn_Cve_Moneda\": \"USD\",}\n]}", "malformed JSON: parse error at line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = File(c.name + ".json", c.content);
    CliResult result = Cli({"load", path});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(path + ": " + c.expected), std::string::npos) << result.err;
    EXPECT_EQ(Count("Moneda"), 0);
  }
  CliResult asJson = Cli({"--json", "load", File("column.json", cases[1].content)});
  EXPECT_EQ(asJson.status, 2);
  EXPECT_EQ(json::parse(asJson.out)["ok"], false);
  EXPECT_NE(json::parse(asJson.out)["error"].get<std::string>().find("column Mn_Simbolo: no such column"),
            std::string::npos);
  // One transaction across files: a good file before a bad one is not kept.
  CliResult both = Cli({"load", File("good.json", good), File("bad.json", cases[1].content)});
  EXPECT_EQ(both.status, 2);
  EXPECT_EQ(Count("Moneda"), 0);
  // A key already stored is refused by the database; the message still names
  // the key columns, and the rest of the load is rolled back.
  ASSERT_EQ(Cli({"load", File("good.json", good)}).status, 0);
  const std::string again = File("again.json", R"({"Moneda": [{"Mn_Cve_Moneda": "EUR"}, {"Mn_Cve_Moneda": "USD"}]})");
  CliResult stored = Cli({"load", again});
  EXPECT_EQ(stored.status, 2);
  EXPECT_NE(stored.err.find(again + ": table Moneda, row 2, column Mn_Cve_Moneda: duplicate key (Mn_Cve_Moneda = "
                                    "USD), already stored: "),
            std::string::npos)
      << stored.err;
  EXPECT_EQ(Count("Moneda"), 1);
}

TEST_P(CliTest, BadCaptureInputIsRefusedBeforeAnythingIsWritten) {
  Prepare();
  const std::string valid = Layaway({Line("P100", 1)}).dump();
  struct Case {
    std::string name, content, expected;
  };
  const std::vector<Case> cases = {
      {"unknown line field",
       json::array({Layaway({Line("P100", 1)}), Layaway({Line("P100", 1), Line("P100", 1, {{"Ap_Cantidad", 2}})})})
           .dump(),
       ": layaway 2, line 2: unknown field \"Ap_Cantidad\""},
      {"nested type", Layaway({Line("P100", 1, {{"Producto", {{"Pr_Cve_Producto", 100}}}})}).dump(),
       ": layaway 1, line 1: field \"Producto.Pr_Cve_Producto\" must be text, not the number 100"},
      {"header date",
       [] {
         json l = Layaway({Line("P100", 1)});
         l["Encabezado"]["Ap_Fecha_Entrega"] = "10/03/2026";
         return l.dump();
       }(),
       ": layaway 1: field \"Encabezado.Ap_Fecha_Entrega\" must be a date such as \"2026-03-10T15:30:00\", not text"},
      {"layaway field", R"({"Encabezado": {}, "Lineas": []})", ": layaway 1: unknown field \"Lineas\""},
      {"malformed line", valid + "\n" + valid + "\n{\"Detalles\": [\n", ": input line 3: malformed JSON"},
      {"malformed document", "{\n  \"Encabezado\": {,\n}", ": malformed JSON: parse error at line 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = File("layaways.json", c.content);
    CliResult result = Cli({"capture", path});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(path + c.expected), std::string::npos) << result.err;
    EXPECT_EQ(Count("Apartado"), 0);
    EXPECT_EQ(Count("Folio"), 0);  // no folio was taken either
  }
}

TEST_P(CliTest, CaptureStoresTheLinesAndReservesTheirStock) {
  Prepare();
  CliResult text =
      Cli({"capture",
           File("one.json",
                Layaway({Line("P100", 4), Line("L300", 2, {{"Lote", {{"Lt_Cve_Lote", "B-2026-01"}}}})}).dump())});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Layaway 1: folio 0000000001"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("0002   L300"), std::string::npos) << text.out;
  EXPECT_EQ(StockOf("P100")["Ex_Cantidad_Apartado_Control_1"], 4);

  // JSON Lines on stdin, one layaway per line; --json gives every line's result.
  const std::string lines = Layaway({Line("P100", 1)}).dump() + "\n\n" + Layaway({Line("K200", 1)}, false).dump();
  CliResult result = Cli({"--json", "capture", "-"}, lines);
  ASSERT_EQ(result.status, 0) << result.err;
  json output = json::parse(result.out);
  EXPECT_EQ(output["ok"], true);
  ASSERT_EQ(output["layaways"].size(), 2u);
  EXPECT_FALSE(output.contains("folio"));  // two layaways: see "layaways"
  const json& first = output["layaways"][0];
  EXPECT_EQ(first["folio"], "0000000002");
  EXPECT_EQ(first["lines"][0]["Ap_ID"], "0001");
  EXPECT_EQ(first["lines"][0]["ok"], true);
  EXPECT_EQ(first["lines"][0]["messages"], json::array());
  EXPECT_EQ(first["lines"][0]["Detalle"]["Ap_Unidad_Control_1"], "PZA");  // completed from the catalogue
  EXPECT_EQ(first["lines"][0]["Detalle"]["Tl_Cve_Talla"], "00");
  EXPECT_EQ(output["layaways"][1]["folio"], "0000000003");
  EXPECT_EQ(StockOf("P100")["Ex_Cantidad_Apartado_Control_1"], 5);
  EXPECT_EQ(StockOf("K200")["Ek_Cantidad_Apartado"], 0);  // Apartar_Productos false: stored only

  CliResult show = Cli({"--json", "show", "0000000003"});
  json rows = json::parse(show.out)["rows"];
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0]["Pr_Cve_Producto"], "K200");
  EXPECT_EQ(rows[0]["Ap_Fecha_Entrega"].get<std::string>().substr(0, 10), "2026-03-10");
}

TEST_P(CliTest, RefusedLinesCarryTheComponentsTextsExactly) {
  Prepare();
  const std::string readOnly = "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!";
  const std::string noProduct = "El producto: NOPE, no existe o esta dado de baja";
  const json input =
      Layaway({Line("P100", 1), Line("P100", 1, {{"Ap_Cantidad_Control_1", 1}}), Line("NOPE", 1), Line("P100", 2)});
  CliResult result = Cli({"--json", "capture", File("refused.json", input.dump())});
  EXPECT_EQ(result.status, 1);
  json output = json::parse(result.out);
  EXPECT_EQ(output["ok"], false);
  EXPECT_EQ(output["error"], readOnly);
  EXPECT_EQ(output["folio"], "0000000001");
  const json& lines = output["lines"];
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1]["ok"], false);
  EXPECT_EQ(lines[1]["error"], readOnly);
  EXPECT_EQ(
      lines[1]["messages"],
      json::array(
          {{{"id", "ERR-ID:7500001"}, {"title", "ApartadosQZL.dll - Property Let Detalle()"}, {"text", readOnly}}}));
  EXPECT_EQ(lines[2]["error"], noProduct);
  // The refused line was not added in place of the line before it.
  EXPECT_EQ(lines[3]["Ap_ID"], "0002");
  EXPECT_EQ(Count("Apartado"), 2);
  EXPECT_NE(result.err.find("line 2 refused:\n" + readOnly + "\n"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("line 3 refused:\n" + noProduct + "\n"), std::string::npos) << result.err;
}

TEST_P(CliTest, OperationsAnswerWithTheirStatusAndExactErrorText) {
  Prepare();
  ASSERT_EQ(Cli({"capture", File("l.json", Layaway({Line("P100", 3)}, false).dump())}).status, 0);
  const std::string folio = "0000000001";

  CliResult reserve = Cli({"--json", "reserve", folio});
  EXPECT_EQ(reserve.status, 0) << reserve.err;
  EXPECT_EQ(json::parse(reserve.out), json::parse(R"({"ok": true, "error": ""})"));
  EXPECT_EQ(StockOf("P100")["Ex_Cantidad_Apartado_Control_1"], 3);
  EXPECT_EQ(Cli({"release", folio}).status, 0);
  EXPECT_EQ(StockOf("P100")["Ex_Cantidad_Apartado_Control_1"], 0);

  // Releasing what is not reserved: the component's text, byte for byte.
  const std::string notReserved = "apartadoQZL.dll - Desapartar_Producto() " + kCrLf +
                                  "No hay suficiente existencia apartada en el Control-1" + kCrLf + "sucursal:01" +
                                  kCrLf + "Almacén: 01" + kCrLf + "Producto:P100" + kCrLf + "Talla:00" + kCrLf +
                                  "Color:00" + kCrLf + "EXISTENCIA-APARTADA-CONTROL-1:0 -> DESAPARTAR-CONTROL-1:1" +
                                  kCrLf + "EXISTENCIA-APARTADA-CONTROL-2:0 -> DESAPARTAR-CONTROL-2:1" + kCrLf;
  CliResult release = Cli({"release-product", "01", "01", "P100", "00", "00", "1", "1"});
  EXPECT_EQ(release.status, 1);
  EXPECT_EQ(release.err, notReserved + "\n");
  CliResult releaseJson = Cli({"--json", "release-product", "01", "01", "P100", "00", "00", "1", "1", "S-1"});
  EXPECT_EQ(releaseJson.status, 1);
  EXPECT_EQ(json::parse(releaseJson.out)["error"], notReserved);

  EXPECT_EQ(Cli({"receivable", folio}).status, 0);
  EXPECT_EQ(Count("Cuenta_X_Cobrar"), 1);
  EXPECT_EQ(Cli({"finalize", folio}).status, 0);
  EXPECT_EQ(Cli({"cancel", "--keep-stock", folio}).status, 0);
  EXPECT_EQ(Count("Cuenta_X_Cobrar WHERE Es_Cve_Estado = 'CA'"), 0);  // left alone with --keep-stock

  struct Refusal {
    std::vector<std::string> args;
    std::string text;
  };
  const std::vector<Refusal> refusals = {
      {{"cancel", folio},
       "ApartadosQZL.dll - Cancelar_Apartado()" + kCrLf + "Imposible cancelar el apartado: " + folio +
           ", con estado = 'CA'"},
      {{"finalize", folio}, "apartadoQZL.dll - Finalizar_Apartado()" + kCrLf + "No se encontró el apartado: " + folio},
      {{"receivable", "X9"},
       "condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()" + kCrLf +
           "Imposible localizar el apartado con folio: X9"},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.args[0]);
    CliResult result = Cli(r.args);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, r.text + "\n");
    EXPECT_NE(result.out.find("answered False"), std::string::npos);
  }
}

TEST_P(CliTest, BadUsageExitsTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"reserve"}, {"frobnicate"}, {"release-product", "01", "01", "P1", "00", "00", "x", "1"}, {"load"}}) {
    SCOPED_TRACE(args[0]);
    CliResult result = Cli(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_FALSE(result.err.empty());
  }
  CliResult help = Cli({"capture", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: apartado capture"), std::string::npos);
}

APARTADO_INSTANTIATE_BACKENDS(CliTest);

TEST(CliDemo, RunsOnAFreshDatabaseEveryTimeAndNeverRemovesOtherFiles) {
  const auto dir = std::filesystem::temp_directory_path() / ("apartado-cli-demo-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string demo = (dir / "apartado-demo.db").string();
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    std::ostringstream out, err;
    std::istringstream in;
    EXPECT_EQ(cli::Run({"--db", demo, "demo"}, out, err, in), 0) << err.str();
    EXPECT_NE(out.str().find("folio 0000000001"), std::string::npos);  // fresh: the first folio again
    EXPECT_NE(out.str().find("ApartadosQZL.dll - Cancelar_Apartado()\r\nImposible cancelar el apartado: 0000000001, "
                             "con estado = 'CA'"),
              std::string::npos);
  }
  const std::string other = (dir / "mine.db").string();
  std::ofstream(other) << "keep me";
  std::ostringstream out, err;
  std::istringstream in;
  EXPECT_EQ(cli::Run({"--db", other, "demo"}, out, err, in), 2);
  EXPECT_TRUE(std::filesystem::exists(other));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace apartado::testing
