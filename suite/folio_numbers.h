#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "apartado/database.h"

namespace apartado::suite {

// Takes the next number of a branch's series of a document kind from table
// Folio and advances the series; a missing series starts at 1. Answers
// nothing when the series is withdrawn (Es_Cve_Estado 'BA'). Must run inside
// a transaction of the caller: its first statement is the update, so on
// SQLite the write lock is taken before anything is read, and on PostgreSQL
// the series row stays locked until the caller commits.
std::optional<std::int64_t> TakeFolioNumber(Database& db, const std::string& branch, const std::string& kind);

// The folio text: the number in decimal, padded on the left with zeros to
// width digits (no padding for a width of 0 or less; a longer number keeps
// all its digits).
std::string FolioText(std::int64_t number, std::int32_t width);

// Runs body in a transaction, committing when it answers true and rolling
// back when it answers false. A Failure rolls back and runs body again (two
// first numbers of a series may race to create its row); the third Failure
// is thrown to the caller.
bool InTransactionWithRetry(Database& db, const std::function<bool()>& body);

}  // namespace apartado::suite
