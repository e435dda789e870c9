// Accounts-receivable documents in Cuenta_X_Cobrar.
#include <optional>

#include "folio_numbers.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {
namespace {

// The series (per branch, in table Folio) that numbers the receivables.
const char* const kReceivableSeries = "CUENTA_X_COBRAR";
constexpr std::int32_t kReceivableFolioWidth = 10;

// The active (not cancelled) receivables of an originating document.
TableRecordset ActiveReceivables(Database& db, const std::string& table, const std::string& document) {
  return db.Query(
      "SELECT Cxc_Folio FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = :p1 AND Cxc_Documento = :p2 AND "
      "COALESCE(Es_Cve_Estado, '') <> 'CA'",
      {Variant::FromText(table), Variant::FromText(document)});
}

}  // namespace

// Creates one active receivable for header.OriginTable/OriginDocument with
// balance = total, numbered from the branch's CUENTA_X_COBRAR series; the new
// receivable folio is left in header.Member1. The two flags are not used.
Boolean SuiteReceivableDocument::GenerateReceivable(ReceivableHeader& header, Boolean, Boolean) {
  errorText_.clear();
  if (header.OriginTable.empty() || header.OriginDocument.empty()) {
    errorText_ = texts::ReceivableOriginMissing();
    return kFalse;
  }
  if (header.Total1 < 0) {
    errorText_ = texts::ReceivableTotalNegative(header.Total1);
    return kFalse;
  }
  if (Db().Query("SELECT Cl_Cve_Cliente FROM Cliente WHERE Cl_Cve_Cliente = :p1",
                 {Variant::FromText(header.Customer.Key)})
          .Eof()) {
    errorText_ = texts::CustomerUnknown(header.Customer.Key);
    return kFalse;
  }
  const bool inCallersTransaction = Db().InTransaction();
  return ToBoolean(InTransactionWithRetry(Db(), [&] { return InsertReceivable(header, inCallersTransaction); }));
}

// The transactional part. On SQLite the transaction holds the database, so
// the test for an active receivable cannot race; on PostgreSQL a racing
// insert breaks the unique index of active receivables, and the retry then
// finds the winner. The number is taken only once the document may be
// billed, so that a refusal uses none up.
bool SuiteReceivableDocument::InsertReceivable(ReceivableHeader& header, bool inCallersTransaction) {
  const std::string& branch = header.Branch.Key;
  if (!ActiveReceivables(Db(), header.OriginTable, header.OriginDocument).Eof()) {
    errorText_ = texts::ReceivableAlreadyActive(header.OriginTable, header.OriginDocument);
    return false;
  }
  const std::optional<std::int64_t> number = NextFolioNumber(
      Db(), [this]() -> Database& { return AutonomousDb(); }, inCallersTransaction, branch, kReceivableSeries);
  if (!number) {
    errorText_ = texts::FolioSeriesWithdrawn(kReceivableSeries, branch);
    return false;
  }
  const std::string folio = FolioText(*number, kReceivableFolioWidth);
  Db().Command(
      "INSERT INTO Cuenta_X_Cobrar (Sc_Cve_Sucursal, Cxc_Folio, Cxc_Tabla, Cxc_Documento, Cxc_Referencia, "
      "Cxc_Comentario, Cxc_Fecha, Cxc_Fecha_Vencimiento, Cl_Cve_Cliente, Mn_Cve_Moneda, Cxc_Tipo_Cambio, "
      "Cxc_Subtotal, Cxc_Impuesto, Cxc_Total, Cxc_Abonos, Cxc_Saldo, Es_Cve_Estado, Oper_Alta, Fecha_Alta) "
      "VALUES (:p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8, :p9, :p10, :p11, :p12, :p13, :p14, 0, :p14, 'AC', :p15, "
      "GETDATE())",
      {Variant::FromText(branch), Variant::FromText(folio), Variant::FromText(header.OriginTable),
       Variant::FromText(header.OriginDocument), Variant::FromText(header.Reference), Variant::FromText(header.Comment),
       Variant::FromText(FormatDateTime(header.DocumentDate)), Variant::FromText(FormatDateTime(header.DueDate)),
       Variant::FromText(header.Customer.Key), Variant::FromText(header.Currency.CurrencyKey),
       Variant::FromDouble(header.ExchangeRate), Variant::FromDouble(header.Subtotal1),
       Variant::FromDouble(header.Tax1), Variant::FromDouble(header.Total1), Variant::FromText(Options().operatorKey)});
  header.Member1 = folio;
  return true;
}

// Marks the document's active receivable cancelled ('CA'), with operator and
// moment, provided no payment was applied to it (Cxc_Abonos is 0 and the
// balance still equals the total).
Boolean SuiteReceivableDocument::CancelReceivable(const std::string& documentKind, const std::string& folio) {
  errorText_.clear();
  const long long cancelled = Db().Command(
      "UPDATE Cuenta_X_Cobrar SET Es_Cve_Estado = 'CA', Oper_Baja = :p3, Fecha_Baja = GETDATE() "
      "WHERE Cxc_Tabla = :p1 AND Cxc_Documento = :p2 AND COALESCE(Es_Cve_Estado, '') <> 'CA' AND "
      "COALESCE(Cxc_Abonos, 0) <= 0 AND COALESCE(Cxc_Saldo, 0) >= COALESCE(Cxc_Total, 0)",
      {Variant::FromText(documentKind), Variant::FromText(folio), Variant::FromText(Options().operatorKey)});
  if (cancelled > 0) return kTrue;
  TableRecordset active = ActiveReceivables(Db(), documentKind, folio);
  if (!active.Eof()) {
    errorText_ = texts::ReceivableHasPayments(active.Field("Cxc_Folio").ToText(), documentKind, folio);
    return kFalse;
  }
  // Every receivable of the document is cancelled already: asking again
  // succeeds, so the document itself can still be cancelled afterwards.
  const TableRecordset any =
      Db().Query("SELECT Cxc_Folio FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = :p1 AND Cxc_Documento = :p2",
                 {Variant::FromText(documentKind), Variant::FromText(folio)});
  if (!any.Eof()) return kTrue;
  errorText_ = texts::ReceivableNotFound(documentKind, folio);
  return kFalse;
}

}  // namespace apartado::suite
