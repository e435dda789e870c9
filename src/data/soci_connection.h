#pragma once
#include <memory>
#include <string>

#include "apartado/recordset.h"

namespace soci {
class session;
}

namespace apartado {

// The text-statement path over a SOCI session: the text reaches the database
// as written, one statement at a time.
//
// SOCI reads an unquoted ":word" in the text as a bind placeholder (nothing
// is bound to it: PostgreSQL then fails, SQLite reads NULL). The component's
// statements hold none; a "::" cast is left alone.
class SociConnection final : public Connection {
 public:
  explicit SociConnection(soci::session& session) : session_(session) {}

  // A text holding a second statement throws Failure before any of it runs.
  // A statement answering rows (SELECT, WITH, ...) answers all of them at
  // once; any other is run as a command and answers an empty recordset.
  std::unique_ptr<Recordset> Execute(const std::string& commandText) override;

 private:
  soci::session& session_;
};

// The description of the refusal of a text holding two statements.
inline constexpr const char* kMultipleStatementsMessage = "Multiple statements are not allowed in one command text";

}  // namespace apartado
