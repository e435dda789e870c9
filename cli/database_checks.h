#pragma once
// What the host checks of the database a command names before it runs: that
// the connection string is one it knows, that a reading or operating command
// finds an existing database with the suite schema (only init, load and demo
// may create one).
#include <string>
#include <vector>

#include "apartado/database.h"

namespace apartado::cli {

// The SQLite file a connection string names; "" for a server database or a
// private in-memory one.
std::string SqliteFile(const std::string& connection);

// Throws InputError for a connection string of a kind no backend takes
// ("mysql://...").
void RequireKnownBackend(const std::string& connection);

// The suite tables the database lacks, in creation order; every table when
// it has none of them.
std::vector<std::string> MissingSuiteTables(Database& db);

// For every command but init, load and demo: throws InputError, before
// anything is created, when the SQLite file does not exist ("no such
// database"), or when the database lacks the suite schema (run init).
void RequireSuiteDatabase(const std::string& connection, const OpenOptions& options);

}  // namespace apartado::cli
