// The suite schema as those who fill it see it, from the table description
// the DDL is rendered from.
#include <algorithm>

#include "apartado/schema.h"
#include "schema_tables.h"

namespace apartado::suite {
namespace {

ColumnType TypeOf(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Key:
    case ColumnKind::Text:
      return ColumnType::Text;
    case ColumnKind::Number:
      return ColumnType::Number;
    case ColumnKind::Quantity:
      return ColumnType::Quantity;
    case ColumnKind::Whole:
    case ColumnKind::Counter:
    case ColumnKind::Serial:
      return ColumnType::Whole;
    case ColumnKind::Date:
      return ColumnType::Date;
  }
  return ColumnType::Text;
}

}  // namespace

std::vector<SchemaTable> DescribeSchema() {
  std::vector<SchemaTable> tables;
  for (const TableSpec& source : SuiteTables()) {
    SchemaTable& table = tables.emplace_back(SchemaTable{source.name, source.purpose, {}});
    for (const ColumnSpec& column : source.columns) {
      const bool key =
          std::find(source.primaryKey.begin(), source.primaryKey.end(), column.name) != source.primaryKey.end();
      table.columns.push_back({column.name, TypeOf(column.kind), key, column.notNull && column.defaultValue.empty(),
                               column.defaultValue, column.rule});
    }
  }
  return tables;
}

}  // namespace apartado::suite
