#pragma once
#include <functional>
#include <memory>
#include <string>

#include "apartado/apartado.h"
#include "apartado/boolean.h"
#include "apartado/export.h"
#include "apartado/recordset.h"
#include "apartado/variant.h"

// Running operations of an Apartado object as database transactions. The
// component sends its statements one by one and opens no transaction; these
// scopes, on the connection the object's session hands out, make an
// operation (or a group of them) whole or absent: a crash, a lost connection
// or a failed statement leaves nothing of it, and a refusal leaves nothing
// unless the host asks to keep what the component did.
namespace apartado {

// What becomes of an operation that answers False.
enum class OnRefusal {
  // Nothing of it stays: its statements are rolled back and the object is
  // put back as it was before it, but for Error(), which says why.
  RollBack,
  // What the component did before refusing stays, as without any scope (a
  // line refused for stock keeps its row; a whole-layaway reservation
  // stopped by a short row keeps the earlier rows reserved). A statement
  // failure that spoiled the transaction still rolls it back.
  Commit,
};

struct TransactionPolicy {
  OnRefusal onRefusal = OnRefusal::RollBack;
  // Runs of a transaction that conflicts with another session's work (a
  // deadlock, a serialization failure, a database kept busy) before
  // TransactionConflict reaches the caller.
  int attempts = 8;
};

// One transaction around operations of one object, on the connection its
// session hands out: the outermost one a database transaction, one opened
// inside it a savepoint, so that a refused line inside a layaway leaves
// nothing while the layaway's earlier lines stay. Ends by Finish, Commit or
// Rollback; one that is destroyed unfinished (an exception left it) rolls
// back. Use on the object's thread, with scopes nested, not interleaved.
class APARTADO_EXPORT OperationScope {
 public:
  // Saves the object's state and begins. On SQLite the outermost scope takes
  // the write lock at once. The outermost scope labels its stock movements
  // as operation "Apartado" with the header's folio until Label names them. Throws Failure when the database refuses
  // (TransactionConflict when it stays busy).
  explicit OperationScope(Apartado& object, OnRefusal onRefusal = OnRefusal::RollBack);
  // Unless finished, rolls back and restores the object, but for Error()
  // (which is restored too after a conflict).
  ~OperationScope();
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

  // Holds, until the outermost transaction ends, the rows an operation
  // decides on where the component reads them itself (Connection::
  // HoldLayaway, HoldStock): call before Apartar, Desapartar,
  // Cancelar_Apartado, Finalizar_Apartado, Genera_Cuenta_x_Cobrar_Apartado
  // (the folio) or Desapartar_Producto (the stock row) on PostgreSQL, or
  // two sessions may both act on what the other is changing.
  void HoldLayaway(const std::string& Ap_Folio);
  void HoldStock(const std::vector<StockRowKey>& keys);

  // Names what the stock movements of this scope belong to, for the suite's
  // stock ledger (Connection::LabelMovements): the operation (its public
  // name, "Apartar"), the layaway's folio (empty: the one the next layaway
  // row inserted carries) and the session's operator. Lasts until the
  // outermost transaction ends, or until this scope rolls back when it is
  // nested. Throws Failure when the database refuses.
  void Label(const std::string& operation, const std::string& Ap_Folio = "");

  // Ends the scope by the operation's answer: True commits; False commits
  // or rolls back by the policy. Answers the answer. A transaction a failed
  // statement spoiled is rolled back whatever the answer (the object
  // restored but for Error()), and a True answer then throws Failure: its
  // work was not kept. Throws TransactionConflict, after rolling back, when
  // another session's work made the transaction fail: the outermost
  // transaction must run again (RunInTransaction does).
  Boolean Finish(Boolean answer);
  // Keeps what was done whatever was answered (a group whose refused parts
  // already rolled themselves back). Throws as Finish.
  void Commit();
  // Undoes everything since the scope began and restores the object, but
  // for Error().
  void Rollback();

 private:
  APARTADO_LOCAL void RollBackAndRestore();
  detail::ApartadoState& State() { return object_; }
  Apartado& object_;
  OnRefusal onRefusal_;
  Connection* connection_;
  detail::ApartadoState saved_;
  bool finished_ = false;
};

// Runs work as one transaction on the object's connection: a True answer is
// committed, a False one committed or rolled back by policy.onRefusal (see
// OperationScope::Finish). When the transaction conflicts with another
// session's work, it is rolled back, the object restored to its state before
// the attempt (Error() included), and work run again, up to policy.attempts
// times; then TransactionConflict is thrown. Inside an open transaction it
// is a nested scope that does not retry by itself: a conflict is passed up
// for the outermost run to retry. Work may open nested scopes; it must leave
// the database only through them.
APARTADO_EXPORT Boolean RunInTransaction(Apartado& object, const std::function<Boolean()>& work,
                                         TransactionPolicy policy = {});

// The public operations of one object, each run by RunInTransaction with the
// rows it decides on held first and its stock movements labelled with its
// name (OperationScope::Label), so that on every backend an operation is
// whole or absent and two sessions never both decide on the same stock.
// Group runs several as one transaction (a whole captured layaway).
class APARTADO_EXPORT Operations {
 public:
  explicit Operations(Apartado& object, TransactionPolicy policy = {}) : object_(object), policy_(policy) {}

  Boolean Apartar(const std::string& Ap_Folio);
  Variant Desapartar(const std::string& Ap_Folio);
  Boolean Desapartar_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                              const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                              const std::string& Cl_Cve_Color, double Cantidad_Control_1, double Cantidad_Control_2,
                              const std::string& Series = "");
  Boolean Cancelar_Apartado(const std::string& Ap_Folio);
  Boolean Genera_Cuenta_x_Cobrar_Apartado(const std::string& Ap_Folio);
  Boolean Finalizar_Apartado(const std::string& Ap_Folio);
  // Detalle, then Add_Apartado_Detalle. Detalle reports its refusals through
  // the session (SessionServices::ReportMessage), after which the object
  // still holds the line before: a host that must not add that line checks
  // its session between the two, inside its own RunInTransaction.
  Boolean CaptureLine(const tApDetalle& line);
  // Runs work as one transaction; the operations above called inside it are
  // nested scopes. Retried whole on a conflict.
  Boolean Group(const std::function<Boolean()>& work);
  // Inside Group: holds stock rows until it ends (Connection::HoldStock).
  // A group capturing lines holds StockRowsOf them first, so that
  // concurrent captures take their rows in one order instead of deadlocking.
  void HoldStock(const std::vector<StockRowKey>& keys);

  Apartado& Object() { return object_; }
  const TransactionPolicy& Policy() const { return policy_; }

 private:
  // Runs an operation on a stored layaway with its rows held and its stock
  // movements labelled with its name and the folio.
  APARTADO_LOCAL Boolean OnLayaway(const char* name, const std::string& Ap_Folio,
                                   const std::function<Boolean()>& operation);
  Apartado& object_;
  TransactionPolicy policy_;
};

// The stock rows that capturing these lines under this header may reserve:
// each line's inventory branch and warehouse (the header's when it names
// none), product, and its size and colour both as given and as "00" (what
// a warehouse keeping no sizes or colours makes of them).
APARTADO_EXPORT std::vector<StockRowKey> StockRowsOf(const tApEncabezado& header, const std::vector<tApDetalle>& lines);

}  // namespace apartado
