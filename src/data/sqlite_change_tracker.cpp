#include "data/sqlite_change_tracker.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace apartado {

SqliteChangeTracker::SqliteChangeTracker(void* nativeConnection, bool privateDatabase)
    : connection_(static_cast<sqlite3*>(nativeConnection)), private_(privateDatabase) {
  sqlite3_set_authorizer(connection_, &Authorize, this);
  sqlite3_update_hook(
      connection_,
      [](void* self, int operation, const char* database, const char* table, sqlite3_int64 rowid) {
        RowChanged(self, operation, database, table, rowid);
      },
      this);
  sqlite3_rollback_hook(connection_, &RolledBack, this);
  seenChanges_ = sqlite3_total_changes64(connection_);
  preparingOwn_ = true;
  if (!private_ &&
      sqlite3_prepare_v2(connection_, "PRAGMA data_version", -1, &dataVersionStatement_, nullptr) != SQLITE_OK) {
    attached_ = true;  // cannot see other connections' commits: trust nothing
  }
  preparingOwn_ = false;
}

SqliteChangeTracker::~SqliteChangeTracker() {
  sqlite3_finalize(dataVersionStatement_);
  sqlite3_set_authorizer(connection_, nullptr, nullptr);
  sqlite3_update_hook(connection_, nullptr, nullptr);
  sqlite3_rollback_hook(connection_, nullptr, nullptr);
}

void SqliteChangeTracker::BeginStatement() {
  collected_ = StatementReads{};
  collecting_ = &collected_;
}

SqliteChangeTracker::StatementReads SqliteChangeTracker::EndStatement() {
  collecting_ = nullptr;
  return std::move(collected_);
}

// Called while a statement is prepared, once per thing it will do.
int SqliteChangeTracker::Authorize(void* self, int action, const char* a, const char*, const char*, const char*) {
  auto& tracker = *static_cast<SqliteChangeTracker*>(self);
  switch (action) {
    case SQLITE_READ:
      if (tracker.collecting_ != nullptr && a != nullptr) {
        const std::uint64_t* version = &tracker.versions_[a];
        auto& tables = tracker.collecting_->Tables;
        if (std::find(tables.begin(), tables.end(), version) == tables.end()) tables.push_back(version);
      }
      return SQLITE_OK;
    case SQLITE_SELECT:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:  // a rollback is seen by its own hook
      return SQLITE_OK;
    case SQLITE_SAVEPOINT:
      if (a == nullptr || std::strcmp(a, "ROLLBACK") != 0) return SQLITE_OK;
      break;
    case SQLITE_ATTACH:
      // Commits to an attached database do not move main's data version.
      tracker.attached_ = true;
      break;
    case SQLITE_PRAGMA:
      if (tracker.preparingOwn_) return SQLITE_OK;
      // It may take the database out of WAL mode, unmapping the index.
      tracker.wal_.reset();
      tracker.walTried_ = true;
      break;
    default:
      break;
  }
  // Schema changes, pragmas, savepoint rollbacks and the like.
  tracker.InvalidateAll();
  if (tracker.collecting_ != nullptr) tracker.collecting_->InvalidatesReads = true;
  return SQLITE_OK;
}

void SqliteChangeTracker::RowChanged(void* self, int, const char*, const char* table, std::int64_t) {
  auto& tracker = *static_cast<SqliteChangeTracker*>(self);
  ++tracker.versions_[table];
  ++tracker.hookedChanges_;
}

void SqliteChangeTracker::RolledBack(void* self) { static_cast<SqliteChangeTracker*>(self)->InvalidateAll(); }

bool SqliteChangeTracker::DataVersionMoved() {
  std::int64_t now = -1;
  preparingOwn_ = true;  // SQLite prepares it again after a schema change
  if (sqlite3_step(dataVersionStatement_) == SQLITE_ROW) now = sqlite3_column_int64(dataVersionStatement_, 0);
  preparingOwn_ = false;
  sqlite3_reset(dataVersionStatement_);  // ends the read transaction the step began
  const bool moved = now < 0 || now != dataVersion_;
  dataVersion_ = now;
  return moved;
}

// The header is read before data_version is asked: a commit between the two
// moves the header again and is asked about next time.
bool SqliteChangeTracker::OthersMayHaveCommitted() {
  if (wal_) {
    const std::optional<WalIndexHeader::Snapshot> now = wal_->Read();
    if (now && *now == walSeen_) return false;
    walSeen_ = now.value_or(WalIndexHeader::Snapshot{});
    return DataVersionMoved();
  }
  const bool moved = DataVersionMoved();
  if (!walTried_) {
    // After a read transaction the index is mapped. Its header is not taken
    // now (a commit since data_version was asked would go unseen): the
    // zeros in walSeen_ make the next call ask again.
    walTried_ = true;
    preparingOwn_ = true;
    wal_ = WalIndexHeader::Of(connection_);
    preparingOwn_ = false;
  }
  return moved;
}

bool SqliteChangeTracker::Refresh() {
  if (attached_) return false;
  const std::int64_t changes = sqlite3_total_changes64(connection_);
  if (changes - seenChanges_ != hookedChanges_) InvalidateAll();
  seenChanges_ = changes;
  hookedChanges_ = 0;
  if (!private_ && OthersMayHaveCommitted()) InvalidateAll();
  return true;
}

SqliteChangeTracker::Stamp SqliteChangeTracker::StampOf(const StatementReads& reads) const {
  Stamp stamp{epoch_, {}};
  stamp.Versions.reserve(reads.Tables.size());
  for (const std::uint64_t* version : reads.Tables) stamp.Versions.push_back(*version);
  return stamp;
}

bool SqliteChangeTracker::Holds(const StatementReads& reads, const Stamp& stamp) const {
  if (stamp.Epoch != epoch_ || stamp.Versions.size() != reads.Tables.size()) return false;
  for (std::size_t i = 0; i < reads.Tables.size(); ++i) {
    if (*reads.Tables[i] != stamp.Versions[i]) return false;
  }
  return true;
}

}  // namespace apartado
