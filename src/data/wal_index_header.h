#pragma once
#include <array>
#include <optional>

namespace apartado {

// The header of the WAL index of a SQLite database in WAL mode: the shared
// memory every connection to the database, in any process, rewrites when it
// commits. Reading it costs no system call, where asking SQLite whether the
// database changed (a read transaction) costs file locks.
//
// The mapping stays valid while the connection stays in WAL mode: a
// connection in WAL mode holds a shared lock on the database file, so no
// other connection can take it out of WAL mode; the connection's own owner
// must not either (the change tracker stops using it on any pragma).
class WalIndexHeader {
 public:
  // The two copies of the header SQLite keeps at the start of the index.
  using Snapshot = std::array<unsigned char, 96>;

  // Finds the index of the connection's main database (a sqlite3*, untyped
  // as for RegisterSqliteFunctions); nullopt unless it is in WAL mode on a
  // file with its shared memory mapped (after a first read transaction).
  static std::optional<WalIndexHeader> Of(void* nativeConnection);

  // The header as it stands, or nullopt while a commit is rewriting it (its
  // two copies differ).
  std::optional<Snapshot> Read() const;

 private:
  WalIndexHeader(void* file, const volatile unsigned char* memory) : file_(file), memory_(memory) {}
  void* file_;  // the database's sqlite3_file
  const volatile unsigned char* memory_;
};

}  // namespace apartado
