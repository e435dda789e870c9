// Transactions of a Database: nested ones are savepoints; what befalls a
// transaction (a conflict with another session, a failure that spoils it) is
// remembered so that it is never committed by mistake.
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <algorithm>

#include "apartado/failure.h"
#include "database/connection_string.h"
#include "database/database_impl.h"
#include "database/odbc_direct.h"
#include "database/soci_results.h"

namespace apartado {
namespace {

std::string SavepointName(int depth) { return "apartado_" + std::to_string(depth); }

// Rows are locked in the order of their keys' bytes, whatever the database's
// collation, so that every holder takes them in one order.
const char* const kKeyOrder =
    " ORDER BY s.Sc_Cve_Sucursal COLLATE \"C\", s.Al_Cve_Almacen COLLATE \"C\", s.Pr_Cve_Producto COLLATE \"C\", "
    "s.Tl_Cve_Talla COLLATE \"C\", s.Cl_Cve_Color COLLATE \"C\" FOR UPDATE OF s";

// The stock rows a layaway's rows name.
std::string LayawayStockRows(const std::string& table) {
  return "SELECT s.Sc_Cve_Sucursal FROM " + table +
         " s WHERE EXISTS (SELECT 1 FROM Apartado a WHERE a.Ap_Folio = :p1 AND "
         "a.Ap_Sucursal_Inventario = s.Sc_Cve_Sucursal AND a.Ap_Almacen_Inventario = s.Al_Cve_Almacen AND "
         "a.Pr_Cve_Producto = s.Pr_Cve_Producto AND a.Tl_Cve_Talla = s.Tl_Cve_Talla AND "
         "a.Cl_Cve_Color = s.Cl_Cve_Color)" +
         kKeyOrder;
}

// The stock rows of `count` keys, bound five parameters each.
std::string StockRows(const std::string& table, std::size_t count) {
  std::string sql = "SELECT s.Sc_Cve_Sucursal FROM " + table +
                    " s WHERE (s.Sc_Cve_Sucursal, s.Al_Cve_Almacen, s.Pr_Cve_Producto, s.Tl_Cve_Talla, "
                    "s.Cl_Cve_Color) IN (";
  for (std::size_t k = 0; k < count; ++k) {
    sql += k ? ", (" : "(";
    for (std::size_t c = 1; c <= 5; ++c) sql += (c > 1 ? ", :p" : ":p") + std::to_string(5 * k + c);
    sql += ")";
  }
  return sql + ")" + kKeyOrder;
}

}  // namespace

void Database::Impl::Fail(const soci::soci_error& error) {
  // An ODBC driver tells a lost connection by its SQLSTATE (08...).
  const bool lost = backend == Backend::ODBC && error.get_error_category() == soci::soci_error::connection_error;
  Fail(DatabaseMessage(error), IsConflict(error), lost);
}

void Database::Impl::Fail(std::string message, bool conflict, bool lost) {
  if (answers) answers->DropAll();
  if (backend == Backend::ODBC && dialect == SqlDialect::PostgreSQL && depth > 0) failedOverOdbc = true;
  if (lost || (backend == Backend::PostgreSQL && PQstatus(postgres) == CONNECTION_BAD) ||
      (backend == Backend::ODBC && OdbcConnectionDead(session)))
    message = "Lost the connection to the database " + DisplayedConnection(connectionString) + ": " + message;
  if (conflict) {
    if (depth > 0) this->conflict = true;
    throw TransactionConflict(message);
  }
  throw Failure(message);
}

void Database::Impl::Exec(const std::string& sql) {
  CountSent();
  try {
    session << sql;
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

bool Database::Impl::SqliteEndedTransaction() const {
  if (backend != Backend::SQLite || depth == 0) return false;
  return sqlite_api::sqlite3_get_autocommit(sqlite) != 0;
}

TransactionHealth Database::Impl::Health() const {
  if (depth == 0) return TransactionHealth::Sound;
  if (conflict) return TransactionHealth::Conflict;
  switch (backend) {
    case Backend::SQLite:
      return SqliteEndedTransaction() ? TransactionHealth::Failed : TransactionHealth::Sound;
    case Backend::PostgreSQL:
      return PQtransactionStatus(postgres) == PQTRANS_INTRANS ? TransactionHealth::Sound : TransactionHealth::Failed;
    case Backend::ODBC:
      return failedOverOdbc ? TransactionHealth::Failed : TransactionHealth::Sound;
  }
  return TransactionHealth::Sound;
}

void Database::Impl::EndTransaction(bool commit) {
  if (!DriverTransactions()) {
    Exec(commit ? "COMMIT" : "ROLLBACK");
    return;
  }
  CountSent();
  try {
    if (commit)
      session.commit();
    else
      session.rollback();
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

void Database::Impl::Begin() {
  if (depth == 0) {
    conflict = false;
    labelled = false;
    label.reset();
    labelsBeforeSavepoints.clear();
    failedOverOdbc = false;
    switch (backend) {
      case Backend::SQLite:
        // The write lock at once: what the transaction reads stays true
        // until it ends, and it never fails on another writer halfway.
        Exec("BEGIN IMMEDIATE");
        break;
      case Backend::PostgreSQL:
        if (answers && answers->KeepsTableVersions())
          BeginReadingTableVersions();
        else
          Exec("BEGIN");
        break;
      case Backend::ODBC:
        if (DriverTransactions()) {
          // The driver begins it with the next statement.
          CountSent();
          try {
            session.begin();
          } catch (const soci::soci_error& e) {
            Fail(e);
          }
        } else {
          Exec("BEGIN TRANSACTION");
        }
        break;
    }
    ++transactionSerial;
  } else {
    Exec((dialect == SqlDialect::SqlServer ? "SAVE TRANSACTION " : "SAVEPOINT ") + SavepointName(depth));
    labelsBeforeSavepoints.push_back(label);
  }
  ++depth;
}

void Database::Impl::BeginReadingTableVersions() {
  CountSent();
  // Both run as one simple query: the transaction stays open after it.
  PGresult* result = PQexec(postgres, ("BEGIN; " + PostgresTableVersionsSql()).c_str());
  if (PQresultStatus(result) != PGRES_TUPLES_OK) {
    const char* primary = result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    std::string message = primary != nullptr ? primary : PQerrorMessage(postgres);
    PQclear(result);
    if (PQtransactionStatus(postgres) != PQTRANS_IDLE) PQclear(PQexec(postgres, "ROLLBACK"));
    while (!message.empty() && message.back() == '\n') message.pop_back();
    throw Failure(message);
  }
  std::vector<std::vector<Variant>> rows;
  for (int r = 0; r < PQntuples(result); ++r)
    rows.push_back({Variant::FromText(PQgetvalue(result, r, 0)), Variant::FromText(PQgetvalue(result, r, 1))});
  PQclear(result);
  // The serial the transaction is about to take.
  answers->TransactionBegun(transactionSerial + 1, TableRecordset({"tbl_name", "version"}, std::move(rows)));
}

void Database::Impl::Commit() {
  if (depth == 0) throw Failure("No transaction is open to commit");
  const TransactionHealth health = Health();
  if (health != TransactionHealth::Sound) {
    Rollback();
    if (health == TransactionHealth::Conflict)
      throw TransactionConflict("The transaction conflicted with another session's work and was rolled back");
    throw Failure("The transaction was rolled back: a statement in it failed");
  }
  try {
    if (depth == 1 && labelled) {
      // The naming lives only inside its transaction.
      CountSent();
      cache.Command("DELETE FROM Movimiento_Contexto", {});
      labelled = false;
    }
    if (depth == 1)
      EndTransaction(true);
    else if (dialect != SqlDialect::SqlServer)  // SQL Server keeps a savepoint until the transaction ends
      Exec("RELEASE SAVEPOINT " + SavepointName(depth - 1));
  } catch (const soci::soci_error& e) {
    try {
      Rollback();
    } catch (const Failure&) {
      depth = 0;
    }
    Fail(e);
  } catch (const Failure&) {
    // What failed to commit is rolled back: the level ends either way.
    try {
      Rollback();
    } catch (const Failure&) {
      depth = 0;  // the connection is gone; its server ended the transaction
    }
    throw;
  }
  --depth;
  // A released savepoint keeps the label its work set.
  if (depth == 0)
    label.reset();
  else
    labelsBeforeSavepoints.pop_back();
}

void Database::Impl::Rollback() {
  if (depth == 0) throw Failure("No transaction is open to roll back");
  if (answers) answers->DropAll();
  const int level = depth;
  // The level ends even when the database cannot be told (a lost connection
  // rolls back by itself).
  --depth;
  if (level == 1 || labelsBeforeSavepoints.empty()) {
    label.reset();
    labelsBeforeSavepoints.clear();
  } else {
    label = labelsBeforeSavepoints.back();
    labelsBeforeSavepoints.pop_back();
  }
  // SQLite may have ended the transaction itself: nothing is left to undo,
  // and the outer levels fail on commit.
  if (backend == Backend::SQLite && sqlite_api::sqlite3_get_autocommit(sqlite)) return;
  if (level == 1) {
    failedOverOdbc = false;
    EndTransaction(false);
  } else if (dialect == SqlDialect::SqlServer) {
    Exec("ROLLBACK TRANSACTION " + SavepointName(level - 1));
  } else {
    Exec("ROLLBACK TO SAVEPOINT " + SavepointName(level - 1));
    // The savepoint was set while the transaction could go on.
    failedOverOdbc = false;
    Exec("RELEASE SAVEPOINT " + SavepointName(level - 1));
  }
}

void Database::Impl::HoldLayaway(const std::string& folio) {
  if (dialect != SqlDialect::PostgreSQL || depth == 0) return;
  const std::vector<Variant> params = {Variant::FromText(folio)};
  try {
    for (int k = 0; k < 3; ++k) CountSent();
    cache.Query("SELECT Ap_ID FROM Apartado WHERE Ap_Folio = :p1 ORDER BY Ap_ID COLLATE \"C\" FOR UPDATE", params);
    cache.Query(LayawayStockRows("Existencia"), params);
    cache.Query(LayawayStockRows("Existencia_Kit"), params);
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

void Database::Impl::HoldStock(const std::vector<StockRowKey>& keys) {
  if (dialect != SqlDialect::PostgreSQL || depth == 0 || keys.empty()) return;
  std::vector<StockRowKey> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::vector<Variant> params;
  for (const StockRowKey& key : sorted) {
    for (const std::string* part :
         {&key.Sc_Cve_Sucursal, &key.Al_Cve_Almacen, &key.Pr_Cve_Producto, &key.Tl_Cve_Talla, &key.Cl_Cve_Color})
      params.push_back(Variant::FromText(*part));
  }
  try {
    // Both tables in one statement, the plain stock rows first.
    CountSent();
    cache.Query("WITH e AS (" + StockRows("Existencia", sorted.size()) + "), k AS (" +
                    StockRows("Existencia_Kit", sorted.size()) +
                    ") SELECT (SELECT COUNT(*) FROM e) AS e, (SELECT COUNT(*) FROM k) AS k",
                params);
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

void Database::Impl::LabelMovements(const std::string& operation, const std::string& folio,
                                    const std::string& operatorKey) {
  if (depth == 0) return;
  MovementLabel wanted{operation, folio, operatorKey};
  if (label == wanted) return;
  const std::vector<Variant> params = {Variant::FromText(operation), Variant::FromText(folio),
                                       Variant::FromText(operatorKey)};
  try {
    switch (dialect) {
      case SqlDialect::SQLite:
        if (!hasMovementContext) {
          CountSent();
          hasMovementContext =
              !cache.Query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = 'Movimiento_Contexto'", {})
                   .Eof();
          if (!hasMovementContext) {
            label = std::move(wanted);  // a database without the ledger: nothing to name
            return;
          }
        }
        CountSent();
        cache.Command(
            "INSERT OR REPLACE INTO Movimiento_Contexto (Mc_ID, Mc_Operacion, Mc_Folio, Mc_Operador) "
            "VALUES (1, :p1, NULLIF(:p2, ''), :p3)",
            params);
        labelled = true;
        label = std::move(wanted);
        break;
      case SqlDialect::PostgreSQL:
        CountSent();
        cache.Query(
            "SELECT set_config('apartado.operacion', :p1, true) AS o, set_config('apartado.folio', :p2, true) AS f, "
            "set_config('apartado.operador', :p3, true) AS k",
            params);
        label = std::move(wanted);
        break;
      case SqlDialect::SqlServer:
        break;
    }
  } catch (const soci::soci_error& e) {
    Fail(e);
  }
}

}  // namespace apartado
