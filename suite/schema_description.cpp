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
  for (const TableSpec& spec : SuiteTables()) {
    SchemaTable& table = tables.emplace_back(SchemaTable{spec.name, spec.purpose, {}});
    for (const ColumnSpec& column : spec.columns) {
      const bool key = std::find(spec.primaryKey.begin(), spec.primaryKey.end(), column.name) != spec.primaryKey.end();
      table.columns.push_back({column.name, TypeOf(column.kind), key, column.notNull && column.defaultValue.empty(),
                               column.defaultValue, column.rule});
    }
  }
  return tables;
}

}  // namespace apartado::suite
