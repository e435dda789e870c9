// The capture command run again over a file it partly stored, and what it
// tells on stderr while it runs: through Run with string streams, on each
// backend.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "demo_catalogue.h"
#include "host.h"
#include "integration/test_databases.h"

namespace apartado::testing {
namespace {

using nlohmann::json;

class CliCaptureTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("apartado-cli-capture-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_EQ(Cli({"init"}).status, 0);
    ASSERT_EQ(Cli({"load", File("catalogue.json", cli::demo::Catalogue().dump())}).status, 0);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  struct Result {
    int status;
    std::string out, err;
  };
  Result Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", GetParam()});
    std::ostringstream out, err;
    std::istringstream in;
    const int status = cli::Run(args, out, err, in);
    return {status, out.str(), err.str()};
  }
  std::string File(const std::string& name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  // JSON Lines: one layaway of one chair per reference ("" gives none).
  std::string Layaways(const std::vector<std::string>& references) {
    std::string lines;
    for (const std::string& reference : references) {
      json layaway = json::parse(R"({"Encabezado": {"Mn_Cve_Moneda": "MXN", "Ap_Tipo_Cambio": 1,
          "Sucursal": {"Sc_Cve_Sucursal": "01"}, "Almacen": {"Al_Cve_Almacen": "01"},
          "Cliente": {"Cl_Cve_Cliente": "C001"}, "Vendedor": {"Vn_Cve_Vendedor": "V01"}, "Ap_Condicion_Venta": "AP30"},
          "Detalles": [{"Producto": {"Pr_Cve_Producto": "P100"}, "Ap_Cantidad_1": 1, "Ap_Unidad_1": "PZA",
                        "Ap_Cantidad_Control_2": 1}]})");
      if (!reference.empty()) layaway["Encabezado"]["Ap_Referencia"] = reference;
      lines += layaway.dump() + "\n";
    }
    return File("layaways.jsonl", lines);
  }
  long long Scalar(const std::string& sql) { return static_cast<long long>(Db().Query(sql).Field("n").ToDouble()); }

  std::filesystem::path dir_;
};

TEST_P(CliCaptureTest, RunAgainWithSkipCapturedStoresOnlyWhatIsMissing) {
  ASSERT_EQ(Cli({"capture", Layaways({"R1", "R2"})}).status, 0);  // the run that was cut short
  const std::string file = Layaways({"R1", "R2", "R3", ""});
  const Result again = Cli({"--json", "capture", "--skip-captured", file});
  ASSERT_EQ(again.status, 0) << again.err;
  std::istringstream printed(again.out);
  std::vector<json> results;
  for (std::string line; std::getline(printed, line);) results.push_back(json::parse(line));
  ASSERT_EQ(results.size(), 4u);
  EXPECT_EQ(results[0]["skipped"], true);
  EXPECT_EQ(results[0]["folio"], "0000000001");
  EXPECT_EQ(results[0]["ok"], true);
  EXPECT_EQ(results[1]["folio"], "0000000002");
  EXPECT_EQ(results[2].contains("skipped"), false);
  EXPECT_EQ(results[2]["lines"].size(), 1u);
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS n FROM Apartado"), 4);  // R1, R2, R3 and the one without reference
  EXPECT_EQ(Scalar("SELECT Ex_Cantidad_Apartado_Control_1 AS n FROM Existencia WHERE Pr_Cve_Producto = 'P100'"), 4);

  const Result text = Cli({"capture", "--skip-captured", file});
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Layaway 3: skipped, reference R3 already stored as folio 0000000003"), std::string::npos)
      << text.out;
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS n FROM Apartado"), 5);  // a layaway without reference is captured again
  // Without the option a reference is no reason to skip.
  ASSERT_EQ(Cli({"capture", Layaways({"R1"})}).status, 0);
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS n FROM Apartado WHERE Ap_Referencia = 'R1'"), 2);
}

TEST_P(CliCaptureTest, ProgressAndSummaryGoToStderrWhenAskedAndNeverToStdout) {
  const std::string file = Layaways({"R1", "R2", "R3"});
  const Result asked = Cli({"capture", "--progress", file});
  ASSERT_EQ(asked.status, 0) << asked.err;
  EXPECT_NE(asked.err.find("capture: 0 of 3 lines, 0 of 3 layaways"), std::string::npos) << asked.err;
  EXPECT_NE(asked.err.find("capture: 3 layaways in "), std::string::npos) << asked.err;
  EXPECT_NE(asked.err.find(": 3 captured whole, 0 with refusals, 0 skipped; 3 lines stored, 0 refused"),
            std::string::npos)
      << asked.err;
  EXPECT_EQ(asked.out.find("capture:"), std::string::npos) << asked.out;
  // Quiet, or not a terminal and not asked: stderr holds only refusals.
  for (const std::vector<std::string>& options : {std::vector<std::string>{"-q", "--progress"}, {}}) {
    std::vector<std::string> args = {"capture"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(file);
    const Result quiet = Cli(args);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
  }
}

APARTADO_INSTANTIATE_BACKENDS(CliCaptureTest);

}  // namespace
}  // namespace apartado::testing
