// Answers kept on a PostgreSQL connection must never outlive what they were
// read from: after each kind of change, CachedQuery answers what a fresh
// Query answers, in the same transaction and in the next. A
// catalogue table whose version the suite schema keeps (Moneda) may be
// answered across transactions; any other only within one.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>

#include "apartado/database.h"
#include "apartado/failure.h"
#include "apartado/suite.h"
#include "integration/test_databases.h"

namespace apartado::testing {
namespace {

const char* const kMoneda = "SELECT * FROM Moneda WHERE Mn_Cve_Moneda = :p1";  // versioned by the schema
const char* const kDato = "SELECT * FROM Dato WHERE Clave = :p1";              // not versioned

std::string Value(const TableRecordset& rows) {
  if (rows.Eof()) return "(none)";
  return rows.Field(rows.ColumnIndex("Valor") >= 0 ? "Valor" : "Mn_Descripcion").ToText();
}

class KeptAnswersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* pg = std::getenv("APARTADO_TEST_PG");
    if (pg == nullptr || *pg == '\0') GTEST_SKIP() << "APARTADO_TEST_PG names no PostgreSQL server";
    db_ = OpenFresh(pg);
    suite::CreateSchema(*db_);
    db_->RunScript(
        "INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('A', 'uno');"
        "CREATE TABLE Dato (Clave TEXT PRIMARY KEY, Valor TEXT); INSERT INTO Dato VALUES ('A', 'uno');"
        // A table whose trigger writes Dato on UPDATE only, and a function that writes Dato.
        "CREATE TABLE Otro (Clave TEXT PRIMARY KEY, Valor TEXT); INSERT INTO Otro VALUES ('A', 'uno');"
        "CREATE FUNCTION Copia() RETURNS trigger AS $$ BEGIN UPDATE Dato SET Valor = NEW.Valor; RETURN NULL; END "
        "$$ LANGUAGE plpgsql;"
        "CREATE TRIGGER TR_Copia AFTER UPDATE ON Otro FOR EACH ROW EXECUTE FUNCTION Copia();"
        "CREATE FUNCTION Escribe(v TEXT) RETURNS INTEGER AS $$ UPDATE Dato SET Valor = v; SELECT 1 $$ LANGUAGE sql;");
    other_ = Database::Open(pg);
  }

  std::string Cached(const char* sql) { return Value(db_->CachedQuery(sql, {Variant::FromText("A")})); }
  std::string Fresh(const char* sql) { return Value(db_->Query(sql, {Variant::FromText("A")})); }

  std::unique_ptr<Database> db_, other_;
};

struct Change {
  const char* name;
  const char* read;
  // Runs inside the transaction the answer was kept in; may end it.
  std::function<void(Database& db, Database& other)> apply;
  const char* expected;
};

void Run(Database& db, const std::string& text) { db.GetConnection().Execute(text); }

// Another session runs the script once the transaction holding the answer has committed.
std::function<void(Database&, Database&)> Elsewhere(const char* script) {
  return [script](Database& db, Database& other) {
    db.Commit();
    other.RunScript(script);
  };
}

const Change kChanges[] = {
    {"another session's update of a versioned table, seen by the next transaction", kMoneda,
     Elsewhere("UPDATE Moneda SET Mn_Descripcion = 'dos'"), "dos"},
    {"another session empties a versioned table whole", kMoneda,
     Elsewhere("TRUNCATE Moneda; INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('A', 'tres')"), "tres"},
    {"the version trigger disabled, then an update", kMoneda,
     Elsewhere("ALTER TABLE Moneda DISABLE TRIGGER TR_Moneda_Version; UPDATE Moneda SET Mn_Descripcion = 'dos'"),
     "dos"},
    {"another session's update of a table without version", kDato, Elsewhere("UPDATE Dato SET Valor = 'dos'"), "dos"},
    {"own statement text", kDato, [](Database& db, Database&) { Run(db, "UPDATE Dato SET Valor = 'dos'"); }, "dos"},
    {"own update fires a trigger that writes the table", kDato,
     [](Database& db, Database&) { Run(db, "UPDATE Otro SET Valor = 'dos'"); }, "dos"},
    {"own upsert fires the update trigger", kDato,
     [](Database& db, Database&) {
       db.Command("INSERT INTO Otro VALUES ('A', 'tres') ON CONFLICT (Clave) DO UPDATE SET Valor = EXCLUDED.Valor");
     },
     "tres"},
    {"a query calling a function that writes", kDato,
     [](Database& db, Database&) { db.Query("SELECT Escribe('dos') AS hecho"); }, "dos"},
    {"own write in a savepoint rolled back", kDato,
     [](Database& db, Database&) {
       db.Begin();
       db.Command("UPDATE Dato SET Valor = 'dos'");
       EXPECT_EQ(Value(db.CachedQuery(kDato, {Variant::FromText("A")})), "dos");
       db.Rollback();
     },
     "uno"},
};

TEST_F(KeptAnswersTest, AnswersFollowEveryKindOfChangeInTheTransactionAndTheNext) {
  for (const Change& change : kChanges) {
    SCOPED_TRACE(change.name);
    SetUp();
    db_->Begin();
    ASSERT_EQ(Cached(change.read), "uno");
    ASSERT_EQ(Cached(change.read), "uno");
    change.apply(*db_, *other_);
    if (!db_->InTransaction()) db_->Begin();
    EXPECT_EQ(Fresh(change.read), change.expected);
    EXPECT_EQ(Cached(change.read), change.expected);
    db_->Commit();
    db_->Begin();
    EXPECT_EQ(Cached(change.read), change.expected);
    db_->Commit();
  }
}

TEST_F(KeptAnswersTest, OnlyAVersionedTablesAnswersAreGivenInLaterTransactionsAndNeverOutsideOne) {
  for (const char* read : {kMoneda, kDato}) {
    db_->Begin();
    Cached(read);
    db_->Commit();
    const std::uint64_t given = db_->KeptAnswersGiven();
    db_->Begin();
    EXPECT_EQ(Cached(read), "uno");
    db_->Commit();
    EXPECT_EQ(db_->KeptAnswersGiven() - given, read == kMoneda ? 1u : 0u) << read;
  }
  // Outside a transaction every read asks the server.
  const std::uint64_t given = db_->KeptAnswersGiven();
  Cached(kMoneda);
  other_->Command("UPDATE Moneda SET Mn_Descripcion = 'dos'");
  EXPECT_EQ(Cached(kMoneda), "dos");
  EXPECT_EQ(db_->KeptAnswersGiven(), given);
}

const char* const kStockRow =
    "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
    "Ex_Cantidad_Control_1) VALUES ('S', 'A', 'P', '00', '00', 5);";
const char* const kStockUpdate = "UPDATE Existencia SET Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 - 1";

// Statements sent while `work` runs, on any connection of the process.
std::uint64_t Sent(const std::function<void()>& work) {
  const std::uint64_t before = Database::StatementsSent();
  work();
  return Database::StatementsSent() - before;
}

// The stock ledger's triggers write only Movimiento_Existencia: a stock
// write leaves the kept catalogue answers as they were, in the transaction
// and in the next.
TEST_F(KeptAnswersTest, ACatalogueAnswerOutlivesAStockWriteThatTheLedgerRecords) {
  db_->RunScript(kStockRow);
  const auto movements = [&] {
    return db_->Query("SELECT COUNT(*) AS n FROM Movimiento_Existencia").Field("n").ToDouble();
  };
  const double before = movements();
  db_->Begin();
  ASSERT_EQ(Cached(kMoneda), "uno");
  db_->Command(kStockUpdate);
  std::string read;
  EXPECT_EQ(Sent([&] { read = Cached(kMoneda); }), 0u);
  EXPECT_EQ(read, "uno");
  db_->Commit();
  EXPECT_EQ(movements(), before + 1);  // the ledger's trigger did run
  db_->Begin();
  EXPECT_EQ(Sent([&] { read = Cached(kMoneda); }), 0u);
  EXPECT_EQ(read, "uno");
  db_->Commit();
}

// A trigger that writes the catalogue table drops its answer; one whose
// body cannot be told (EXECUTE) drops every answer.
TEST_F(KeptAnswersTest, ACatalogueAnswerIsDroppedWhenATriggerWritesItsTableOrMayWriteAnything) {
  db_->RunScript(std::string(kStockRow) +
                 "CREATE FUNCTION Toca_Moneda() RETURNS trigger AS $$\nBEGIN\n"
                 "  UPDATE Moneda SET Mn_Descripcion = 'tocada' WHERE Mn_Cve_Moneda = 'A';\n  RETURN NULL;\nEND\n"
                 "$$ LANGUAGE plpgsql;\n"
                 "CREATE TRIGGER TR_Toca_Moneda AFTER UPDATE ON Existencia FOR EACH ROW EXECUTE FUNCTION "
                 "Toca_Moneda();\n"
                 "INSERT INTO Existencia_Kit (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, "
                 "Cl_Cve_Color, Ek_Cantidad) VALUES ('S', 'A', 'K', '00', '00', 5);\n"
                 "CREATE FUNCTION Dinamica() RETURNS trigger AS $$\nBEGIN\n  EXECUTE 'SELECT 1';\n  RETURN NULL;\n"
                 "END\n$$ LANGUAGE plpgsql;\n"
                 "CREATE TRIGGER TR_Dinamica AFTER UPDATE ON Existencia_Kit FOR EACH ROW EXECUTE FUNCTION "
                 "Dinamica();\n");
  db_->Begin();
  ASSERT_EQ(Cached(kMoneda), "uno");
  db_->Command(kStockUpdate);
  std::string read;
  EXPECT_EQ(Sent([&] { read = Cached(kMoneda); }), 1u);
  EXPECT_EQ(read, "tocada");
  EXPECT_EQ(Sent([&] { read = Cached(kMoneda); }), 0u);
  db_->Command("UPDATE Existencia_Kit SET Ek_Cantidad = 4");
  EXPECT_EQ(Sent([&] { read = Cached(kMoneda); }), 1u);
  EXPECT_EQ(read, "tocada");
  db_->Commit();
  db_->Begin();
  EXPECT_EQ(Cached(kMoneda), "tocada");
  db_->Commit();
}

// A stock row read locked (FOR UPDATE) is one round trip within its
// transaction until this connection writes the table or rolls back, to a
// savepoint too; never kept in a later transaction, nor when no row was
// found.
TEST_F(KeptAnswersTest, ALockedReadIsKeptUntilAWriteOrARollbackWithinItsTransaction) {
  db_->RunScript(kStockRow);
  const char* const locked =
      "SELECT * FROM Existencia WHERE Sc_Cve_Sucursal = :p1 AND Al_Cve_Almacen = :p2 AND Pr_Cve_Producto = :p3 AND "
      "Tl_Cve_Talla = :p4 AND Cl_Cve_Color = :p5 FOR UPDATE";
  double quantity = -1;
  auto read = [&](const char* product) {
    return Sent([&] {
      const TableRecordset rows = db_->CachedQuery(locked, {Variant::FromText("S"), Variant::FromText("A"),
                                                            Variant::FromText(product), Variant::FromText("00"),
                                                            Variant::FromText("00")});
      quantity = rows.Eof() ? -1 : rows.Field("Ex_Cantidad_Control_1").ToDouble();
    });
  };
  db_->Begin();
  read("P");  // the first also reads the schema and the table versions
  EXPECT_EQ(quantity, 5);
  EXPECT_EQ(read("P"), 0u);
  EXPECT_EQ(quantity, 5);
  // The connection's own write, here in a savepoint: read again, the new
  // value; the savepoint rolled back, written in or not: read again.
  db_->Begin();
  EXPECT_EQ(read("P"), 0u);
  db_->Command(kStockUpdate);
  EXPECT_EQ(read("P"), 1u);
  EXPECT_EQ(quantity, 4);
  db_->Rollback();
  EXPECT_EQ(read("P"), 1u);
  EXPECT_EQ(quantity, 5);
  db_->Begin();
  EXPECT_EQ(read("P"), 0u);
  db_->Rollback();
  EXPECT_EQ(read("P"), 1u);
  EXPECT_EQ(quantity, 5);
  // No row: nothing locked, nothing kept; another session's new row is seen.
  EXPECT_EQ(read("Q"), 1u);
  EXPECT_EQ(quantity, -1);
  other_->Command(
      "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
      "Ex_Cantidad_Control_1) VALUES ('S', 'A', 'Q', '00', '00', 2)");
  EXPECT_EQ(read("Q"), 1u);
  EXPECT_EQ(quantity, 2);
  db_->Commit();
  // Outside a transaction every read is sent (a later transaction reading
  // the row again is shown by the warehouse services' stock test).
  EXPECT_EQ(read("P"), 1u);
  EXPECT_EQ(read("P"), 1u);
}

}  // namespace
}  // namespace apartado::testing
