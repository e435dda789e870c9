// Transactions around operations, over the fake connection: what is begun,
// committed or rolled back, and what the object holds afterwards.
#include "apartado/operation_scope.h"

#include <gmock/gmock.h>

#include "unit/capture_fixture.h"

namespace apartado::capture_testing {
namespace {

using ::testing::ElementsAre;

constexpr double kMoreThanInStock = 2000;  // the fake warehouse holds 1000

class OperationScopeTest : public CaptureTest {
 protected:
  // The transaction statements, in the order the connection got them.
  std::vector<std::string> Transactions() {
    std::vector<std::string> found;
    for (const std::string& s : GetConnection().Statements())
      if (s.ends_with(" TRANS")) found.push_back(s);
    return found;
  }
  std::string Folio() { return object->Encabezado().Ap_Folio; }
};

TEST_F(OperationScopeTest, ARefusedFirstLineIsRolledBackAndTakesItsFolioAlongButLeavesItsError) {
  Begin();
  EXPECT_EQ(RunInTransaction(*object, [&] { return Add(SampleLine(kMoreThanInStock)); }), kFalse);
  EXPECT_THAT(Transactions(), ElementsAre("BEGIN TRANS", "ROLLBACK TRANS"));
  EXPECT_EQ(Folio(), "");
  EXPECT_NE(object->Error().find("No hay suficiente existencia en el control-1 para apartar"), std::string::npos);
  // The next line starts the layaway again: a folio, and the first number.
  EXPECT_EQ(RunInTransaction(*object, [&] { return Add(SampleLine()); }), kTrue);
  EXPECT_EQ(Folio(), "A0000001");
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
}

// A line's scope meets a conflict: the whole transaction is rolled back and
// run again from the object as it was, so the layaway starts over.
TEST_F(OperationScopeTest, AConflictInsideRunsTheWholeWorkAgainFromTheObjectBeforeIt) {
  Begin();
  int runs = 0;
  GetConnection().health = [&] { return runs == 1 ? TransactionHealth::Conflict : TransactionHealth::Sound; };
  const Boolean answer = RunInTransaction(*object, [&] {
    ++runs;
    OperationScope line(*object);
    return line.Finish(Add(SampleLine()));
  });
  EXPECT_EQ(answer, kTrue);
  EXPECT_EQ(runs, 2);
  EXPECT_THAT(Transactions(), ElementsAre("BEGIN TRANS", "BEGIN TRANS", "ROLLBACK TRANS", "ROLLBACK TRANS",
                                          "BEGIN TRANS", "BEGIN TRANS", "COMMIT TRANS", "COMMIT TRANS"));
  EXPECT_EQ(object->Detalle().Ap_ID, "0001");
  EXPECT_EQ(GetScript().Count("Catalog.GetNextFolio"), 2);
}

TEST_F(OperationScopeTest, ConflictsBeyondTheAttemptsReachTheCallerWithTheObjectAsBefore) {
  Begin();
  GetConnection().health = [] { return TransactionHealth::Conflict; };
  int runs = 0;
  const std::string message = FailureOf([&] {
    RunInTransaction(*object,
                     [&] {
                       ++runs;
                       return Add(SampleLine(kMoreThanInStock));
                     },
                     {OnRefusal::RollBack, 3});
  });
  EXPECT_EQ(message.rfind("The operation was tried 3 times and each time conflicted with another session's work", 0),
            0u)
      << message;
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(Transactions().size(), 6u);
  EXPECT_EQ(Folio(), "");
  EXPECT_EQ(object->Error(), "");  // the refusal of a run that conflicted is not kept
}

}  // namespace
}  // namespace apartado::capture_testing
