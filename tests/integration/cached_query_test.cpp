// A kept answer must never outlive the data it was read from: after each kind
// of change, CachedQuery answers what a fresh Query answers.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "apartado/database.h"
#include "integration/test_databases.h"

namespace apartado {
namespace {

const char* const kRead = "SELECT Valor FROM Dato WHERE Clave = :p1";

std::string Answer(const TableRecordset& rows) { return rows.Eof() ? "(none)" : rows.Field("Valor").ToText(); }

struct Change {
  const char* name;
  // Changes what kRead answers for 'A' (reading it again meanwhile where a
  // stale answer could be kept), through the database or a second connection.
  std::function<void(Database& db, const std::string& connection)> apply;
  const char* expected;
  bool needsSecondConnection = false;
};

void Run(Database& db, const std::string& text) { db.GetConnection().Execute(text); }
std::string Cached(Database& db) { return Answer(db.CachedQuery(kRead, {Variant::FromText("A")})); }

const Change kChanges[] = {
    {"own statement text", [](Database& db, auto&) { Run(db, "UPDATE Dato SET Valor = 'dos'"); }, "dos"},
    {"own bound command",
     [](Database& db, auto&) { db.Command("UPDATE Dato SET Valor = :p1", {Variant::FromText("dos")}); }, "dos"},
    {"another connection",
     [](Database&, const std::string& connection) {
       Database::Open(connection)->Command("UPDATE Dato SET Valor = 'dos'");
     },
     "dos", true},
    {"rolled back transaction",
     [](Database& db, auto&) {
       db.Begin();
       Run(db, "UPDATE Dato SET Valor = 'dos'");
       EXPECT_EQ(Cached(db), "dos");
       db.Rollback();
     },
     "uno"},
    {"savepoint rolled back",
     [](Database& db, auto&) {
       db.Begin();
       Run(db, "SAVEPOINT s");
       Run(db, "UPDATE Dato SET Valor = 'dos'");
       EXPECT_EQ(Cached(db), "dos");
       Run(db, "ROLLBACK TO s");
       EXPECT_EQ(Cached(db), "uno");
       Run(db, "UPDATE Dato SET Valor = 'tres'");
       db.Commit();
     },
     "tres"},
    {"table emptied whole", [](Database& db, auto&) { Run(db, "DELETE FROM Dato"); }, "(none)"},
    {"a trigger of another table",
     [](Database& db, auto&) {
       db.RunScript(
           "CREATE TABLE Otro (Valor TEXT); CREATE TRIGGER Copia AFTER INSERT ON Otro BEGIN "
           "UPDATE Dato SET Valor = NEW.Valor; END;");
       EXPECT_EQ(Cached(db), "uno");
       Run(db, "INSERT INTO Otro VALUES ('dos')");
     },
     "dos"},
    {"table replaced by a view",
     [](Database& db, auto&) {
       Run(db, "ALTER TABLE Dato RENAME TO Viejo");
       Run(db, "CREATE VIEW Dato AS SELECT Clave, 'vista' AS Valor FROM Viejo");
     },
     "vista"},
    {"table without rowid",
     [](Database& db, auto&) {
       db.RunScript(
           "CREATE TABLE Otro (Clave TEXT PRIMARY KEY, Valor TEXT) WITHOUT ROWID; "
           "INSERT INTO Otro VALUES ('A', 'uno'); DROP TABLE Dato; "
           "CREATE VIEW Dato AS SELECT * FROM Otro;");
       EXPECT_EQ(Cached(db), "uno");
       Run(db, "UPDATE Otro SET Valor = 'dos'");
     },
     "dos"},
    {"rows of another table kept apart",
     [](Database& db, auto&) {
       db.RunScript("CREATE TABLE Otro (Clave TEXT, Valor TEXT)");
       EXPECT_EQ(Cached(db), "uno");
       Run(db, "INSERT INTO Otro VALUES ('A', 'dos')");
     },
     "uno"},
};

class CachedQueryTest : public ::testing::TestWithParam<bool> {
 protected:
  bool OnFile() const { return GetParam(); }
};

TEST_P(CachedQueryTest, AnswerFollowsEveryKindOfChange) {
  for (const Change& change : kChanges) {
    if (change.needsSecondConnection && !OnFile()) continue;
    SCOPED_TRACE(change.name);
    const std::string connection = OnFile() ? testing::TestConnectionStrings().front() : ":memory:";
    auto db = testing::OpenFresh(connection);
    db->RunScript("CREATE TABLE Dato (Clave TEXT PRIMARY KEY, Valor TEXT); INSERT INTO Dato VALUES ('A', 'uno');");
    ASSERT_EQ(Cached(*db), "uno");
    ASSERT_EQ(Cached(*db), "uno");
    change.apply(*db, connection);
    EXPECT_EQ(Answer(db->Query(kRead, {Variant::FromText("A")})), change.expected);
    EXPECT_EQ(Cached(*db), change.expected);
  }
}

TEST_P(CachedQueryTest, EachParameterValueHasItsOwnAnswer) {
  auto db = testing::OpenFresh(OnFile() ? testing::TestConnectionStrings().front() : ":memory:");
  db->RunScript(
      "CREATE TABLE Dato (Clave TEXT PRIMARY KEY, Valor TEXT); INSERT INTO Dato VALUES ('A', 'uno'), "
      "('B', 'dos');");
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Answer(db->CachedQuery(kRead, {Variant::FromText("A")})), "uno");
    EXPECT_EQ(Answer(db->CachedQuery(kRead, {Variant::FromText("B")})), "dos");
    EXPECT_EQ(Answer(db->CachedQuery(kRead, {Variant::FromText("C")})), "(none)");
    // A number is bound as a number, not as the text that was kept for '1'.
    EXPECT_EQ(Answer(db->CachedQuery("SELECT typeof(:p1) AS Valor", {Variant::FromText("1")})), "text");
    EXPECT_EQ(Answer(db->CachedQuery("SELECT typeof(:p1) AS Valor", {Variant::FromLong(1)})), "integer");
  }
  // A count reads no column of its table, yet depends on it.
  const auto count = [&] { return db->CachedQuery("SELECT COUNT(*) AS Valor FROM Dato").Field("Valor").ToLong(); };
  EXPECT_EQ(count(), 2);
  db->Command("INSERT INTO Dato VALUES ('C', 'tres')");
  EXPECT_EQ(count(), 3);
}

// Inside a transaction holding the write lock, an answer is given again
// without asking; another connection's commit is seen by the next
// transaction, also one begun without the lock ("BEGIN", deferred).
TEST(CachedQueryReuse, AnswersAreGivenAgainAndAnotherConnectionsCommitIsSeenByTheNextTransaction) {
  const std::string connection = testing::TestConnectionStrings().front();
  auto db = testing::OpenFresh(connection);
  db->RunScript("CREATE TABLE Dato (Clave TEXT PRIMARY KEY, Valor TEXT); INSERT INTO Dato VALUES ('A', 'uno');");
  auto other = Database::Open(connection);
  EXPECT_EQ(Cached(*db), "uno");
  const std::uint64_t given = db->KeptAnswersGiven();
  db->Begin();
  EXPECT_EQ(Cached(*db), "uno");
  EXPECT_EQ(Cached(*db), "uno");
  db->Commit();
  EXPECT_EQ(db->KeptAnswersGiven(), given + 2);

  other->Command("UPDATE Dato SET Valor = 'dos'");
  db->Begin();
  EXPECT_EQ(Cached(*db), "dos");
  db->Commit();
  other->Command("UPDATE Dato SET Valor = 'tres'");
  apartado::Run(*db, "BEGIN");
  EXPECT_EQ(Cached(*db), "tres");
  apartado::Run(*db, "COMMIT");
}

TEST(CachedQueryConcurrency, CommitsOfAnotherThreadAreSeenInOrderAndOnceDone) {
  const std::string connection = testing::TestConnectionStrings().front();
  auto db = testing::OpenFresh(connection);
  db->RunScript("CREATE TABLE Dato (Clave TEXT PRIMARY KEY, Valor INTEGER); INSERT INTO Dato VALUES ('A', 0);");
  constexpr int kCommits = 100;
  std::atomic<bool> reading{false}, done{false};
  std::thread writer([&] {
    auto other = Database::Open(connection);
    while (!reading) std::this_thread::yield();  // the first commit comes after the first read
    for (int i = 1; i <= kCommits; ++i) other->Command("UPDATE Dato SET Valor = :p1", {Variant::FromLong(i)});
    done = true;
  });
  const auto read = [&] { return db->CachedQuery(kRead, {Variant::FromText("A")}).Field("Valor").ToLong(); };
  int last = 0, reads = 0;
  do {
    const int now = read();
    EXPECT_GE(now, last) << "a kept answer went back in time";
    last = now;
    ++reads;
    reading = true;
  } while (!done);
  writer.join();
  EXPECT_EQ(read(), kCommits);
  EXPECT_GT(reads, 1) << "no read overlapped the commits";
}

INSTANTIATE_TEST_SUITE_P(Sqlite, CachedQueryTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "OnFile" : "InMemory"); });

}  // namespace
}  // namespace apartado
