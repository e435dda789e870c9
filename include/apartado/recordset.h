#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apartado/export.h"
#include "apartado/variant.h"

namespace apartado {

// The rows a statement answered, walked as with an ADO recordset: test for the
// end, read a column of the current row by name, move to the next row, close.
class APARTADO_EXPORT Recordset {
 public:
  virtual ~Recordset() = default;
  // True when no current row remains (at once for an empty result or a command).
  virtual bool Eof() const = 0;
  // The named column of the current row; names match regardless of letter case.
  // Throws Failure when there is no current row or no such column.
  virtual Variant Field(std::string_view name) const = 0;
  virtual void MoveNext() = 0;
  // After Close every other member throws Failure.
  virtual void Close() = 0;
};

// A recordset held in memory: the column names and every row, read at once.
class APARTADO_EXPORT TableRecordset final : public Recordset {
 public:
  TableRecordset() = default;
  TableRecordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows);

  bool Eof() const override;
  Variant Field(std::string_view name) const override;
  void MoveNext() override;
  void Close() override;

  const std::vector<std::string>& Columns() const { return columns_; }
  const std::vector<std::vector<Variant>>& Rows() const { return rows_; }
  // Position of a column by case-insensitive name, or -1.
  int ColumnIndex(std::string_view name) const;

 private:
  APARTADO_LOCAL void RequireOpen() const;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::size_t position_ = 0;
  bool closed_ = false;
};

// How an open transaction stands after the statements run in it so far.
enum class TransactionHealth {
  Sound,     // it can go on and be committed
  Failed,    // a statement failure spoiled it: it can only be rolled back
  Conflict,  // another session's concurrent work made it fail (a deadlock, a
             // serialization failure, a database kept busy): roll it back and
             // run it again from its start
};

// The keys of one stock row of Existencia or Existencia_Kit.
struct StockRowKey {
  std::string Sc_Cve_Sucursal;
  std::string Al_Cve_Almacen;
  std::string Pr_Cve_Producto;
  std::string Tl_Cve_Talla;
  std::string Cl_Cve_Color;
  friend auto operator<=>(const StockRowKey&, const StockRowKey&) = default;
};

// The open database connection a session hands out: executes one statement's
// text as it stands, and groups statements into transactions for a host (the
// layaway component itself never opens one).
class APARTADO_EXPORT Connection {
 public:
  virtual ~Connection() = default;
  // Runs the text. A query answers its rows; any other statement answers an
  // empty recordset. A text holding more than one statement is refused before
  // any of it runs. A database error throws Failure carrying the database's
  // own message.
  virtual std::unique_ptr<Recordset> Execute(const std::string& commandText) = 0;

  // Opens a transaction or, inside one, a nested transaction (a savepoint)
  // that can be rolled back alone. On SQLite the outermost transaction takes
  // the write lock at once, so whatever it reads stays as read until it ends.
  // CommitTrans and RollbackTrans end the innermost transaction; committing
  // a transaction whose health is not Sound rolls it back and throws. All
  // throw Failure with the database's message; these defaults, for a
  // connection that keeps no transactions, throw Failure saying so.
  virtual void BeginTrans();
  virtual void CommitTrans();
  virtual void RollbackTrans();
  // How many transactions are open (0 outside any).
  virtual int TransactionDepth() const;
  // How the open transaction stands; Sound outside any.
  virtual TransactionHealth Health() const;

  // Lock, until the outermost transaction ends, the rows that operations
  // decide on: the layaway's rows and the stock rows they name, or the
  // given stock rows (those that exist). Another session holding any of
  // them is waited for; rows are always taken in one order (layaway rows,
  // then Existencia and then Existencia_Kit rows, each by their keys' bytes),
  // so that two holders never wait on each other. Where the outermost
  // transaction already excludes every other writer (SQLite) nothing more is
  // done. The defaults do nothing.
  virtual void HoldLayaway(const std::string& Ap_Folio);
  virtual void HoldStock(const std::vector<StockRowKey>& keys);

  // Names, until the outermost transaction ends, what the stock movements it
  // makes belong to: the suite schema's stock ledger records each change of
  // Existencia and Existencia_Kit with this operation, folio (empty: the one
  // of the layaway row the transaction inserts next, if any) and operator.
  // A nested transaction rolled back takes its naming with it. Outside a
  // transaction, or on a database without the ledger, nothing is done; the
  // default does nothing.
  virtual void LabelMovements(const std::string& operation, const std::string& folio, const std::string& operatorKey);
};

}  // namespace apartado
