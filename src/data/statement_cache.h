#pragma once
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "apartado/recordset.h"
#include "apartado/variant.h"
#include "data/sqlite_change_tracker.h"

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
class StatementCache {
 public:
  explicit StatementCache(soci::session& session);
  ~StatementCache();
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // All the rows the statement answers. Throws Failure with the database's
  // message.
  TableRecordset Query(const std::string& sql, const std::vector<Variant>& params);
  // Query, giving again an answer kept from an earlier run with the same
  // parameters while the tracker says nothing it read has changed. Without a
  // tracker, the same as Query.
  TableRecordset CachedQuery(const std::string& sql, const std::vector<Variant>& params);
  // Runs a statement answering no rows; the number of rows it changed.
  long long Command(const std::string& sql, const std::vector<Variant>& params);
  // On SQLite: where CachedQuery learns whether a kept answer still holds.
  void UseTracker(SqliteChangeTracker* tracker) { tracker_ = tracker; }
  // Forgets every statement (before the schema they were prepared on changes).
  void Clear();
  std::size_t Size() const { return entries_.size(); }

 private:
  struct Entry;
  static std::string KeyOf(const std::string& sql, const std::vector<Variant>& params, bool answersRows);
  Entry& Prepared(const std::string& key, const std::string& sql, const std::vector<Variant>& params, bool answersRows);
  TableRecordset Run(Entry& entry);

  soci::session& session_;
  SqliteChangeTracker* tracker_ = nullptr;
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
};

}  // namespace apartado
