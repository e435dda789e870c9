#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "apartado/database.h"

namespace apartado::suite {

// Takes the next number of a branch's series of a document kind from table
// Folio and advances the series; a missing series starts at 1. Answers
// nothing when the series is withdrawn (Es_Cve_Estado 'BA').
//
// No two callers ever get one number, and the series row is held no longer
// than the taking: when the caller's work runs in a transaction of its
// caller's (`inCallersTransaction`, such as a whole layaway's) on a server
// database, the number is taken on `autonomous`, in a transaction of its own
// that commits at once (a rollback of the caller's transaction then loses
// the number; it is never given out again). Otherwise it is taken on db,
// inside the transaction open there, if any: on SQLite a transaction holds
// the whole database anyway, and a rollback gives the number out again once
// nothing that carried it remains.
std::optional<std::int64_t> NextFolioNumber(Database& db, const std::function<Database&()>& autonomous,
                                            bool inCallersTransaction, const std::string& branch,
                                            const std::string& kind);

// The folio text: the number in decimal, padded on the left with zeros to
// width digits (no padding for a width of 0 or less; a longer number keeps
// all its digits).
std::string FolioText(std::int64_t number, std::int32_t width);

// Runs body in a transaction (a savepoint inside an open one), committing
// when it answers true and rolling back when it answers false. A Failure
// rolls back and runs body again (two first numbers of a series may race to
// create its row); the third Failure is thrown to the caller. A conflict with
// another session inside an open transaction is thrown at once: the whole
// outer transaction must run again.
bool InTransactionWithRetry(Database& db, const std::function<bool()>& body);

}  // namespace apartado::suite
