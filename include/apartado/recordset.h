#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "apartado/variant.h"

namespace apartado {

// The rows a statement answered, walked as with an ADO recordset: test for the
// end, read a column of the current row by name, move to the next row, close.
class Recordset {
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
class TableRecordset final : public Recordset {
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
  void RequireOpen() const;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::size_t position_ = 0;
  bool closed_ = false;
};

// The open database connection a session hands out: executes one statement's
// text as it stands.
class Connection {
 public:
  virtual ~Connection() = default;
  // Runs the text. A query answers its rows; any other statement answers an
  // empty recordset. A text holding more than one statement is refused before
  // any of it runs. A database error throws Failure carrying the database's
  // own message.
  virtual std::unique_ptr<Recordset> Execute(const std::string& commandText) = 0;
};

}  // namespace apartado
