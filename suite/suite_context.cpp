#include "suite_context.h"

#include <unordered_map>

namespace apartado::suite {
namespace {

OpenOptions Opening(const SuiteContext& context) {
  OpenOptions options;
  options.statementTimeout = context.options.statementTimeout;
  return options;
}

}  // namespace

std::shared_ptr<Database> ThreadDatabase(const SuiteContext& context) {
  if (context.options.database) return context.options.database;
  // Weak references: the connection closes when the last service of the
  // factory on this thread goes, and a later service opens a new one.
  thread_local std::unordered_map<std::uint64_t, std::weak_ptr<Database>> connections;
  if (auto db = connections[context.id].lock()) return db;
  std::erase_if(connections, [](const auto& entry) { return entry.second.expired(); });
  std::shared_ptr<Database> db = Database::Open(context.options.connectionString, Opening(context));
  connections[context.id] = db;
  return db;
}

std::shared_ptr<Database> ThreadAutonomousDatabase(const SuiteContext& context, const Database& main) {
  thread_local std::unordered_map<std::uint64_t, std::weak_ptr<Database>> connections;
  if (auto db = connections[context.id].lock()) return db;
  std::erase_if(connections, [](const auto& entry) { return entry.second.expired(); });
  std::shared_ptr<Database> db = Database::Open(main.ConnectionString(), Opening(context));
  connections[context.id] = db;
  return db;
}

}  // namespace apartado::suite
