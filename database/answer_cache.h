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

// Answers of single-table queries kept on one connection, given again only
// while provably exact. Each table has a version, raised when this
// connection writes it or a table whose triggers may write it (told from the
// statement's text, see EffectOf); an answer holds while its table's version
// and the epoch are those it was read under. The epoch, raised by whatever
// cannot be told table by table (a rollback, a failed statement, a statement
// of unknown effect, another connection's commit), drops every answer.
//
// An answer lives for the connection or for one transaction:
// - Lifetime::Connection (SQLite): another connection's commit is seen by
//   PRAGMA data_version, asked through the probe: once per transaction that
//   holds the write lock, before every read otherwise, never for a private
//   (":memory:") database.
// - Lifetime::Transaction (PostgreSQL): an answer is given only inside the
//   transaction it was read in, so no probe is needed: under read committed
//   it is what this transaction read and decided with. A table whose
//   version the schema keeps (every statement that writes it raises a
//   number, in the writer's transaction) is the exception: its answers are
//   given in later transactions too while the version read at each
//   transaction's first kept read is the one they were read under.
//   Statements that call a function the cache does not know count as of
//   unknown effect there, since a server function may write any table.
// Answers kept for one transaction only (Scope::transaction) exist on both.
class AnswerCache {
 public:
  enum class Lifetime { Connection, Transaction };
  // Answers PRAGMA data_version and PRAGMA schema_version of the connection.
  using VersionProbe = std::function<std::pair<std::int64_t, std::int64_t>()>;
  // Answers the schema's tables: one row per table and per trigger (or
  // rule) with columns type ('table', 'trigger', 'plpgsql' for a trigger
  // whose function is PL/pgSQL, or 'versioned' for a table whose version is
  // kept), tbl_name, sql (the trigger's text, the PL/pgSQL function's body,
  // or null when what it writes cannot be told from it) and events (the
  // writes that fire it: letters I, U, D; null for any).
  using SchemaReader = std::function<TableRecordset()>;
  // Answers the versions of the tables whose version is kept now: columns
  // tbl_name and version.
  using TableVersions = std::function<TableRecordset()>;

  AnswerCache(Lifetime lifetime, bool privateDatabase, VersionProbe probe, SchemaReader schema,
              TableVersions tableVersions = nullptr);

  // The table a query reads if its answers may be kept, else "": one plain
  // table, neither a view nor unknown to the schema.
  std::string KeepableTable(const std::string& sql);

  // Brings the epoch up to date with other connections' commits (Connection
  // lifetime) or with the transaction now open (Transaction lifetime);
  // `locked`: inside a transaction of this connection that holds the write
  // lock, whose serial number is `transaction`.
  void Refresh(bool locked, std::uint64_t transaction);
  // Whether the schema keeps versions of tables whose answers are given in
  // later transactions (known once the schema was read).
  bool KeepsTableVersions() const { return schemaLoaded_ && !versioned_.empty(); }
  // A transaction begins whose table versions were read with its first
  // statement (rows as TableVersions answers): Refresh need not read them.
  void TransactionBegun(std::uint64_t transaction, TableRecordset versions);

  // How long an answer about to be read may be given again.
  struct Scope {
    std::uint64_t transaction = 0;   // given only inside this transaction; 0: any while it holds
    bool laterTransactions = false;  // of a table whose version is kept: in later transactions too
    // Rows the query locked (LocksRows): kept only when it found some, since
    // a row that was not there may be added by another session meanwhile.
    bool lockedRows = false;
  };
  // Whether a query locks the rows it reads until the transaction ends
  // (SELECT ... FOR UPDATE): no other session changes them meanwhile, so
  // within the transaction its answer holds as long as this connection
  // writes not their table and rolls nothing back (a rollback to a savepoint
  // releases the locks taken after it, and drops every answer here).
  bool LocksRows(const std::string& sql);
  // The answer kept for this statement and these bound values, if it holds
  // in this scope.
  const TableRecordset* Find(const std::string& key, const std::string& table, const Scope& scope) const;
  // Keeps an answer read under the versions current before it ran.
  struct Stamp {
    std::uint64_t epoch = 0;
    std::uint64_t version = 0;
    std::uint64_t transaction = 0;
    std::optional<std::int64_t> tableVersion;  // the kept version it was read under, if given in later transactions
  };
  Stamp StampOf(const std::string& table, const Scope& scope) const;
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
  // A trigger (or rule) of a table: the writes that fire it (kOnInsert,
  // kOnUpdate, kOnDelete bits) and the tables it writes (nullopt: anything).
  struct Trigger {
    char events = 0;
    std::optional<std::vector<std::string>> writes;
  };
  void Wrote(const std::string& table, std::string_view sql);
  // The tables a write of `table` by statements firing `events` may change,
  // itself included; nullopt: anything.
  std::optional<std::vector<std::string>> Reached(const std::string& table, char events);
  void LoadSchema();

  Lifetime lifetime_;
  bool private_;
  VersionProbe probe_;
  SchemaReader readSchema_;
  TableVersions readTableVersions_;
  // The kept versions read at the open transaction's first kept read.
  std::unordered_map<std::string, std::int64_t> tableVersions_;
  std::unordered_set<std::string> versioned_;  // tables whose version the schema keeps
  std::uint64_t epoch_ = 1;
  std::unordered_map<std::string, std::uint64_t> versions_;
  std::unordered_map<std::string, Kept> answers_;
  std::unordered_map<std::string, std::string> keepable_;  // sql -> table or ""
  std::unordered_map<std::string, bool> locking_;          // sql -> LocksRows
  std::optional<std::int64_t> dataVersion_;
  std::int64_t schemaVersion_ = -1;
  std::uint64_t checkedTransaction_ = 0;

  // What the schema says, loaded when first needed and after it changes.
  bool schemaLoaded_ = false;
  std::unordered_set<std::string> tables_;
  std::unordered_map<std::string, std::vector<Trigger>> triggers_;
  // Reached(), by table and events.
  std::unordered_map<std::string, std::optional<std::vector<std::string>>> reached_;
  std::uint64_t given_ = 0;
};

}  // namespace apartado
