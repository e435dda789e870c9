// The command-line host as a shop runs it: separate processes of the real
// program on one database at the same time, and refusals under each policy.
// Stock must never be oversold, a refused operation must leave nothing (or,
// with --commit-on-refusal, exactly what the component did), and two
// sessions must never deadlock each other into a failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using demo::json;
using demo::Layaway;
using demo::Line;
using demo::Unreserved;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const kShortForReserve = "No hay suficiente existencia en el control-1 para apartar";

class HostTransactionsTest : public DemoProgramTest {
 protected:
  // Every command at once, each in its own process started from a thread of
  // its own once all the threads are ready, each given input on its stdin.
  std::vector<ProgramRun> RunTogether(const std::vector<std::vector<std::string>>& commands,
                                      const std::string& input = "") {
    std::vector<ProgramRun> outcomes(commands.size());
    std::latch ready(static_cast<std::ptrdiff_t>(commands.size()));
    std::vector<std::thread> threads;
    for (std::size_t n = 0; n < commands.size(); ++n)
      threads.emplace_back([&, n] {
        ready.arrive_and_wait();
        outcomes[n] = Run(commands[n], input);
      });
    for (std::thread& thread : threads) thread.join();
    return outcomes;
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

  // The same refusals under each policy (its options before each command):
  // by default a refused line and a stopped whole-layaway reservation leave
  // nothing; --commit-on-refusal keeps exactly what the component did before
  // refusing. rows: Ap_ID|product of a layaway captured with its second line
  // short; reserved: chairs available|reserved after reserving a layaway whose
  // second row is short.
  void CheckRefusals(const std::vector<std::string>& policy, const std::string& rows, const std::string& reserved) {
    SetStock("P100", 10);  // the dining-set kit K200 has 3
    std::vector<std::string> capture = policy;
    capture.insert(
        capture.end(),
        {"capture", File("short.json", Layaway({Line("P100", 1), Line("K200", 5), Line("P100", 2)}).dump())});
    const ProgramRun captured = Run(capture);
    EXPECT_EQ(captured.status, 1);
    EXPECT_THAT(captured.err, HasSubstr("No hay suficiente existencia en el kit para apartar"));
    EXPECT_EQ(Rows("SELECT Ap_ID, Pr_Cve_Producto FROM Apartado ORDER BY Ap_ID"), rows);
    EXPECT_EQ(Stock("P100"), "7|3\n");
    EXPECT_EQ(Rows("SELECT Ek_Cantidad, Ek_Cantidad_Apartado FROM Existencia_Kit"), "3|0\n");

    // A stored layaway (not reserved at capture) whose second row is short.
    ASSERT_EQ(Capture(Unreserved(Layaway({Line("P100", 2), Line("K200", 5)}))), "0000000002");
    std::vector<std::string> reserve = policy;
    reserve.insert(reserve.end(), {"reserve", "0000000002"});
    const ProgramRun stopped = Run(reserve);
    EXPECT_EQ(stopped.status, 1);
    EXPECT_THAT(stopped.err, StartsWith("apartado: Apartar(\"0000000002\") answered False:\ncondicionApartadoQZL.dll - "
                                        "Apartar()\r\napartadoQZL.dll - Aparta_Producto() "));
    EXPECT_EQ(Stock("P100"), reserved);
  }
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
    const std::vector<ProgramRun> outcomes =
        RunTogether(std::vector<std::vector<std::string>>(16, {"capture", "-"}), one);
    int stored = 0;
    for (const ProgramRun& o : outcomes) {
      if (o.status == 0) {
        ++stored;
      } else {
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_THAT(o.err, HasSubstr(kShortForReserve));
      }
    }
    EXPECT_EQ(stored, 5);
    EXPECT_EQ(Stock("P100"), "0|10\n");
    EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Ap_Folio) FROM Apartado"), "5|5\n");
  }
}

// Two layaways hold a chair and a varnish in opposite orders and there is
// stock for one of them: reserved together, one gets both and the other is
// refused for stock; neither ever fails on a deadlock.
TEST_P(HostTransactionsTest, LayawaysReservingTheSameProductsInOppositeOrdersNeverDeadlock) {
  SetStock("P100", 3);
  SetStock("L300", 3);
  const json two = json::array({Unreserved(Layaway({Line("P100", 2), Line("L300", 2)})),
                                Unreserved(Layaway({Line("L300", 2), Line("P100", 2)}))});
  ASSERT_EQ(Run({"capture", File("two.json", two.dump())}).status, 0);
  for (int round = 0; round < 3; ++round) {
    const std::vector<ProgramRun> both = RunTogether({{"reserve", "0000000001"}, {"reserve", "0000000002"}});
    ASSERT_EQ(both[0].status + both[1].status, 1) << both[0].err << both[1].err;
    for (const ProgramRun& o : both) EXPECT_EQ(o.err.find("deadlock"), std::string::npos) << o.err;
    EXPECT_THAT(both[0].err + both[1].err, HasSubstr(kShortForReserve));
    EXPECT_EQ(Stock("P100"), "1|2\n");
    EXPECT_EQ(Stock("L300"), "1|2\n");
    ASSERT_EQ(Run({"release", both[0].status == 0 ? "0000000001" : "0000000002"}).status, 0);
  }
}

// Two terminals cancel the same layaway at once: it is cancelled once, its
// stock comes back once, and the second is told it is already cancelled.
TEST_P(HostTransactionsTest, ALayawayCancelledTwiceAtOnceIsCancelledOnce) {
  SetStock("P100", 5);
  ASSERT_EQ(Run({"capture", File("one.json", Layaway({Line("P100", 2), Line("P100", 1)}).dump())}).status, 0);
  SlowStockUpdates();
  const std::vector<ProgramRun> both = RunTogether({{"cancel", "0000000001"}, {"cancel", "0000000001"}});
  EXPECT_EQ(both[0].status + both[1].status, 1) << both[0].err << both[1].err;
  EXPECT_THAT(both[0].err + both[1].err, HasSubstr("Imposible cancelar el apartado: 0000000001, con estado = 'CA'"));
  EXPECT_EQ(Stock("P100"), "5|0\n");
}

TEST_P(HostTransactionsTest, ByDefaultARefusedLineOrReservationLeavesNothingAndLinesStayNumberedInOrder) {
  CheckRefusals({}, "0001|P100\n0002|P100\n", "7|3\n");
}

TEST_P(HostTransactionsTest, CommitOnRefusalKeepsExactlyWhatTheComponentDidBeforeRefusing) {
  CheckRefusals({"--commit-on-refusal"}, "0001|P100\n0002|K200\n0003|P100\n", "5|5\n");
}

APARTADO_INSTANTIATE_BACKENDS(HostTransactionsTest);

}  // namespace
}  // namespace apartado::testing
