#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "integration/suite_fixture.h"

namespace apartado::testing {
namespace {

// Folio series, and what callers racing from several threads and processes
// must never share: a folio, a document's receivable, a unit of a lot.
class SuiteFolioTest : public SuiteTest {
 protected:
  std::string Next(const std::string& branch, const std::string& kind = "APARTADO", int width = 10) {
    return Factory().CreateCatalogServices()->GetNextFolio(branch, kind, width, -1).ToText();
  }
};

TEST_P(SuiteFolioTest, EachBranchAndKindCountsInItsOwnSeriesPaddedToTheWidth) {
  auto catalog = Factory().CreateCatalogServices();
  EXPECT_TRUE(catalog->GetNextFolio("01", "", 10, -1).IsEmpty());
  EXPECT_EQ(catalog->GetNextFolio("01", "APARTADO", 10, -1).ToText(), "0000000001");
  EXPECT_EQ(catalog->GetErrorText(), "");  // a success clears the last refusal
  EXPECT_EQ(Next("01"), "0000000002");
  EXPECT_EQ(Next("02"), "0000000001");
  EXPECT_EQ(Next("01", "CUENTA_X_COBRAR"), "0000000001");
  EXPECT_EQ(Next("01"), "0000000003");
  EXPECT_EQ(Next(""), "0000000001");
  EXPECT_EQ(Rows("SELECT Fo_Siguiente FROM Folio WHERE Sc_Cve_Sucursal = '01' AND Fo_Documento = 'APARTADO'"), "4\n");
  // An existing series goes on from its next number; a longer number keeps every digit.
  Insert("Folio", "Sc_Cve_Sucursal, Fo_Documento, Fo_Siguiente", {{"03", "APARTADO", 12345678901.0}});
  EXPECT_EQ(Next("03", "APARTADO", 10), "12345678901");
  EXPECT_EQ(Next("03", "APARTADO", 14), "00012345678902");
  EXPECT_EQ(Next("03", "APARTADO", 0), "12345678903");
}

// Four threads and two child processes, each on its own connection, try to
// bill the same document, draw 3 units each from a lot that has 13 free, and
// take 25 folios each (recording each as a notice of the document).
TEST_P(SuiteFolioTest, ConcurrentThreadsAndProcessesNeverShareAFolioAReceivableOrALotUnit) {
  constexpr int kThreads = 4, kProcesses = 2, kFolios = 25;
  Insert("Cliente", "Cl_Cve_Cliente", {{"C1"}});
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Cantidad",
         {{"01", "A1", "P2", "00", "00", "L1", 10.0}, {"02", "A1", "P2", "00", "00", "L1", 3.0}});
  // Anything but an expected answer throws, so that the taker counts as failed.
  auto take = [this] {
    auto factory = suite::MakeSuiteFactory(Options());
    auto receivable = factory->CreateReceivableDocument();
    ReceivableHeader header = Header("F1");
    if (receivable->GenerateReceivable(header, kFalse, kFalse) != kTrue &&
        receivable->GetErrorText() != "Ya existe una cuenta por cobrar activa del documento: APARTADO F1")
      throw std::runtime_error(receivable->GetErrorText());
    for (int i = 0; i < 3; ++i)
      factory->CreateLotAssignment()->AssignLot("APARTADO", "F1", "1", "P2", "00", "00", "L1", 1, 0);
    auto catalog = factory->CreateCatalogServices();
    for (int i = 0; i < kFolios; ++i)
      catalog->NotifyDocument("APARTADO", catalog->GetNextFolio("01", "APARTADO", 10, -1).ToText(), "");
  };
  auto failed = [&] {
    try {
      take();
      return 0;
    } catch (...) {
      return 1;
    }
  };
  db_.reset();  // no connection of this process may be open across fork()
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = fork();
    if (child == 0) _exit(failed());  // before any thread starts: a child stays single-threaded
    children.push_back(child);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&] { failures += failed(); });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  for (pid_t child : children) {
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << child;
  }
  db_ = Database::Open(GetParam());
  EXPECT_EQ(Rows("SELECT COUNT(*), COUNT(DISTINCT Nd_Folio), MIN(Nd_Folio), MAX(Nd_Folio) FROM Notificacion_Documento"),
            "150|150|0000000001|0000000150\n");
  EXPECT_EQ(Rows("SELECT Fo_Documento, Fo_Siguiente FROM Folio ORDER BY Fo_Documento"),
            "APARTADO|151\nCUENTA_X_COBRAR|2\n");
  EXPECT_EQ(Count("Cuenta_X_Cobrar"), 1);
  EXPECT_EQ(Rows("SELECT Lt_Cantidad FROM Lote ORDER BY Sc_Cve_Sucursal"), "0\n0\n");
  EXPECT_EQ(Count("Lote_Asignacion"), 13);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteFolioTest);

}  // namespace
}  // namespace apartado::testing
