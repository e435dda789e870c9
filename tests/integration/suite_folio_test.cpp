#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <thread>

#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::SuiteTest;
using testing::T;

class SuiteFolioTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    catalog_ = Factory().CreateCatalogServices();
  }
  std::string Next(const std::string& branch, const std::string& kind = "APARTADO", int width = 10) {
    return catalog_->GetNextFolio(branch, kind, width, -1).ToText();
  }
  std::shared_ptr<CatalogServices> catalog_;
};

TEST_P(SuiteFolioTest, EachBranchAndKindCountsFromOneInItsOwnSeries) {
  EXPECT_EQ(Next("01"), "0000000001");
  EXPECT_EQ(Next("01"), "0000000002");
  EXPECT_EQ(Next("02"), "0000000001");
  EXPECT_EQ(Next("01", "CUENTA_X_COBRAR"), "0000000001");
  EXPECT_EQ(Next("01"), "0000000003");
  EXPECT_EQ(Next(""), "0000000001");
  EXPECT_EQ(catalog_->GetErrorText(), "");
  EXPECT_EQ(Scalar("SELECT Fo_Siguiente AS V FROM Folio WHERE Sc_Cve_Sucursal = '01' AND Fo_Documento = 'APARTADO'")
                .ToDouble(),
            4);
}

TEST_P(SuiteFolioTest, AnExistingSeriesGoesOnFromItsNextNumberAndWidthPads) {
  Insert("Folio", {{"Sc_Cve_Sucursal", T("01")},
                   {"Fo_Documento", T("APARTADO")},
                   {"Fo_Siguiente", Variant::FromDouble(12345678901.0)}});
  EXPECT_EQ(Next("01", "APARTADO", 10), "12345678901");  // wider than asked: every digit kept
  EXPECT_EQ(Next("01", "APARTADO", 14), "00012345678902");
  EXPECT_EQ(Next("01", "APARTADO", 0), "12345678903");
}

TEST_P(SuiteFolioTest, AWithdrawnSeriesAnswersEmptyAndSaysWhy) {
  Insert("Folio", {{"Sc_Cve_Sucursal", T("01")},
                   {"Fo_Documento", T("APARTADO")},
                   {"Fo_Siguiente", Variant::FromLong(5)},
                   {"Es_Cve_Estado", T("BA")}});
  const Variant folio = catalog_->GetNextFolio("01", "APARTADO", 10, -1);
  EXPECT_TRUE(folio.IsEmpty());
  EXPECT_EQ(catalog_->GetErrorText(),
            "La serie de folios del documento: APARTADO, de la sucursal: 01, está dada de baja");
  EXPECT_EQ(Scalar("SELECT Fo_Siguiente AS V FROM Folio").ToDouble(), 5);
  EXPECT_TRUE(catalog_->GetNextFolio("01", "", 10, -1).IsEmpty());
  EXPECT_EQ(catalog_->GetErrorText(), "Debe indicar el tipo de documento del folio");
  EXPECT_EQ(Next("02"), "0000000001");
  EXPECT_EQ(catalog_->GetErrorText(), "");  // a success clears the last refusal
}

// Folios taken by several threads, each with its own services, and by child
// processes on their own connections: every number from 1 up is handed out
// exactly once.
TEST_P(SuiteFolioTest, FoliosStayUniqueUnderConcurrentThreadsAndProcesses) {
  constexpr int kThreads = 4, kProcesses = 2, kEach = 25;
  // No connection of this process may be open across fork().
  catalog_.reset();
  db_.reset();
  int pipes[kProcesses][2];
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    ASSERT_EQ(pipe(pipes[p]), 0);
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      close(pipes[p][0]);
      int status = 0;
      try {
        auto catalog = suite::MakeSuiteFactory(Options())->CreateCatalogServices();
        std::string out;
        for (int i = 0; i < kEach; ++i) out += catalog->GetNextFolio("01", "APARTADO", 10, -1).ToText() + "\n";
        status = write(pipes[p][1], out.data(), out.size()) == static_cast<ssize_t>(out.size()) ? 0 : 3;
      } catch (...) {
        status = 2;
      }
      _exit(status);
    }
    close(pipes[p][1]);
  }
  std::vector<std::vector<std::string>> taken(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        auto catalog = suite::MakeSuiteFactory(Options())->CreateCatalogServices();
        for (int i = 0; i < kEach; ++i) taken[t].push_back(catalog->GetNextFolio("01", "APARTADO", 10, -1).ToText());
      } catch (const std::exception& e) {
        taken[t].push_back(std::string("failure: ") + e.what());
      }
    });
  }
  for (std::thread& t : threads) t.join();
  std::multiset<std::string> all;
  for (const auto& list : taken) all.insert(list.begin(), list.end());
  for (int p = 0; p < kProcesses; ++p) {
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(pipes[p][0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    close(pipes[p][0]);
    int status = -1;
    waitpid(children[p], &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << p;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      all.insert(text.substr(at, end - at));
  }
  db_ = Database::Open(GetParam());
  EXPECT_EQ(Count("Folio"), 1);
  constexpr int kTotal = (kThreads + kProcesses) * kEach;
  ASSERT_EQ(all.size(), static_cast<std::size_t>(kTotal));
  std::set<std::string> expected;
  for (int i = 1; i <= kTotal; ++i) {
    char folio[16];
    std::snprintf(folio, sizeof folio, "%010d", i);
    expected.insert(folio);
  }
  EXPECT_EQ(std::set<std::string>(all.begin(), all.end()), expected);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteFolioTest);

}  // namespace
}  // namespace apartado
