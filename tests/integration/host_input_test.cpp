// The program itself, given what the component must never see: text that
// would end its quotes, numbers beyond their ranges, documents with nothing
// to capture or a key given twice, files that are not files. Each refusal
// exits 2 naming the value, and every row of the database is left as it was:
// no statement ran, no folio was taken, no other layaway was touched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <tuple>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// A refusal: the arguments after --db, a file's content when one is named
// by "FILE" in them, and what the message must say.
using Refusal = std::tuple<std::vector<std::string>, std::string, std::string>;

using demo::Chair;

// The demo layaway of one line.
json Layaway(const json& line = Chair(), const json& header = json::object()) { return demo::Layaway({line}, header); }

class HostInputTest : public DemoProgramTest {
 protected:
  void SetUp() override {
    DemoProgramTest::SetUp();
    // Layaway 0000000001: two chairs reserved; the refusals must leave it alone.
    const ProgramRun first = Run({"capture", File(Layaway(Chair({{"Ap_Cantidad_1", 2}})).dump())});
    ASSERT_EQ(first.status, 0) << first.err;
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all);
    DemoProgramTest::TearDown();
  }

  std::string File(const std::string& content) {
    return HostProgramTest::File("input-" + std::to_string(++files_) + ".json", content);
  }

  // Every row of the tables a command could change.
  std::string Snapshot() {
    std::string rows;
    for (const char* table : {"Apartado", "Existencia", "Existencia_Kit", "Lote", "Lote_Asignacion", "Serie", "Folio",
                              "Cuenta_X_Cobrar", "Historial_Seguimiento", "Producto", "Moneda"}) {
      rows += std::string(table) + ":\n" + Rows(std::string("SELECT * FROM ") + table);
    }
    return rows;
  }

  // Each case exits 2 with its message on stderr and leaves every row as it was.
  void ExpectRefused(const std::vector<Refusal>& cases) {
    const std::string before = Snapshot();
    for (auto [args, file, message] : cases) {
      if (!file.empty()) std::replace(args.begin(), args.end(), std::string("FILE"), File(file));
      const ProgramRun outcome = Run(args);
      EXPECT_EQ(outcome.status, 2) << message << "\n" << outcome.err;
      EXPECT_THAT(outcome.err, HasSubstr(message));
      EXPECT_EQ(Snapshot(), before) << message;
    }
  }

  int files_ = 0;
};

const std::string kRule = " (text may not hold quotes, backslashes or control characters)";

TEST_P(HostInputTest, TextThatWouldEndItsQuotesIsRefusedWhereverItIsGiven) {
  const std::string orTrue = "x' OR '1'='1";
  std::vector<Refusal> cases = {
      {{"capture", "FILE"},
       Layaway(Chair({{"Ap_Concepto",
                       "' || E'\\' ', NULL, 1); DELETE FROM Apartado; UPDATE Existencia SET Ex_Cantidad_Control_1 = 0; "
                       "--"}}))
           .dump(),
       ": layaway 1, line 1: field \"Ap_Concepto\" holds a single quote (') at character 1" + kRule},
      {{"capture", "FILE"},
       Layaway(Chair(), {{"Ap_Comentario", "C:\\temp\\"}}).dump(),
       "field \"Encabezado.Ap_Comentario\" holds a backslash (\\) at character 3"},
      {{"capture", "FILE"},
       Layaway(Chair({{"Ap_Concepto", std::string("a\0b", 3)}})).dump(),
       "field \"Ap_Concepto\" holds a NUL character at character 2"},
      {{"capture", "FILE"},
       Layaway(Chair({{"Lote", {{"Lt_Pedimento", "\x1b[2J"}}}})).dump(),
       "field \"Lote.Lt_Pedimento\" holds the control character U+001B at character 1"},
      {{"capture", "FILE"},
       Layaway(Chair({{"Serie", {{"UserDef", "\xc2\x85"}}}})).dump(),
       "field \"Serie.UserDef\" holds the control character U+0085 at character 1"},
      // The whole input is checked first: the good layaway before is not captured either.
      {{"capture", "FILE"},
       Layaway().dump() + "\n" + Layaway(Chair({{"Tl_Cve_Talla", "0'0"}})).dump(),
       ": layaway 2 (input line 2), line 1: field \"Tl_Cve_Talla\" holds a single quote"},
      {{"release-product", "01", "01", "P100' OR '1'='1", "00", "00", "1", "1"},
       "",
       "apartado: PRODUCTO holds a single quote (') at character 5"},
      {{"--operator", "ADMIN', 'x'); DELETE FROM Apartado; --", "capture", "FILE"},
       Layaway().dump(),
       "apartado: --operator (or APARTADO_OPERATOR) holds a single quote (') at character 6"},
      {{"--server-id", "S1\\", "reserve", "0000000001"}, "", "--server-id (or APARTADO_SERVER_ID) holds a backslash"},
      {{"load", "FILE"},
       R"({"Producto": [{"Pr_Cve_Producto": "OK", "Pr_Unidad_Control_1": "PZA\u0007"}]})",
       ": table Producto, row 1, column Pr_Unidad_Control_1: holds the control character U+0007 at character 4"},
  };
  for (const char* command : {"reserve", "release", "cancel", "finalize", "receivable"})
    cases.push_back({{command, orTrue}, "", "apartado: FOLIO holds a single quote (') at character 2"});
  ExpectRefused(cases);

  // Double quotes, accents, tabs and line breaks are text like any other; so is a quote in a description.
  const std::string comment = "Entrega \"urgente\",\tseñora Núñez\r\n";
  const ProgramRun captured = Run({"capture", File(Layaway(Chair(), {{"Ap_Comentario", comment}}).dump())});
  ASSERT_EQ(captured.status, 0) << captured.err;
  EXPECT_EQ(Value("SELECT Ap_Comentario FROM Apartado WHERE Ap_Folio = '0000000002'"), comment);
  EXPECT_EQ(Run({"load", File(R"({"Moneda": [{"Mn_Cve_Moneda": "CLP", "Mn_Descripcion": "Peso d'Chile"}]})")}).status,
            0);
}

TEST_P(HostInputTest, NumbersOutsideTheirRangesAreRefused) {
  const std::string quantity =
      ": must be a decimal number from 0 to 1000000000 in plain notation, such as 2 or 0.5, not ";
  std::vector<Refusal> cases = {
      {{"capture", "FILE"},
       Layaway(Chair({{"Ap_Precio_Lista", 1e308}})).dump(),
       "line 1: field \"Ap_Precio_Lista\" must be a number from -1000000000000 to 1000000000000, not 1E+308"},
      {{"capture", "FILE"},
       Layaway(Chair({{"Ap_Cantidad_1", -2e9}})).dump(),
       "line 1: field \"Ap_Cantidad_1\" must be a number from -1000000000 to 1000000000, not -2000000000"},
      {{"capture", "FILE"},
       Layaway(Chair(), {{"Ap_Tipo_Cambio", 1e7}}).dump(),
       "layaway 1: field \"Encabezado.Ap_Tipo_Cambio\" must be a number from -1000000 to 1000000, not 10000000"},
      {{"capture", "FILE"},
       Layaway(Chair(), {{"Cliente", {{"Cl_Dias_Credito", 18446744073709551615u}}}}).dump(),
       "field \"Encabezado.Cliente.Cl_Dias_Credito\" must be a whole number from -32768 to 32767"},
      {{"capture", "FILE"}, "{\"Detalles\": [{\"Ap_Costo\": 1e400}]}", ": malformed JSON: number overflow"},
      {{"load", "FILE"},
       R"({"Unidad_Conversion": [{"Un_Cve_Unidad_Origen": "CJA", "Un_Cve_Unidad_Destino": "PZA",
                            "Uc_Factor": 1e300}]})",
       ": table Unidad_Conversion, row 1, column Uc_Factor: must be a number from -1000000 to 1000000, not 1E+300"},
      {{"--statement-timeout", "ten", "stock"}, "", "--statement-timeout: must be seconds from 0 to 86400"},
  };
  for (const char* bad : {"-100", "0x10", "nan", "1e5", "1000000001", "2,5"})
    cases.push_back({{"release-product", "01", "01", "P100", "00", "00", bad, "0"}, "", "CANTIDAD1" + quantity + bad});
  cases.push_back(
      {{"release-product", "01", "01", "P100", "00", "00", "1", "inf"}, "", "CANTIDAD2" + quantity + "inf"});
  ExpectRefused(cases);

  // A plain decimal goes through: half a chair of the two reserved is available again.
  const ProgramRun released =
      Run({"--statement-timeout", "30", "release-product", "01", "01", "P100", "00", "00", "0.5", "0"});
  ASSERT_EQ(released.status, 0) << released.err;
  EXPECT_EQ(Stock("P100"), "10.5|1.5\n");
}

TEST_P(HostInputTest, DocumentsWithNothingToCaptureOrAKeyGivenTwiceAndFilesThatAreNotFilesAreRefused) {
  const std::string twice =
      R"({"Detalles": [{"Ap_Cantidad_1": 1}], "Apartar_Productos": true, "Apartar_Productos": false})";
  const std::string nestedTwice =
      Layaway().dump() + "\n" + R"({"Encabezado": {"Sucursal": {"Sc_Cve_Sucursal": "01", "Sc_Cve_Sucursal": "02"}}})";
  ExpectRefused({
      {{"capture", "FILE"}, "{}", ": layaway 1: no lines to capture (\"Detalles\" is missing or empty)"},
      {{"capture", "FILE"}, demo::Layaway({}).dump(), ": layaway 1: no lines to capture"},
      {{"capture", "FILE"}, "[]", ": nothing to capture: the input holds no layaway"},
      {{"capture", "FILE"},
       "[" + twice + "]",
       ": the key \"Apartar_Productos\" is given twice (at /0/Apartar_Productos)"},
      {{"capture", "FILE"},
       nestedTwice,
       ": input line 2: the key \"Sc_Cve_Sucursal\" is given twice (at /Encabezado/Sucursal/Sc_Cve_Sucursal)"},
      {{"load", "FILE"},
       R"({"Moneda": [{"Mn_Cve_Moneda": "USD", "Mn_Cve_Moneda": "EUR"}]})",
       ": the key \"Mn_Cve_Moneda\" is given twice (at /Moneda/0/Mn_Cve_Moneda)"},
      {{"capture", dir_}, "", dir_ + ": is a directory, not a file"},
      {{"capture", "/proc/self/mem"}, "", "/proc/self/mem: cannot read the file: Input/output error"},
      {{"capture", (fs::path(dir_) / "missing.json").string()},
       "",
       "missing.json: cannot open the file: No such file or directory"},
  });
}

// show, stock, list, ledger and check only read: they read a database in a folder this user
// cannot write, in WAL mode (as the host leaves every database it writes)
// or not, and create nothing. As root, the program runs as nobody.
TEST_P(HostInputTest, CommandsThatOnlyReadReadADatabaseNoOneMayWrite) {
  if (IsPostgres()) GTEST_SKIP() << "an SQLite file's permissions";
  const fs::path folder = fs::path(dir_) / "read-only";
  fs::create_directories(folder);
  const std::string wal = (folder / "wal.db").string(), journal = (folder / "journal.db").string();
  for (const std::string& copy : {wal, journal}) Db().Command("VACUUM INTO :p1", {Variant::FromText(copy)});
  Database::Open(wal).reset();
  ASSERT_FALSE(fs::exists(wal + "-wal"));
  const auto readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
  for (const std::string& copy : {wal, journal}) fs::permissions(copy, readable);
  fs::permissions(folder, readable | fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
  // Root may write anywhere: the program runs as nobody, who may not reach
  // the build tree either (a clone in a private folder), so the program and
  // its libraries are copied beside the databases.
  std::vector<std::string> program = {APARTADO_CLI_PATH};
  if (::geteuid() == 0) {
    const fs::path bin = fs::path(dir_) / "bin";
    fs::create_directories(bin);
    for (const auto& built : fs::directory_iterator(fs::path(APARTADO_CLI_PATH).parent_path())) {
      const std::string name = built.path().filename().string();
      if (name == "apartado" || name.rfind("libapartado", 0) == 0)
        fs::copy(built.path(), bin / name, fs::copy_options::copy_symlinks);
    }
    program = {"/usr/bin/setpriv",
               "--reuid=65534",
               "--regid=65534",
               "--clear-groups",
               "--",
               "/usr/bin/env",
               "LD_LIBRARY_PATH=" + bin.string(),
               (bin / "apartado").string()};
  }
  // Each command, and what it must print of the database's rows.
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> reads = {
      {{"show", "0000000001"}, {"Layaway 0000000001, dated ", "; 1 row\n"}},
      {{"--json", "stock", "--producto", "P100"}, {"\"Ex_Cantidad_Apartado_Control_1\":2"}},
      {{"--json", "list"}, {"\"Ap_Folio\":\"0000000001\""}},
      {{"--json", "ledger", "--folio", "0000000001"}, {"\"Me_Cambio_Apartado_Control_1\":2.0"}},
      {{"check"}, {}}};
  for (const std::string& copy : {wal, journal}) {
    for (const auto& [args, printed] : reads) {
      std::vector<std::string> argv = program;
      argv.insert(argv.end(), {"--db", copy});
      argv.insert(argv.end(), args.begin(), args.end());
      const ProgramRun run = RunProgram(argv, dir_);
      EXPECT_EQ(run.status, 0) << copy << " " << args[0] << " " << args.back() << ": " << run.out << run.err;
      for (const std::string& text : printed) EXPECT_NE(run.out.find(text), std::string::npos) << run.out;
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);  // nothing beside them
}

APARTADO_INSTANTIATE_BACKENDS(HostInputTest);

}  // namespace
}  // namespace apartado::testing
