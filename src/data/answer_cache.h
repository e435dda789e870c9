#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "apartado/recordset.h"

namespace apartado {

// Answers of single-table queries kept on one SQLite connection, given again
// only while provably exact. Each table has a version, raised when this
// connection writes it or a table whose triggers may write it (told from the
// statement's text, see EffectOf); an answer holds while its table's version
// and the epoch are those it was read under. The epoch, raised by whatever
// cannot be told table by table (a rollback, a failed statement, a statement
// of unknown effect, another connection's commit), drops every answer.
// Another connection's commit is seen by PRAGMA data_version, asked through
// the callback: once per transaction that holds the write lock, before every
// read otherwise, never for a private (":memory:") database.
class AnswerCache {
 public:
  // Answers PRAGMA data_version and PRAGMA schema_version of the connection.
  using VersionProbe = std::function<std::pair<std::int64_t, std::int64_t>()>;
  // Answers the schema's tables: one row per table, view and trigger with
  // columns type, tbl_name, sql (as sqlite_schema holds them).
  using SchemaReader = std::function<TableRecordset()>;

  AnswerCache(bool privateDatabase, VersionProbe probe, SchemaReader schema);

  // The table a query reads if its answers may be kept, else "": one plain
  // table, neither a view nor unknown to the schema.
  std::string KeepableTable(const std::string& sql);

  // Brings the epoch up to date with other connections' commits; `locked`:
  // inside a transaction of this connection that holds the write lock, whose
  // serial number is `transaction`.
  void Refresh(bool locked, std::uint64_t transaction);

  // The answer kept for this statement and these bound values, if it holds.
  const TableRecordset* Find(const std::string& key, const std::string& table) const;
  // Keeps an answer read under the versions current before it ran.
  struct Stamp {
    std::uint64_t epoch = 0;
    std::uint64_t version = 0;
  };
  Stamp StampOf(const std::string& table) const;
  void Keep(const std::string& key, const Stamp& stamp, const TableRecordset& rows);

  // What this connection did: a statement that ran, a rollback (whole or to
  // a savepoint), a failed statement, a change of schema.
  void Ran(std::string_view sql);
  void DropAll() { ++epoch_; }
  void SchemaChanged();

  std::uint64_t Given() const { return given_; }
  void CountGiven() { ++given_; }

 private:
  struct Kept {
    TableRecordset rows;
    Stamp stamp;
  };
  void Wrote(const std::string& table);
  void LoadSchema();

  bool private_;
  VersionProbe probe_;
  SchemaReader readSchema_;
  std::uint64_t epoch_ = 1;
  std::unordered_map<std::string, std::uint64_t> versions_;
  std::unordered_map<std::string, Kept> answers_;
  std::unordered_map<std::string, std::string> keepable_;  // sql -> table or ""
  std::optional<std::int64_t> dataVersion_;
  std::int64_t schemaVersion_ = -1;
  std::uint64_t checkedTransaction_ = 0;

  // What the schema says, loaded when first needed and after it changes.
  bool schemaLoaded_ = false;
  std::unordered_set<std::string> tables_;
  // The tables writing a table may write through triggers (itself included);
  // absent: only itself; nullopt: anything.
  std::unordered_map<std::string, std::optional<std::vector<std::string>>> writesThrough_;
  std::uint64_t given_ = 0;
};

}  // namespace apartado
