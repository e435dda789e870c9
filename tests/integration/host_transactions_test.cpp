// The command-line host as a shop runs it: separate processes of the real
// program on one database at the same time, and refusals under each policy.
// Stock must never be oversold, a refused operation must leave nothing (or,
// with --commit-on-refusal, exactly what the component did), and two
// sessions must never deadlock each other into a failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "demo_catalogue.h"
#include "integration/test_databases.h"

extern char** environ;

namespace apartado::testing {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

const char* const kShortForReserve = "No hay suficiente existencia en el control-1 para apartar";

json Line(const std::string& product, double quantity) {
  json line = {{"Ap_Cantidad_1", quantity}, {"Ap_Unidad_1", "PZA"}, {"Ap_Cantidad_Control_2", quantity}};
  line["Producto"]["Pr_Cve_Producto"] = product;
  return line;
}

// A layaway of the demo catalogue's branch, warehouse, seller and customer.
json Layaway(const std::vector<json>& lines, bool reserve = true) {
  json layaway = json::parse(R"({"Encabezado": {"Mn_Cve_Moneda": "MXN", "Ap_Tipo_Cambio": 1,
      "Sucursal": {"Sc_Cve_Sucursal": "01"}, "Almacen": {"Al_Cve_Almacen": "01"}, "Cliente": {"Cl_Cve_Cliente": "C001"},
      "Vendedor": {"Vn_Cve_Vendedor": "V01"}, "Ap_Condicion_Venta": "AP30"}})");
  layaway["Detalles"] = lines;
  layaway["Apartar_Productos"] = reserve;
  return layaway;
}

class HostTransactionsTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    static int counter = 0;
    dir_ = fs::temp_directory_path() /
           ("apartado-host-tx-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::create_directories(dir_);
    ASSERT_EQ(Run({"init"}).status, 0);
    const Outcome load = Run({"load", File("catalogue.json", cli::demo::Catalogue().dump())});
    ASSERT_EQ(load.status, 0) << load.err;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string File(const std::string& name, const std::string& content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  // Starts the program with --db and args; its output goes to files, and
  // its input comes from a pipe whose writing end is answered.
  std::pair<pid_t, int> Start(std::vector<std::string> args, int n) {
    args.insert(args.begin(), {APARTADO_CLI_PATH, "--db", GetParam()});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Only the child's own stdin stays open in it: a writing end inherited by
    // another child would keep that child waiting for its input to end.
    int input[2];
    EXPECT_EQ(pipe2(input, O_CLOEXEC), 0);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string out = OutputPath(n, "out"), err = OutputPath(n, "err");
    posix_spawn_file_actions_adddup2(&files, input[0], 0);
    posix_spawn_file_actions_addclose(&files, input[1]);
    posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    close(input[0]);
    return {pid, input[1]};
  }
  Outcome Wait(pid_t pid, int n) {
    Outcome outcome;
    int status = -1;
    waitpid(pid, &status, 0);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = Read(OutputPath(n, "out"));
    outcome.err = Read(OutputPath(n, "err"));
    return outcome;
  }
  Outcome Run(const std::vector<std::string>& args) {
    const auto [pid, input] = Start(args, 0);
    close(input);
    return Wait(pid, 0);
  }
  // Every command at once, each in its own process. Each is given `input`
  // only once all have started, so that those reading it ("capture -") go
  // on together.
  std::vector<Outcome> RunTogether(const std::vector<std::vector<std::string>>& commands,
                                   const std::string& input = "") {
    std::vector<std::pair<pid_t, int>> started;
    for (std::size_t n = 0; n < commands.size(); ++n) started.push_back(Start(commands[n], static_cast<int>(n) + 1));
    for (const auto& [pid, fd] : started) {
      EXPECT_EQ(write(fd, input.data(), input.size()), static_cast<ssize_t>(input.size()));
      close(fd);
    }
    std::vector<Outcome> outcomes;
    for (std::size_t n = 0; n < started.size(); ++n)
      outcomes.push_back(Wait(started[n].first, static_cast<int>(n) + 1));
    return outcomes;
  }

  std::string OutputPath(int n, const char* stream) { return (dir_ / (std::to_string(n) + "." + stream)).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // "available/reserved" of a product's stock row, control unit 1.
  std::string Stock(const std::string& product) {
    TableRecordset row = Db().Query(
        "SELECT Ex_Cantidad_Control_1 AS A, Ex_Cantidad_Apartado_Control_1 AS R FROM Existencia "
        "WHERE Pr_Cve_Producto = :p1",
        {Variant::FromText(product)});
    return row.Field("A").ToText() + "/" + row.Field("R").ToText();
  }
  std::string Rows(const std::string& sql) {
    std::string text;
    for (TableRecordset rows = Db().Query(sql); !rows.Eof(); rows.MoveNext()) {
      for (std::size_t i = 0; i < rows.Columns().size(); ++i)
        text += (i ? "|" : "") + rows.Field(rows.Columns()[i]).ToText();
      text += "\n";
    }
    return text;
  }
  // Makes every stock update take a while, as on a loaded server: a session
  // that decided on a stock level another is about to change has time to act
  // on it. (SQLite's transactions exclude each other whole.)
  void SlowStockUpdates() {
    if (!IsPostgres()) return;
    Db().RunScript(
        "CREATE FUNCTION slow_stock() RETURNS trigger AS $$ BEGIN PERFORM pg_sleep(0.1); RETURN NEW; END $$ "
        "LANGUAGE plpgsql; CREATE TRIGGER slow_stock BEFORE UPDATE ON Existencia FOR EACH ROW EXECUTE FUNCTION "
        "slow_stock();");
  }
  void SetStock(const std::string& product, double available) {
    Db().Command(
        "UPDATE Existencia SET Ex_Cantidad_Control_1 = :p2, Ex_Cantidad_Control_2 = :p2, "
        "Ex_Cantidad_Apartado_Control_1 = 0, Ex_Cantidad_Apartado_Control_2 = 0 WHERE Pr_Cve_Producto = :p1",
        {Variant::FromText(product), Variant::FromDouble(available)});
  }

  void CheckRefusals(const struct RefusalPolicy& policy);

  fs::path dir_;
};

// Sixteen shops' terminals each capture a layaway of 2 chairs while 10 are
// available: exactly five get them, the others are told there is not enough,
// and their refused lines leave no row behind.
TEST_P(HostTransactionsTest, SixteenProcessesCapturingTheLastChairsReserveExactlyWhatIsAvailable) {
  const std::string one = Layaway({Line("P100", 2)}).dump();
  SlowStockUpdates();
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Db().Command("DELETE FROM Apartado");
    SetStock("P100", 10);
    const std::vector<Outcome> outcomes = RunTogether(std::vector<std::vector<std::string>>(16, {"capture", "-"}), one);
    int stored = 0;
    for (const Outcome& o : outcomes) {
      if (o.status == 0) {
        ++stored;
      } else {
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_NE(o.err.find(kShortForReserve), std::string::npos) << o.err;
      }
    }
    EXPECT_EQ(stored, 5);
    EXPECT_EQ(Stock("P100"), "0/10");
    EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Ap_Folio) FROM Apartado"), "5|5\n");
  }
}

// Two layaways hold a chair and a varnish in opposite orders and there is
// stock for one of them: reserved together, one gets both and the other is
// refused for stock; neither ever fails on a deadlock.
TEST_P(HostTransactionsTest, LayawaysReservingTheSameProductsInOppositeOrdersNeverDeadlock) {
  SetStock("P100", 3);
  SetStock("L300", 3);
  const std::string two = File("two.json", "[" + Layaway({Line("P100", 2), Line("L300", 2)}, false).dump() + "," +
                                               Layaway({Line("L300", 2), Line("P100", 2)}, false).dump() + "]");
  ASSERT_EQ(Run({"capture", two}).status, 0);
  for (int round = 0; round < 3; ++round) {
    const std::vector<Outcome> both = RunTogether({{"reserve", "0000000001"}, {"reserve", "0000000002"}});
    ASSERT_EQ(both[0].status + both[1].status, 1) << both[0].err << both[1].err;
    for (const Outcome& o : both) EXPECT_EQ(o.err.find("deadlock"), std::string::npos) << o.err;
    EXPECT_NE((both[0].err + both[1].err).find(kShortForReserve), std::string::npos);
    EXPECT_EQ(Stock("P100"), "1/2");
    EXPECT_EQ(Stock("L300"), "1/2");
    ASSERT_EQ(Run({"release", both[0].status == 0 ? "0000000001" : "0000000002"}).status, 0);
  }
}

// Two terminals cancel the same layaway at once: it is cancelled once, its
// stock comes back once, and the second is told it is already cancelled.
TEST_P(HostTransactionsTest, ALayawayCancelledTwiceAtOnceIsCancelledOnce) {
  SetStock("P100", 5);
  ASSERT_EQ(Run({"capture", File("one.json", Layaway({Line("P100", 2), Line("P100", 1)}).dump())}).status, 0);
  SlowStockUpdates();
  const std::vector<Outcome> both = RunTogether({{"cancel", "0000000001"}, {"cancel", "0000000001"}});
  EXPECT_EQ(both[0].status + both[1].status, 1) << both[0].err << both[1].err;
  EXPECT_NE((both[0].err + both[1].err).find("Imposible cancelar el apartado: 0000000001, con estado = 'CA'"),
            std::string::npos);
  EXPECT_EQ(Stock("P100"), "5/0");
}

// The same refusals under each policy: by default a refused line and a
// stopped whole-layaway reservation leave nothing; --commit-on-refusal keeps
// exactly what the component did before refusing.
struct RefusalPolicy {
  std::vector<std::string> option;
  const char* rows;      // Ap_ID|product of a layaway captured with its second line short
  const char* reserved;  // chairs available/reserved after reserving a layaway whose second row is short
};

void HostTransactionsTest::CheckRefusals(const RefusalPolicy& p) {
  SetStock("P100", 10);  // the dining-set kit K200 has 3
  std::vector<std::string> capture = p.option;
  capture.insert(capture.end(),
                 {"capture", File("short.json", Layaway({Line("P100", 1), Line("K200", 5), Line("P100", 2)}).dump())});
  const Outcome captured = Run(capture);
  EXPECT_EQ(captured.status, 1);
  EXPECT_NE(captured.err.find("No hay suficiente existencia en el kit para apartar"), std::string::npos)
      << captured.err;
  EXPECT_EQ(Rows("SELECT Ap_ID, Pr_Cve_Producto FROM Apartado ORDER BY Ap_ID"), p.rows);
  EXPECT_EQ(Stock("P100"), "7/3");
  EXPECT_EQ(Rows("SELECT Ek_Cantidad, Ek_Cantidad_Apartado FROM Existencia_Kit"), "3|0\n");

  // A stored layaway (not reserved at capture) whose second row is short.
  ASSERT_EQ(Run({"capture", File("stored.json", Layaway({Line("P100", 2), Line("K200", 5)}, false).dump())}).status, 0);
  std::vector<std::string> reserve = p.option;
  reserve.insert(reserve.end(), {"reserve", "0000000002"});
  const Outcome stopped = Run(reserve);
  EXPECT_EQ(stopped.status, 1);
  EXPECT_EQ(
      stopped.err.rfind("apartado: Apartar(\"0000000002\") answered False:\ncondicionApartadoQZL.dll - Apartar()\r\n"
                        "apartadoQZL.dll - Aparta_Producto() ",
                        0),
      0u)
      << stopped.err;
  EXPECT_EQ(Stock("P100"), p.reserved);
}

TEST_P(HostTransactionsTest, ByDefaultARefusedLineOrReservationLeavesNothingAndLinesStayNumberedInOrder) {
  CheckRefusals({{}, "0001|P100\n0002|P100\n", "7/3"});
}

TEST_P(HostTransactionsTest, CommitOnRefusalKeepsExactlyWhatTheComponentDidBeforeRefusing) {
  CheckRefusals({{"--commit-on-refusal"}, "0001|P100\n0002|K200\n0003|P100\n", "5/5"});
}

APARTADO_INSTANTIATE_BACKENDS(HostTransactionsTest);

}  // namespace
}  // namespace apartado::testing
