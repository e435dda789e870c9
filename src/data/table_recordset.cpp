#include <strings.h>

#include "apartado/failure.h"
#include "apartado/recordset.h"

namespace apartado {

TableRecordset::TableRecordset(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

void TableRecordset::RequireOpen() const {
  if (closed_) throw Failure("Operation is not allowed when the object is closed.");
}

bool TableRecordset::Eof() const {
  RequireOpen();
  return position_ >= rows_.size();
}

int TableRecordset::ColumnIndex(std::string_view name) const {
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (columns_[i].size() == name.size() && strncasecmp(columns_[i].data(), name.data(), name.size()) == 0)
      return static_cast<int>(i);
  return -1;
}

Variant TableRecordset::Field(std::string_view name) const {
  RequireOpen();
  const int index = ColumnIndex(name);
  if (index < 0)
    throw Failure("Item cannot be found in the collection corresponding to the requested name or ordinal.");
  if (position_ >= rows_.size())
    throw Failure(
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires "
        "a current record.");
  return rows_[position_][static_cast<std::size_t>(index)];
}

void TableRecordset::MoveNext() {
  RequireOpen();
  if (position_ >= rows_.size())
    throw Failure(
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires "
        "a current record.");
  ++position_;
}

void TableRecordset::Close() {
  RequireOpen();
  closed_ = true;
}

}  // namespace apartado
