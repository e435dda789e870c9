#include "folio_numbers.h"

#include "apartado/failure.h"
#include "suite_texts.h"

namespace apartado::suite {

namespace {

// The taking itself, inside a transaction of the caller: its first statement
// is the update, so the series row is locked before anything is read.
std::optional<std::int64_t> TakeFolioNumber(Database& db, const std::string& branch, const std::string& kind) {
  const std::vector<Variant> keys = {Variant::FromText(branch), Variant::FromText(kind)};
  // On PostgreSQL each statement sees the rows committed before it, so a
  // series that another caller creates between the update and the test
  // below shows up only there: the update is then tried again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const long long advanced = db.Command(
        "UPDATE Folio SET Fo_Siguiente = Fo_Siguiente + 1 "
        "WHERE Sc_Cve_Sucursal = :p1 AND Fo_Documento = :p2 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
        keys);
    if (advanced > 0) {
      TableRecordset row =
          db.Query("SELECT Fo_Siguiente FROM Folio WHERE Sc_Cve_Sucursal = :p1 AND Fo_Documento = :p2", keys);
      return static_cast<std::int64_t>(row.Field("Fo_Siguiente").ToDouble()) - 1;
    }
    TableRecordset existing =
        db.Query("SELECT Es_Cve_Estado FROM Folio WHERE Sc_Cve_Sucursal = :p1 AND Fo_Documento = :p2", keys);
    if (existing.Eof()) {
      // A second caller creating the same series breaks the key, and its
      // transaction is run again (InTransactionWithRetry).
      db.Command(
          "INSERT INTO Folio (Sc_Cve_Sucursal, Fo_Documento, Fo_Siguiente, Es_Cve_Estado) "
          "VALUES (:p1, :p2, 2, 'AC')",
          keys);
      return 1;
    }
    const Variant status = existing.Field("Es_Cve_Estado");
    if (!status.IsNull() && status.ToText() == "BA") return std::nullopt;
  }
  throw Failure(texts::FolioSeriesUnreadable(kind, branch));
}

// On PostgreSQL, outside any transaction: one statement that advances a
// series in force and answers the number taken, committed at once. Nothing
// when no such series row exists (missing, or withdrawn): the caller's
// transaction then tells which. The update is read through a SELECT:
// psqlODBC answers an UPDATE ... RETURNING that changed no row with no
// result at all, which SOCI then fails to fetch from.
std::optional<std::int64_t> TakeInOneStatement(Database& db, const std::string& branch, const std::string& kind) {
  if (db.GetDialect() != SqlDialect::PostgreSQL || db.InTransaction()) return std::nullopt;
  TableRecordset row = db.Query(
      "WITH Tomado AS (UPDATE Folio SET Fo_Siguiente = Fo_Siguiente + 1 "
      "WHERE Sc_Cve_Sucursal = :p1 AND Fo_Documento = :p2 AND COALESCE(Es_Cve_Estado, '') <> 'BA' "
      "RETURNING Fo_Siguiente) SELECT Fo_Siguiente FROM Tomado",
      {Variant::FromText(branch), Variant::FromText(kind)});
  if (row.Eof()) return std::nullopt;
  return static_cast<std::int64_t>(row.Field("Fo_Siguiente").ToDouble()) - 1;
}

}  // namespace

std::optional<std::int64_t> NextFolioNumber(Database& db, const std::function<Database&()>& autonomous,
                                            bool inCallersTransaction, const std::string& branch,
                                            const std::string& kind) {
  Database& taker = inCallersTransaction && db.GetDialect() != SqlDialect::SQLite ? autonomous() : db;
  if (std::optional<std::int64_t> taken = TakeInOneStatement(taker, branch, kind)) return taken;
  std::optional<std::int64_t> number;
  InTransactionWithRetry(taker, [&] {
    number = TakeFolioNumber(taker, branch, kind);
    return number.has_value();
  });
  return number;
}

std::string FolioText(std::int64_t number, std::int32_t width) {
  std::string digits = std::to_string(number);
  if (width > 0 && digits.size() < static_cast<std::size_t>(width))
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits;
}

bool InTransactionWithRetry(Database& db, const std::function<bool()>& body) {
  constexpr int kAttempts = 3;
  const bool nested = db.InTransaction();
  for (int attempt = 1;; ++attempt) {
    try {
      Transaction transaction(db);
      if (!body()) return false;  // rolled back by the destructor
      transaction.Commit();
      return true;
    } catch (const TransactionConflict&) {
      if (nested || attempt == kAttempts) throw;
    } catch (const Failure&) {
      if (attempt == kAttempts) throw;
    }
  }
}

}  // namespace apartado::suite
