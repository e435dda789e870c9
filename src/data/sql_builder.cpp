#include "data/sql_builder.h"

#include "component/publico.h"

namespace apartado {

SqlBuilder::SqlBuilder() : text_(Publico().SqlText) { text_.clear(); }

SqlBuilder& SqlBuilder::operator<<(std::string_view piece) {
  text_ += piece;
  return *this;
}

SqlBuilder& SqlBuilder::operator<<(double number) {
  text_ += NumberText(number);
  return *this;
}

std::unique_ptr<Recordset> SqlBuilder::Execute() {
  ModuleState& m = Publico();
  return m.SessionServices->GetConnection().Execute(m.SqlText);
}

}  // namespace apartado
