// The command-line host end to end: the program run over a real database,
// checking exit statuses, output shapes, exact error texts and what was (or
// was not) written; and the layaway records as it reads and
// writes them in JSON.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"
#include "record_json.h"

namespace apartado::testing {
namespace {

using nlohmann::json;

using demo::Layaway;
using demo::Line;

class CliTest : public DemoProgramTest {
 protected:
  // How many pieces of P100 are reserved, as `stock --json` shows it.
  json ReservedP100() {
    ProgramRun stock = Run({"--json", "stock", "--producto", "P100"});
    EXPECT_EQ(stock.status, 0) << stock.err;
    return json::parse(stock.out).at("rows").at(0).at("Ex_Cantidad_Apartado_Control_1");
  }
};

TEST_P(CliTest, InitOverALoadedDatabaseLoadAndCaptureAnswerInTheirShapes) {
  ProgramRun again = Run({"--json", "init"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(json::parse(again.out), json::parse(R"({"ok": true, "error": ""})"));
  EXPECT_EQ(Count("Lote WHERE Lt_Fecha_Caducidad = '2026-09-30 00:00:00'"), 1);  // an ISO date keeps its day

  // JSON Lines on stdin, one layaway per line; --json prints one object per
  // layaway, as each is committed, with every line's result.
  const std::string lines =
      demo::Unreserved(Layaway({Line("K200", 1)})).dump() + "\n\n" + Layaway({Line("P100", 1)}).dump();
  ProgramRun result = Run({"--json", "capture", "-"}, lines);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<json> layaways = JsonLines(result.out);
  ASSERT_EQ(layaways.size(), 2u);
  EXPECT_EQ(layaways.at(0).at("layaway"), 1);
  EXPECT_EQ(layaways.at(0).at("folio"), "0000000001");
  EXPECT_EQ(layaways.at(1).at("folio"), "0000000002");
  const json& line = layaways.at(0).at("lines")[0];
  EXPECT_EQ(line.at("Ap_ID"), "0001");
  EXPECT_EQ(line.at("ok"), true);
  EXPECT_EQ(line.at("messages"), json::array());
  EXPECT_EQ(line.at("Detalle").at("Ap_Unidad_Control_1"), "PZA");  // completed from the catalogue
  EXPECT_EQ(ReservedP100(), 1);
  EXPECT_EQ(Count("Existencia_Kit WHERE Ek_Cantidad_Apartado = 0"), 1);  // Apartar_Productos false: stored only
}

TEST_P(CliTest, BadInputExitsTwoNamingTheProblemAndWritesNothing) {
  // MXN is the catalogue's only currency.
  const std::string usd = R"({"Mn_Cve_Moneda": "USD"})", valid = Layaway({Line("P100", 1)}).dump();
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"load", "{\"Moneda\": [" + usd + R"(, {"Mn_Cve_Moneda": "EUR", "Mn_Simbolo": "E"}]})",
       ": table Moneda, row 2, column Mn_Simbolo: no such column"},
      {"load", R"({"Moneda": [{"Mn_Cve_Moneda": 840}]})",
       ": table Moneda, row 1, column Mn_Cve_Moneda: expected text, not the number 840"},
      {"load", "{\"Moneda\": [" + usd + ", " + usd + "]}",
       ": table Moneda, row 2, column Mn_Cve_Moneda: duplicate key (Mn_Cve_Moneda = USD)"},
      {"load", "{\"Moneda\": [\n  " + usd + ",\n]}", ": malformed JSON: parse error at line 3"},
      {"capture", "[" + valid + ", " + Layaway({Line("P100", 1), Line("P100", 1, {{"Ap_Cantidad", 2}})}).dump() + "]",
       ": layaway 2, line 2: unknown field \"Ap_Cantidad\""},
      {"capture", Layaway({Line("P100", 1, {{"Producto", {{"Pr_Cve_Producto", 100}}}})}).dump(),
       ": layaway 1, line 1: field \"Producto.Pr_Cve_Producto\" must be text, not the number 100"},
      {"capture", Layaway({Line("P100", 1)}, {{"Ap_Fecha_Entrega", "10/03/2026"}}).dump(),
       ": layaway 1: field \"Encabezado.Ap_Fecha_Entrega\" must be a date such as \"2026-03-10T15:30:00\", not text"},
      {"capture", valid + "\n" + valid + "\n{\"Detalles\": [\n", ": input line 3: malformed JSON"}};
  const std::string good = File("good.json", "{\"Moneda\": [" + usd + "]}");
  for (const auto& [command, content, expected] : cases) {
    const std::string path = File("bad.json", content);
    ProgramRun result = Run({command, path});
    EXPECT_EQ(result.status, 2) << expected;
    EXPECT_NE(result.err.find(path + expected), std::string::npos) << result.err;
    // One transaction across files: a good file before a bad one is not kept.
    if (command == "load") {
      EXPECT_EQ(Run({"load", good, path}).status, 2) << expected;
    }
    EXPECT_EQ(Count("Moneda") + Count("Apartado") + Count("Folio"), 1) << expected;  // not even a folio was taken
  }
  // A key already stored is refused by the database; the message still names
  // the key, and the rest of the load is rolled back.
  ASSERT_EQ(Run({"load", good}).status, 0);
  const std::string again = File("again.json", R"({"Moneda": [{"Mn_Cve_Moneda": "EUR"}, )" + usd + "]}");
  ProgramRun stored = Run({"--json", "load", again});
  EXPECT_EQ(stored.status, 2);
  const std::string named =
      again + ": table Moneda, row 2, column Mn_Cve_Moneda: duplicate key (Mn_Cve_Moneda = USD), already stored: ";
  EXPECT_EQ(json::parse(stored.out).at("error").get<std::string>().substr(0, named.size()), named);
  EXPECT_EQ(Count("Moneda"), 2);
}

TEST_P(CliTest, RefusedLinesAndOperationsCarryTheComponentsTextsExactly) {
  const std::string readOnly = "EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!";
  const std::string noProduct = "El producto: NOPE, no existe o esta dado de baja";
  const std::string path =
      File("refused.json",
           Layaway({Line("P100", 1), Line("P100", 1, {{"Ap_Cantidad_Control_1", 1}}), Line("NOPE", 1), Line("P100", 2)})
               .dump());
  ProgramRun result = Run({"--json", "capture", path});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "apartado: " + path + ": layaway 1, line 2 refused:\n" + readOnly + "\napartado: " + path +
                            ": layaway 1, line 3 refused:\n" + noProduct + "\n");
  const json output = json::parse(result.out);
  EXPECT_EQ(output.at("ok"), false);
  EXPECT_EQ(output.at("error"), readOnly);
  EXPECT_EQ(output.at("folio"), "0000000001");
  const json& lines = output.at("lines");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines.at(1).at("ok"), false);
  EXPECT_EQ(lines.at(1).at("error"), readOnly);
  const json message = {
      {"id", "ERR-ID:7500001"}, {"title", "ApartadosQZL.dll - Property Let Detalle()"}, {"text", readOnly}};
  EXPECT_EQ(lines.at(1).at("messages"), json::array({message}));
  EXPECT_EQ(lines.at(2).at("error"), noProduct);
  EXPECT_EQ(lines.at(3).at("Ap_ID"), "0002");  // the refused line was not added in place of the one before
  EXPECT_EQ(Count("Apartado"), 2);

  // A refused operation on a folio gives the component's text.
  EXPECT_EQ(ReservedP100(), 3);
  const std::string unknown = "ApartadosQZL.dll - Cancelar_Apartado()\r\nImposible localizar el apartado: X9";
  ProgramRun cancel = Run({"cancel", "X9"});
  EXPECT_NE(cancel.out.find("answered False"), std::string::npos) << cancel.out;
  EXPECT_EQ(json::parse(Run({"--json", "cancel", "X9"}).out), (json{{"ok", false}, {"error", unknown}}));
}

APARTADO_INSTANTIATE_BACKENDS(CliTest);

TEST(CliDemo, RunsOnAFreshDatabaseEveryTimeAndNeverRemovesOtherFiles) {
  const std::filesystem::path dir = NewDirectory("demo");
  for (int run = 1; run <= 2; ++run) {
    ProgramRun demo = RunHostProgram({"--db", (dir / "apartado-demo.db").string(), "demo"}, dir);
    EXPECT_EQ(demo.status, 0) << demo.err;
    EXPECT_NE(demo.out.find("folio 0000000001"), std::string::npos) << run;  // fresh: the first folio again
  }
  const std::string other = (dir / "mine.db").string();
  std::ofstream(other) << "keep me";
  EXPECT_EQ(RunHostProgram({"--db", other, "demo"}, dir).status, 2);
  EXPECT_TRUE(std::filesystem::exists(other));
  std::filesystem::remove_all(dir);
}

// The keys of an object in order, separated by blanks.
std::string Keys(const cli::Json& object) {
  std::string keys;
  for (auto it = object.begin(); it != object.end(); ++it) keys += (keys.empty() ? "" : " ") + it.key();
  return keys;
}

// Gives every leaf of a record's JSON a value of its own, of the leaf's kind:
// numbers, dates for the members named Fecha, texts.
void FillLeaves(cli::Json& object, int& counter) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    cli::Json& value = it.value();
    ++counter;
    if (value.is_object()) {
      FillLeaves(value, counter);
    } else if (value.is_number()) {
      value = value.is_number_integer() ? cli::Json(counter) : cli::Json(counter + 0.25);
    } else if (it.key().find("Fecha") != std::string::npos) {
      value = "2026-03-" + std::to_string(10 + counter % 18) + "T15:30:" + std::to_string(10 + counter % 40);
    } else {
      value = "v" + std::to_string(counter);
    }
  }
}

TEST(RecordJson, EveryFieldIsNamedAsInItsRecordInOrderAndReadBackAsWritten) {
  cli::Json header = host_json::EncabezadoToJson({}), line = host_json::DetalleToJson({});
  EXPECT_EQ(Keys(header),
            "Ap_Folio Ap_Fecha Ap_Fecha_Entrega Ap_Tabla Ap_Documento Ap_Referencia Ap_Comentario Mn_Cve_Moneda "
            "Ap_Tipo_Cambio Ap_Descuento_Global_Cuenta_Contable Ap_Descuento_Global_Factor "
            "Ap_Descuento_Global_Importe Zona Sucursal Almacen Cliente Vendedor Ap_Sin_Cargo Ap_Condicion_Venta");
  EXPECT_EQ(Keys(line),
            "Ap_ID Ap_Sucursal_Inventario Ap_Almacen_Inventario Ap_Partida Ap_Partida_Descripcion Producto "
            "Tl_Cve_Talla Cl_Cve_Color Ap_Concepto Ap_Cantidad_1 Ap_Unidad_1 Ap_Cantidad_Control_1 "
            "Ap_Unidad_Control_1 Ap_Cantidad_Control_2 Ap_Unidad_Control_2 Ap_Cantidad_Costo Ap_Unidad_Costo Ap_Costo "
            "Ap_Costo_Importe Pr_Folio Ap_Precio_Lista Ap_Precio_Lista_Importe Ap_Descuento_Factor "
            "Ap_Descuento_Importe Ap_Precio_Descontado Ap_Precio_Descontado_Importe Ap_Impuesto_Factor "
            "Ap_Impuesto_Importe Ap_Precio_Neto Ap_Precio_Neto_Importe Serie Lote");
  int counter = 0;
  FillLeaves(header, counter);
  FillLeaves(line, counter);
  tApEncabezado h;
  tApDetalle d;
  host_json::OverlayEncabezado(header, h);
  host_json::OverlayDetalle(line, d);
  EXPECT_EQ(host_json::EncabezadoToJson(h), header);
  EXPECT_EQ(host_json::DetalleToJson(d), line);
}

}  // namespace
}  // namespace apartado::testing
