// What a newcomer fills a database with, through the built program: the
// schema listed as docs/schema.md shows it, the example catalogue loaded from
// JSON and from CSV, CSV as spreadsheets write it, and load --replace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <tuple>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using nlohmann::json;
using ::testing::StartsWith;

const std::string kExamples = std::string(APARTADO_SOURCE_DIR) + "/docs/examples/";

// The README example's line, as a layaway for capture.
const json kExampleLayaway = demo::ShopLayaway({demo::Line("P1", 2, {{"Ap_Precio_Lista", 899}})});

// The fenced block of docs/schema.md.
std::string DocsPage() {
  const std::string page = ReadFile(std::string(APARTADO_SOURCE_DIR) + "/docs/schema.md");
  const std::size_t start = page.find("```text\n") + 8;
  return page.substr(start, page.rfind("```") - start);
}

TEST(HostSchema, ListsEveryTableAndColumnAsTheDocsPageDoes) {
  const std::string dir = NewDirectory("schema");
  const ProgramRun all = RunHostProgram({"schema"}, dir);
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, DocsPage()) << "docs/schema.md differs from `apartado schema`: write the output into its block";

  const ProgramRun product = RunHostProgram({"schema", "producto"}, dir);
  EXPECT_EQ(product.out.substr(0, 9), "Producto\n");
  EXPECT_EQ(product.out.find("\nSucursal\n"), std::string::npos);
  const json listed = json::parse(RunHostProgram({"--json", "schema", "Producto"}, dir).out);
  ASSERT_EQ(listed.at("tables").size(), 1u);
  const json& columns = listed.at("tables").at(0).at("columns");
  EXPECT_EQ(columns.at(0), json::parse(R"({"name": "Pr_Cve_Producto", "type": "text", "key": true, "required": true,
                                         "default": "", "rule": ""})"));
  EXPECT_EQ(columns.at(1).at("rule"), "must not be empty: a product without a description counts as missing");

  const ProgramRun unknown = RunHostProgram({"schema", "Productos"}, dir);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_THAT(unknown.err,
              StartsWith("apartado: no such table in the suite schema: Productos (the tables: Sucursal, "));
  std::filesystem::remove_all(dir);
}

using HostLoad = HostProgramTest;

// The example catalogue, written from `apartado schema` alone, as JSON and as
// one CSV file per table: either captures the README's line alike.
TEST_P(HostLoad, ExampleCatalogueFromJsonOrCsvCapturesTheSameLine) {
  std::vector<std::string> csv = {"load"};
  for (const char* table : {"Sucursal", "Almacen", "Moneda", "Vendedor", "Cliente", "Condicion_Venta", "Unidad",
                            "Talla", "Color", "Producto", "Existencia"}) {
    csv.push_back(kExamples + "shop-csv/" + table + ".csv");
  }
  std::vector<json> captured;
  for (const std::vector<std::string>& load : {std::vector<std::string>{"load", kExamples + "shop.json"}, csv}) {
    db_ = OpenFresh(GetParam());
    const ProgramRun loaded = Run(load);  // creates the schema
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    captured.push_back(RunJson({"capture", "-"}, kExampleLayaway.dump()));
  }
  EXPECT_EQ(captured[0]["folio"], "0000000001");
  EXPECT_EQ(captured[0]["lines"][0]["Detalle"]["Ap_Precio_Neto_Importe"], 2085.68);  // 2 * 899 with 16 % tax
  EXPECT_EQ(captured[0]["lines"][0]["Detalle"]["Ap_Costo"], 450);
  EXPECT_EQ(captured[0], captured[1]);
  EXPECT_EQ(Value("SELECT Ex_Cantidad_Apartado_Control_1 FROM Existencia"), "2");
}

TEST_P(HostLoad, CsvIsReadAsSpreadsheetsWriteItAndItsFaultsNamed) {
  const std::string clients = File("Cliente.csv",
                                   "\xEF\xBB\xBF"
                                   "Cl_Cve_Cliente,Cl_Descripcion,Cl_Dias_Credito,Cl_Limite_Credito,Cl_Tipo_Cuenta\r\n"
                                   "C1,\"Hernández, Muebles \"\"La Silla\"\"\",30, 1500.5 ,\r\n"
                                   "\r\n"
                                   "C2,\"Dos\nlíneas\",,,\"\"\r\n"
                                   ",,,,\r\n");
  ProgramRun load = Run({"load", clients});
  ASSERT_EQ(load.status, 0) << load.err;
  EXPECT_EQ(load.out, "  Cliente: 2 rows\nLoaded 2 rows from 1 file in one transaction.\n");
  // An empty cell is not given: C1's account type is null, C2's credit
  // columns take their defaults; "" is an empty text.
  EXPECT_EQ(Rows("SELECT Cl_Cve_Cliente, Cl_Descripcion, Cl_Dias_Credito, Cl_Limite_Credito, Cl_Tipo_Cuenta "
                 "FROM Cliente ORDER BY Cl_Cve_Cliente"),
            "C1|Hernández, Muebles \"La Silla\"|30|1500.5|NULL\nC2|Dos\nlíneas|0|0|\n");
  // --table names the table of stdin; whole-number columns take true and false.
  load = Run({"load", "--table", "Almacen", "-"}, "Sc_Cve_Sucursal,Al_Cve_Almacen,Al_Maneja_Lotes\n01,01,true\n");
  ASSERT_EQ(load.status, 0) << load.err;
  EXPECT_EQ(Value("SELECT Al_Maneja_Lotes FROM Almacen"), "1");

  const std::string header = "Cl_Cve_Cliente,Cl_Descripcion,Cl_Dias_Credito\n";
  for (const auto& [name, content, expected] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"Cliente.csv", header + "C3,\"Tres,30\n", ": line 2: a quoted field is never closed"},
           {"Cliente.csv", header + "C3,Tr\"es,30\n", ": line 2: a quote inside an unquoted field"},
           {"Cliente.csv", header + "C3,\"Tres\"x,30\n", ": line 2: text after the closing quote of a field"},
           {"Cliente.csv", header + "C3,Tres,30\nC4,Cuatro\n", ": line 3: 2 fields, but the header names 3 columns"},
           {"Cliente.csv", header + "C3,Tres,treinta\n",
            ": table Cliente, row 1 (line 2), column Cl_Dias_Credito: expected a whole number, not text \"treinta\""},
           {"Cliente.csv", header + "C3,Tres,30\n\nC4,Cuatro,1.5\n",
            ": table Cliente, row 2 (line 4), column Cl_Dias_Credito: expected a whole number, not the number 1.5"},
           {"Cliente.csv", "Cl_Cve_Cliente,cl_cve_cliente\nC3,C3\n",
            ": line 1, the header: column cl_cve_cliente is named twice"},
           {"Clientes.csv", header + "C3,Tres,30\n", ": table Clientes: no such table"}}) {
    const std::string path = File(name, content);
    const ProgramRun refused = Run({"load", path});
    EXPECT_EQ(refused.status, 2) << expected;
    EXPECT_THAT(refused.err, StartsWith("apartado: " + path + expected));
  }
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Cliente"), "2");
}

TEST_P(HostLoad, ReplaceCorrectsStoredRowsByTheirKeyAndInsertsTheRest) {
  ASSERT_EQ(Run({"load", kExamples + "shop.json"}).status, 0);
  const ProgramRun twice = Run({"load", kExamples + "shop.json"});
  EXPECT_EQ(twice.status, 2);
  EXPECT_NE(twice.err.find("already stored: "), std::string::npos) << twice.err;
  EXPECT_NE(twice.err.find("(--replace updates stored rows)"), std::string::npos) << twice.err;

  const json replaced = RunJson({"load", "--replace", "-"}, R"({
    "Producto": [{"Pr_Cve_Producto": "P1", "Pr_Descripcion": "Silla de pino"},
                 {"Pr_Cve_Producto": "P2", "Pr_Descripcion": "Mesa", "Pr_Tipo_Producto": "01"}],
    "Existencia": [{"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "P1", "Tl_Cve_Talla": "00",
                    "Cl_Cve_Color": "00", "Ex_Cantidad_Control_1": 25, "Ex_Cantidad_Control_2": 25}]})");
  EXPECT_EQ(replaced.at("tables"), (json{{"Producto", 2}, {"Existencia", 1}}));
  EXPECT_EQ(replaced.at("updated"), (json{{"Producto", 1}, {"Existencia", 1}}));
  // P1's cost was not given: it is kept.
  EXPECT_EQ(Rows("SELECT Pr_Cve_Producto, Pr_Descripcion, Pr_Costo FROM Producto ORDER BY Pr_Cve_Producto"),
            "P1|Silla de pino|450\nP2|Mesa|0\n");
  EXPECT_EQ(Value("SELECT Ex_Cantidad_Control_1 FROM Existencia"), "25");
  // Stock re-synced from a spreadsheet: one column, the others kept.
  const ProgramRun resync = Run({"load", "--replace", "--table", "Existencia", "-"},
                                "Sc_Cve_Sucursal,Al_Cve_Almacen,Pr_Cve_Producto,Tl_Cve_Talla,Cl_Cve_Color,"
                                "Ex_Cantidad_Control_1\n01,01,P1,00,00,30\n");
  ASSERT_EQ(resync.status, 0) << resync.err;
  EXPECT_EQ(resync.out,
            "  Existencia: 1 rows (1 replaced stored rows)\nLoaded 1 rows from 1 file in one transaction.\n");
  EXPECT_EQ(Rows("SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Control_2 FROM Existencia"), "30|25\n");

  for (
      const auto& [input, expected] : std::vector<std::pair<std::string, std::string>>{
          {R"({"Historial_Seguimiento": [{"Hs_Folio": "1"}]})",
           "stdin: table Historial_Seguimiento: the table has no key, so --replace cannot tell"},
          {R"({"Producto": [{"Pr_Cve_Producto": "P3"}], "Existencia": [{"Pr_Cve_Producto": "P1", "Ex_Cantidad_Control_1": 1}]})",
           "stdin: table Existencia, row 1: --replace needs every key column (Sc_Cve_Sucursal, Al_Cve_Almacen, "
           "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color)"}}) {
    const ProgramRun refused = Run({"load", "--replace", "-"}, input);
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, StartsWith("apartado: " + expected));
  }
  EXPECT_EQ(Value("SELECT COUNT(*) FROM Producto"), "2");  // P3 was not kept
}

APARTADO_INSTANTIATE_BACKENDS(HostLoad);

}  // namespace
}  // namespace apartado::testing
