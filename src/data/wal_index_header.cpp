#include "data/wal_index_header.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

namespace apartado {
namespace {

// The WAL index is mapped in pages of 32 KiB; its header opens the first one
// with a 48-byte structure, written twice, starting with the format version.
constexpr int kIndexPageSize = 32768;
constexpr std::size_t kHeaderSize = 48;
constexpr std::uint32_t kIndexFormatVersion = 3007000;

}  // namespace

std::optional<WalIndexHeader> WalIndexHeader::Of(void* nativeConnection) {
  auto* connection = static_cast<sqlite3*>(nativeConnection);
  const char* mode = nullptr;
  sqlite3_stmt* statement = nullptr;
  bool wal = false;
  if (sqlite3_prepare_v2(connection, "PRAGMA main.journal_mode", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    wal = mode != nullptr && std::strcmp(mode, "wal") == 0;
  }
  sqlite3_finalize(statement);
  if (!wal) return std::nullopt;

  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(connection, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || file == nullptr ||
      file->pMethods == nullptr || file->pMethods->iVersion < 2 || file->pMethods->xShmMap == nullptr ||
      file->pMethods->xShmBarrier == nullptr)
    return std::nullopt;
  void volatile* memory = nullptr;
  // Not extending: only an index already mapped is taken.
  if (file->pMethods->xShmMap(file, 0, kIndexPageSize, 0, &memory) != SQLITE_OK || memory == nullptr)
    return std::nullopt;
  WalIndexHeader header(file, static_cast<const volatile unsigned char*>(memory));
  const std::optional<Snapshot> first = header.Read();
  std::uint32_t version = 0;
  if (first) std::memcpy(&version, first->data(), sizeof version);
  if (version != kIndexFormatVersion) return std::nullopt;
  return header;
}

std::optional<WalIndexHeader::Snapshot> WalIndexHeader::Read() const {
  // A writer rewrites the second copy, then the first: copies that agree are
  // a header no commit is halfway through.
  // The barrier is SQLite's own, as its readers use between the copies.
  auto* file = static_cast<sqlite3_file*>(file_);
  Snapshot snapshot;
  file->pMethods->xShmBarrier(file);
  for (std::size_t i = 0; i < kHeaderSize; ++i) snapshot[i] = memory_[i];
  file->pMethods->xShmBarrier(file);
  for (std::size_t i = kHeaderSize; i < 2 * kHeaderSize; ++i) snapshot[i] = memory_[i];
  if (std::memcmp(snapshot.data(), snapshot.data() + kHeaderSize, kHeaderSize) != 0) return std::nullopt;
  return snapshot;
}

}  // namespace apartado
