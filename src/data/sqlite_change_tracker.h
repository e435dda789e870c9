#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/wal_index_header.h"

struct sqlite3;
struct sqlite3_stmt;

namespace apartado {

// Tells, for one SQLite connection, whether what a read answered earlier may
// have changed since, so that the answer can be given again without asking.
//
// Every table read has a version, raised by the connection's own writes to it
// (the update hook). One epoch, raised by whatever the hook does not see,
// stands above them: a rollback; a schema change, pragma or savepoint
// rollback (seen by the authorizer as the statement is prepared); own writes
// the hook misses (a DELETE emptying a table, WITHOUT ROWID tables), found
// because the connection's change count moved further than the hook counted;
// and, unless the database is private to this connection, any commit of
// another connection, found by PRAGMA data_version. In WAL mode that question
// is asked only when the WAL index header has moved since it was last asked:
// any commit, own or not, rewrites the header. Once a database has been
// attached nothing is trusted again.
//
// Installs the connection's authorizer, update hook and rollback hook; none
// may be installed by anyone else. Not thread-safe, as the connection.
class SqliteChangeTracker {
 public:
  // nativeConnection: the sqlite3* (untyped, as for RegisterSqliteFunctions).
  // privateDatabase: no other connection can reach the database (":memory:").
  SqliteChangeTracker(void* nativeConnection, bool privateDatabase);
  ~SqliteChangeTracker();
  SqliteChangeTracker(const SqliteChangeTracker&) = delete;
  SqliteChangeTracker& operator=(const SqliteChangeTracker&) = delete;

  // What the statements prepared between Begin and End read, and whether
  // running them again may change what earlier reads answered.
  struct StatementReads {
    std::vector<const std::uint64_t*> Tables;  // version of each table read
    bool InvalidatesReads = false;
  };
  void BeginStatement();
  StatementReads EndStatement();

  // Brings the epoch up to date with every change made since the last call.
  // False when no read can be trusted on this connection.
  bool Refresh();

  // The versions a read of these tables starts from, and whether they hold.
  struct Stamp {
    std::uint64_t Epoch = 0;
    std::vector<std::uint64_t> Versions;
  };
  Stamp StampOf(const StatementReads& reads) const;
  bool Holds(const StatementReads& reads, const Stamp& stamp) const;

  // Drops the trust in every earlier read.
  void InvalidateAll() { ++epoch_; }

 private:
  static int Authorize(void* self, int action, const char* a, const char* b, const char* database, const char* trigger);
  static void RowChanged(void* self, int operation, const char* database, const char* table, std::int64_t rowid);
  static void RolledBack(void* self);
  bool DataVersionMoved();
  bool OthersMayHaveCommitted();

  sqlite3* connection_;
  bool private_;
  bool attached_ = false;
  std::uint64_t epoch_ = 0;
  std::unordered_map<std::string, std::uint64_t> versions_;  // node-based: addresses stay put
  std::int64_t seenChanges_ = 0;
  std::int64_t hookedChanges_ = 0;
  std::int64_t dataVersion_ = -1;
  sqlite3_stmt* dataVersionStatement_ = nullptr;
  bool preparingOwn_ = false;  // the tracker's own pragmas are not changes
  bool walTried_ = false;      // looked for the WAL index (once)
  std::optional<WalIndexHeader> wal_;
  WalIndexHeader::Snapshot walSeen_{};  // when data_version was last asked; zeros match no header
  StatementReads* collecting_ = nullptr;
  StatementReads collected_;
};

}  // namespace apartado
