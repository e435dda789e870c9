#include "apartado/database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <regex>
#include <thread>

#include "apartado/failure.h"
#include "data/soci_connection.h"
#include "integration/test_databases.h"

namespace apartado {
namespace {

using testing::BackendTest;

class DatabaseTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    const char* dateType = IsPostgres() ? "TIMESTAMP" : "DATETIME";
    Db().RunScript(std::string("CREATE TABLE Prueba (Pr_Cve_Producto VARCHAR(20) PRIMARY KEY, "
                               "Pr_Descripcion VARCHAR(60), Pr_Costo DOUBLE PRECISION, Pr_Piezas INTEGER, "
                               "Pr_Grande BIGINT, Pr_Fecha ") +
                   dateType + ");");
  }

  std::unique_ptr<Recordset> Execute(const std::string& text) { return Db().GetConnection().Execute(text); }

  long long Count() { return Db().Query("SELECT COUNT(*) AS N FROM Prueba").Field("N").ToLong(); }

  // The description of the Failure the statement throws, or "" when it runs.
  std::string FailureOf(const std::string& text) {
    try {
      Execute(text);
    } catch (const Failure& f) {
      return f.what();
    }
    return "";
  }
};

// Seconds between two dates.
double SecondsApart(Date a, Date b) { return std::fabs(a - b) * 86400.0; }

Date LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return MakeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

TEST_P(DatabaseTest, StatementTextReachesTheDatabaseAsWritten) {
  // Odd blanks, accents, a colon and a comment marker inside quotes.
  Execute("INSERT  INTO Prueba ( Pr_Cve_Producto ,Pr_Descripcion)VALUES('A1' ,  'Almacén:  10:30 -- ñ;' )");
  auto rs = Execute("SELECT Pr_Descripcion FROM Prueba WHERE Pr_Cve_Producto = 'A1'");
  ASSERT_FALSE(rs->Eof());
  EXPECT_EQ(rs->Field("Pr_Descripcion").ToText(), "Almac\xC3\xA9n:  10:30 -- \xC3\xB1;");
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());

  if (IsPostgres()) {
    // The server sees the very text sent, blanks included.
    const std::string text = "SELECT  query   FROM pg_stat_activity WHERE pid = pg_backend_pid()";
    EXPECT_EQ(Execute(text)->Field("query").ToText(), text);
  }
}

TEST_P(DatabaseTest, GetDateWorksInAnUpdate) {
  if (IsPostgres())
    Db().RunScript(
        "CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp AS $$ SELECT LOCALTIMESTAMP(0) $$ "
        "LANGUAGE sql");
  Execute("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')");
  const Date before = LocalNow();
  Execute("UPDATE Prueba SET Pr_Fecha = GETDATE() WHERE Pr_Cve_Producto = 'A1'");
  const Date stored = Execute("SELECT Pr_Fecha FROM Prueba")->Field("PR_FECHA").ToDate();
  EXPECT_LT(SecondsApart(stored, before), 5.0) << FormatDateTime(stored) << " vs " << FormatDateTime(before);
  // Whole seconds, in the form the suite compares dates in.
  const std::string asText = FormatDateTime(Execute("SELECT GETDATE() AS Ahora")->Field("Ahora").ToDate());
  EXPECT_TRUE(std::regex_match(asText, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << asText;
}

TEST_P(DatabaseTest, SecondStatementIsRefusedAndNothingRuns) {
  Execute("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')");
  const char* stacked[] = {
      "INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('B1'); DELETE FROM Prueba",
      "DELETE FROM Prueba WHERE Pr_Cve_Producto = 'A1';INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('C1');",
      "SELECT * FROM Prueba; DROP TABLE Prueba",
      "UPDATE Prueba SET Pr_Descripcion = 'x' /* ; */ ; UPDATE Prueba SET Pr_Costo = 1",
  };
  for (const char* text : stacked) {
    EXPECT_EQ(FailureOf(text), kMultipleStatementsMessage) << text;
    auto rs = Execute("SELECT Pr_Cve_Producto, Pr_Descripcion, Pr_Costo FROM Prueba");
    ASSERT_FALSE(rs->Eof()) << text;
    EXPECT_EQ(rs->Field("Pr_Cve_Producto").ToText(), "A1");
    EXPECT_TRUE(rs->Field("Pr_Descripcion").IsNull());
    EXPECT_TRUE(rs->Field("Pr_Costo").IsNull());
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof()) << text;
  }
  // One statement with a trailing ';', or with ';' inside quotes, runs.
  EXPECT_EQ(FailureOf("UPDATE Prueba SET Pr_Descripcion = 'a;b' ;  "), "");
  EXPECT_EQ(Execute("SELECT Pr_Descripcion FROM Prueba;")->Field("Pr_Descripcion").ToText(), "a;b");
}

TEST_P(DatabaseTest, FieldNamesAreReadRegardlessOfCase) {
  Execute("INSERT INTO Prueba (Pr_Cve_Producto, Pr_Costo) VALUES ('A1', 2.5)");
  auto rs = Execute("SELECT Pr_Cve_Producto, Pr_Costo FROM Prueba");
  EXPECT_EQ(rs->Field("PR_CVE_PRODUCTO").ToText(), "A1");
  EXPECT_EQ(rs->Field("pr_cve_producto").ToText(), "A1");
  EXPECT_EQ(rs->Field("Pr_Costo").ToDouble(), 2.5);
  // Names are kept as the database gives them: PostgreSQL folds to lower case.
  const TableRecordset table = Db().Query("SELECT Pr_Cve_Producto FROM Prueba");
  ASSERT_EQ(table.Columns().size(), 1u);
  EXPECT_EQ(table.Columns()[0], IsPostgres() ? "pr_cve_producto" : "Pr_Cve_Producto");
}

TEST_P(DatabaseTest, ValuesBecomeVariantsByColumnType) {
  Execute("INSERT INTO Prueba VALUES ('A1', 'Uno', 12.75, 40000, 12345678901, '2026-03-10 15:30:45')");
  Execute("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('N1')");
  auto rs = Execute("SELECT * FROM Prueba WHERE Pr_Cve_Producto = 'A1'");
  EXPECT_EQ(rs->Field("Pr_Descripcion"), Variant::FromText("Uno"));
  EXPECT_EQ(rs->Field("Pr_Costo"), Variant::FromDouble(12.75));
  EXPECT_EQ(rs->Field("Pr_Piezas"), Variant::FromLong(40000));
  EXPECT_EQ(rs->Field("Pr_Grande"), Variant::FromDouble(12345678901.0));
  EXPECT_EQ(FormatDateTime(rs->Field("Pr_Fecha").ToDate()), "2026-03-10 15:30:45");

  auto nulls = Execute("SELECT * FROM Prueba WHERE Pr_Cve_Producto = 'N1'");
  for (const char* column : {"Pr_Descripcion", "Pr_Costo", "Pr_Piezas", "Pr_Grande", "Pr_Fecha"})
    EXPECT_TRUE(nulls->Field(column).IsNull()) << column;

  // Aggregates: SQLite answers them as text, PostgreSQL as numbers; either
  // way they convert to the number.
  auto sum = Execute("SELECT SUM(Pr_Costo) AS Total, COUNT(*) AS Filas FROM Prueba");
  EXPECT_EQ(sum->Field("Total").ToDouble(), 12.75);
  EXPECT_EQ(sum->Field("Filas").ToLong(), 2);
  // A query answering nothing is at its end at once, with its columns known.
  EXPECT_TRUE(Execute("SELECT * FROM Prueba WHERE 1 = 0")->Eof());
  EXPECT_EQ(Db().Query("SELECT Pr_Costo FROM Prueba WHERE 1 = 0").Columns().size(), 1u);
}

TEST_P(DatabaseTest, CommandsAnswerAnEmptyRecordset) {
  auto rs = Execute("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')");
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(Count(), 1);
  EXPECT_TRUE(Execute("DELETE FROM Prueba")->Eof());
  EXPECT_EQ(Count(), 0);
}

TEST_P(DatabaseTest, ErrorDescriptionIsTheDatabaseMessage) {
  Execute("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')");
  if (IsPostgres()) {
    EXPECT_EQ(FailureOf("SELECT * FROM Nada"), "relation \"nada\" does not exist");
    EXPECT_EQ(FailureOf("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')"),
              "duplicate key value violates unique constraint \"prueba_pkey\"");
    EXPECT_EQ(FailureOf("SELEC 1"), "syntax error at or near \"SELEC\"");
  } else {
    EXPECT_EQ(FailureOf("SELECT * FROM Nada"), "no such table: Nada");
    EXPECT_EQ(FailureOf("INSERT INTO Prueba (Pr_Cve_Producto) VALUES ('A1')"),
              "UNIQUE constraint failed: Prueba.Pr_Cve_Producto");
    EXPECT_EQ(FailureOf("SELEC 1"), "near \"SELEC\": syntax error");
  }
  // The same through the bound-parameter path.
  try {
    Db().Command("UPDATE Nada SET x = :p1", {Variant::FromLong(1)});
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()), IsPostgres() ? "relation \"nada\" does not exist" : "no such table: Nada");
  }
  // The connection is still usable afterwards.
  EXPECT_EQ(Count(), 1);
}

TEST_P(DatabaseTest, BoundParametersRoundTrip) {
  const std::string quoted = "O'Brien \"el\" :p2 -- ; Almacén";
  EXPECT_EQ(Db().Command(
                "INSERT INTO Prueba VALUES (:p1, :p2, :p3, :p4, :p5, :p6)",
                {Variant::FromText("A1"), Variant::FromText(quoted), Variant::FromDouble(0.1), Variant::FromInteger(7),
                 Variant::MakeNull(), Variant::FromDate(MakeDate(2026, 3, 10, 15, 30, 45))}),
            1);
  EXPECT_EQ(Db().Command("INSERT INTO Prueba (Pr_Cve_Producto, Pr_Descripcion) VALUES (:p1, :p2)",
                         {Variant::FromText("B1"), Variant()}),
            1);
  TableRecordset a = Db().Query("SELECT * FROM Prueba WHERE Pr_Cve_Producto = :p1", {Variant::FromText("A1")});
  ASSERT_FALSE(a.Eof());
  EXPECT_EQ(a.Field("Pr_Descripcion").ToText(), quoted);
  EXPECT_EQ(a.Field("Pr_Costo").ToDouble(), 0.1);
  EXPECT_EQ(a.Field("Pr_Piezas").ToLong(), 7);
  EXPECT_TRUE(a.Field("Pr_Grande").IsNull());
  EXPECT_EQ(FormatDateTime(a.Field("Pr_Fecha").ToDate()), "2026-03-10 15:30:45");
  TableRecordset b =
      Db().Query("SELECT Pr_Descripcion FROM Prueba WHERE Pr_Cve_Producto = :p1", {Variant::FromText("B1")});
  EXPECT_TRUE(b.Field("Pr_Descripcion").IsNull());

  // Command answers the rows it changed.
  EXPECT_EQ(Db().Command("UPDATE Prueba SET Pr_Piezas = :p1", {Variant::FromLong(3)}), 2);
  EXPECT_EQ(Db().Command("DELETE FROM Prueba WHERE Pr_Cve_Producto = :p1", {Variant::FromText("Z9")}), 0);
}

TEST_P(DatabaseTest, PreparedStatementsAreReusedWithNewParameters) {
  for (const char* key : {"A1", "B2", "C3"})
    Db().Command("INSERT INTO Prueba (Pr_Cve_Producto, Pr_Descripcion, Pr_Piezas) VALUES (:p1, :p2, :p3)",
                 {Variant::FromText(key), Variant::FromText(std::string("Producto ") + key),
                  Variant::FromLong(static_cast<std::int32_t>(key[1] - '0'))});
  const std::string lookup = "SELECT Pr_Descripcion FROM Prueba WHERE Pr_Cve_Producto = :p1";
  for (int round = 0; round < 2; ++round) {
    for (const char* key : {"C3", "A1", "B2"})
      EXPECT_EQ(Db().Query(lookup, {Variant::FromText(key)}).Field("Pr_Descripcion").ToText(),
                std::string("Producto ") + key);
    EXPECT_TRUE(Db().Query(lookup, {Variant::FromText("Z9")}).Eof());
  }
  // A parameter used twice and out of order; the same text with another kind
  // of value (a NULL) in the same place.
  const std::string either =
      "SELECT COUNT(*) AS N FROM Prueba WHERE Pr_Piezas > :p2 OR Pr_Cve_Producto = :p1 "
      "OR Pr_Descripcion = :p2";
  EXPECT_EQ(Db().Query(either, {Variant::FromText("A1"), Variant::FromLong(2)}).Field("N").ToLong(), 2);
  EXPECT_EQ(Db().Query(either, {Variant::FromText("B2"), Variant::FromLong(0)}).Field("N").ToLong(), 3);
  EXPECT_EQ(Db().Query(either, {Variant::FromText("B2"), Variant::MakeNull()}).Field("N").ToLong(), 1);
  EXPECT_EQ(Db().Query(either, {Variant::FromText("A1"), Variant::FromLong(2)}).Field("N").ToLong(), 2);
}

TEST_P(DatabaseTest, QueryOverAStatementAnsweringNoRowsStillRunsIt) {
  const TableRecordset none =
      Db().Query("INSERT INTO Prueba (Pr_Cve_Producto) VALUES (:p1)", {Variant::FromText("A1")});
  EXPECT_TRUE(none.Eof());
  EXPECT_TRUE(none.Columns().empty());
  EXPECT_EQ(Count(), 1);
}

TEST_P(DatabaseTest, UnquotedColonWordInATextIsTakenAsAPlaceholder) {
  // Nothing is bound to it: SQLite reads NULL, PostgreSQL refuses the text.
  Execute("INSERT INTO Prueba (Pr_Cve_Producto, Pr_Descripcion) VALUES ('A1', 'x')");
  const std::string text = "UPDATE Prueba SET Pr_Descripcion = :nada";
  if (IsPostgres()) {
    EXPECT_EQ(FailureOf(text), "there is no parameter $1");
  } else {
    EXPECT_EQ(FailureOf(text), "");
    EXPECT_TRUE(Execute("SELECT Pr_Descripcion FROM Prueba")->Field("Pr_Descripcion").IsNull());
  }
}

TEST_P(DatabaseTest, PostgresCastsAndBooleansPassThrough) {
  if (!IsPostgres()) GTEST_SKIP() << "PostgreSQL syntax";
  // "::" is a cast, not a placeholder, on both paths.
  auto rs = Execute("SELECT '5'::integer AS Cinco, true AS Si, false AS No, 2.50::numeric(8,2) AS Monto");
  EXPECT_EQ(rs->Field("Cinco"), Variant::FromLong(5));
  EXPECT_EQ(rs->Field("Si").ToBoolean(), kTrue);
  EXPECT_EQ(rs->Field("No").ToBoolean(), kFalse);
  EXPECT_EQ(rs->Field("Monto"), Variant::FromDouble(2.5));
  EXPECT_EQ(Db().Query("SELECT CAST(:p1 AS integer) + '1'::integer AS x", {Variant::FromText("4")}).Field("x"),
            Variant::FromLong(5));
}

TEST_P(DatabaseTest, PlaceholderWithoutParameterIsRefused) {
  try {
    Db().Query("SELECT * FROM Prueba WHERE Pr_Cve_Producto = :p2", {Variant::FromText("A1")});
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()), "Placeholder :p2 has no parameter: 1 given");
  }
}

TEST_P(DatabaseTest, TransactionRollsBackUnlessCommitted) {
  {
    Transaction t(Db());
    Db().Command("INSERT INTO Prueba (Pr_Cve_Producto) VALUES (:p1)", {Variant::FromText("A1")});
    EXPECT_EQ(Count(), 1);
  }
  EXPECT_EQ(Count(), 0);
  {
    Transaction t(Db());
    Db().Command("INSERT INTO Prueba (Pr_Cve_Producto) VALUES (:p1)", {Variant::FromText("B1")});
    t.Commit();
  }
  EXPECT_EQ(Count(), 1);
  // Another connection sees only what was committed.
  auto other = Database::Open(GetParam());
  EXPECT_EQ(other->Query("SELECT Pr_Cve_Producto FROM Prueba").Field("Pr_Cve_Producto").ToText(), "B1");
  // A transaction left by an exception rolls back too.
  try {
    Transaction t(Db());
    Db().Command("DELETE FROM Prueba");
    throw Failure("interrupted");
  } catch (const Failure&) {
  }
  EXPECT_EQ(Count(), 1);
}

TEST_P(DatabaseTest, ConcurrentReadThenWriteTransactionsLoseNoUpdate) {
  // Each transaction reads a counter and writes it back plus one, from
  // several connections at once: the write lock taken at Begin (SQLite) or
  // the row lock (PostgreSQL) serialises them, and busy writers are waited
  // for rather than failed.
  Db().RunScript("CREATE TABLE Contador (Id INTEGER PRIMARY KEY, N INTEGER); INSERT INTO Contador VALUES (1, 0);");
  const std::string read = std::string("SELECT N FROM Contador WHERE Id = 1") + (IsPostgres() ? " FOR UPDATE" : "");
  constexpr int kThreads = 4;
  constexpr int kRounds = 25;
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      try {
        auto db = Database::Open(GetParam());
        for (int i = 0; i < kRounds; ++i) {
          Transaction tx(*db);
          const std::int32_t n = db->Query(read).Field("N").ToLong();
          db->Command("UPDATE Contador SET N = :p1 WHERE Id = 1", {Variant::FromLong(n + 1)});
          tx.Commit();
        }
      } catch (const Failure& f) {
        failures[static_cast<std::size_t>(t)] = f.what();
      }
    });
  for (std::thread& th : threads) th.join();
  for (const std::string& f : failures) EXPECT_EQ(f, "");
  EXPECT_EQ(Db().Query("SELECT N FROM Contador").Field("N").ToLong(), kThreads * kRounds);
}

TEST_P(DatabaseTest, RunScriptRunsEveryStatement) {
  std::string script =
      "CREATE TABLE Uno (Id INTEGER PRIMARY KEY, Texto VARCHAR(20));\n"
      "INSERT INTO Uno VALUES (1, 'a;b');  -- a comment; with a semicolon\n"
      "INSERT INTO Uno VALUES (2, 'c');\n";
  if (IsPostgres())
    script +=
        "CREATE OR REPLACE FUNCTION dos() RETURNS integer AS $$ BEGIN PERFORM 1; RETURN 2; END; $$ LANGUAGE plpgsql;\n"
        "INSERT INTO Uno VALUES (dos() + 1, 'd');";
  else
    script += "INSERT INTO Uno VALUES (3, 'd');";
  Db().RunScript(script);
  TableRecordset rows = Db().Query("SELECT Id, Texto FROM Uno ORDER BY Id");
  ASSERT_EQ(rows.Rows().size(), 3u);
  EXPECT_EQ(rows.Field("Texto").ToText(), "a;b");
  EXPECT_EQ(rows.Rows()[2][0].ToLong(), 3);

  try {
    Db().RunScript("INSERT INTO Uno VALUES (4, 'e'); INSERT INTO Nada VALUES (1);");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()), IsPostgres() ? "relation \"nada\" does not exist" : "no such table: Nada");
  }
}

APARTADO_INSTANTIATE_BACKENDS(DatabaseTest);

TEST(DatabaseOpen, UnknownSchemeIsRefused) {
  try {
    Database::Open("mysql://localhost/db");
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()),
              "Unknown database kind \"mysql:\" in the connection string: use a file path, sqlite:PATH, "
              "postgresql://... or odbc:...");
  }
}

TEST(DatabaseOpen, FailuresCarryTheBackendsMessage) {
  struct Case {
    std::string connection;
    std::string message;
  } cases[] = {
      // No ODBC driver is installed here: the driver manager answers.
      {"odbc:DSN=NoSuchSource", "[unixODBC][Driver Manager]Data source name not found and no default driver specified"},
      {"/nonexistent-dir/apartado.db", "unable to open database file"},
      // Port 1 on loopback: nothing listens there.
      {"postgresql://postgres@127.0.0.1:1/postgres",
       "connection to server at \"127.0.0.1\", port 1 failed: Connection refused\n\tIs the server running on that "
       "host and accepting TCP/IP connections?"},
  };
  for (const Case& c : cases) {
    try {
      Database::Open(c.connection);
      ADD_FAILURE() << c.connection;
    } catch (const Failure& f) {
      EXPECT_EQ(std::string(f.what()), c.message) << c.connection;
    }
  }
}

TEST(DatabaseOpen, SqliteInMemoryAndPrefixedPath) {
  auto memory = Database::Open("sqlite::memory:");
  EXPECT_EQ(memory->GetBackend(), Backend::SQLite);
  memory->RunScript("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (5);");
  EXPECT_EQ(memory->Query("SELECT x FROM t").Field("x").ToLong(), 5);

  // A file database: WAL mode and foreign keys are on.
  const std::string path = testing::TestConnectionStrings().front();
  auto file = testing::OpenFresh("sqlite:" + path);
  EXPECT_EQ(file->Query("PRAGMA journal_mode").Field("journal_mode").ToText(), "wal");
  EXPECT_EQ(file->Query("PRAGMA foreign_keys").Field("foreign_keys").ToLong(), 1);
  EXPECT_EQ(file->Query("PRAGMA busy_timeout").Rows().at(0).at(0).ToLong(), 10000);
}

}  // namespace
}  // namespace apartado
