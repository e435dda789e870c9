#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"
#include "database/answer_cache.h"

namespace soci {
class session;
}

namespace apartado {

// Prepared statements with bound parameters, kept per SQL text and reused.
//
// Placeholders are written :p1, :p2, ...; each occurrence is renumbered and
// bound on its own, so a parameter may appear several times or out of order.
// A statement is prepared once per SQL text and per pattern of parameter
// kinds (text, whole number, real, date, NULL), since SOCI binds by type.
// A statement that fails is dropped and prepared again on its next use.
// SOCI's errors pass through unchanged: the database translates them.
class PreparedStatements {
 public:
  // realsAsText: doubles are bound as their shortest exact text. SOCI's
  // PostgreSQL backend sends them as 20 digits (0.1 as
  // 0.10000000000000000555), which a NUMERIC column then compares exactly
  // and finds larger than its 0.1; psqlODBC sends 17 digits
  // (0.10000000000000001), which a NUMERIC column keeps as they are.
  PreparedStatements(soci::session& session, bool realsAsText);
  // Sets realsAsText for the statements prepared from now on (an ODBC
  // connection learns its database's dialect once open, before any).
  void SetRealsAsText(bool realsAsText) { realsAsText_ = realsAsText; }
  // The session is an ODBC one: a statement's cursor is closed before it
  // runs again (OdbcCloseCursor).
  void SetOdbc(bool odbc) { odbc_ = odbc; }
  ~PreparedStatements();
  PreparedStatements(const PreparedStatements&) = delete;
  PreparedStatements& operator=(const PreparedStatements&) = delete;

  // All the rows the statement answers.
  TableRecordset Query(const std::string& sql, const std::vector<Variant>& params);
  // Query, giving again the answer `answers` keeps for these parameters
  // while it holds in `scope`; a new answer is kept there for `scope`.
  // `table` is the one table the statement reads (AnswerCache::KeepableTable).
  TableRecordset CachedQuery(const std::string& sql, const std::vector<Variant>& params, AnswerCache& answers,
                             const std::string& table, const AnswerCache::Scope& scope);
  // Runs a statement answering no rows; the number of rows it changed.
  long long Command(const std::string& sql, const std::vector<Variant>& params);
  // Forgets every statement (before the schema they were prepared on changes).
  void Clear();
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry;
  static std::string KeyOf(const std::string& sql, const std::vector<Variant>& params, bool answersRows);
  Entry& Prepared(const std::string& key, const std::string& sql, const std::vector<Variant>& params, bool answersRows);

  soci::session& session_;
  bool realsAsText_;
  bool odbc_ = false;
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
  std::uint64_t lastId_ = 0;
};

}  // namespace apartado
