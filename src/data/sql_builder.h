#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "apartado/number_text.h"
#include "apartado/recordset.h"

namespace apartado {

// Building a statement: SqlText is cleared and the pieces are appended in
// order with nothing between them. Text values go between the quotes of the
// surrounding pieces exactly as held; numbers in the general number form.
class SqlBuilder {
 public:
  // Clears this thread's SqlText and builds into it.
  SqlBuilder();
  SqlBuilder& operator<<(std::string_view piece);
  SqlBuilder& operator<<(double number);
  // Runs SqlText on the connection SessionServices answers now.
  std::unique_ptr<Recordset> Execute();

 private:
  std::string& text_;
};

}  // namespace apartado
