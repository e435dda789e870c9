#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "apartado/database.h"
#include "apartado/suite.h"

namespace apartado::suite {

// What the services of one factory share: its options and an id that tells
// its per-thread connections apart from any other factory's.
struct SuiteContext {
  SuiteOptions options;
  std::uint64_t id = 0;
};

// The connection of the calling thread for this factory: opened on the first
// request on a thread and shared by every service created there while any of
// them lives. Throws Failure when the database cannot be opened.
std::shared_ptr<Database> ThreadDatabase(const SuiteContext& context);

// A second connection of the calling thread to the same database as `main`,
// for work that must neither wait for the thread's open transaction nor be
// undone with it (taking folios on a server database). Opened on first need
// and shared while any service of the factory on the thread holds it.
std::shared_ptr<Database> ThreadAutonomousDatabase(const SuiteContext& context, const Database& main);

// What every reference service holds: the factory's context and the calling
// thread's connection.
class ServiceBase {
 protected:
  explicit ServiceBase(std::shared_ptr<const SuiteContext> context)
      : context_(std::move(context)), db_(ThreadDatabase(*context_)) {}
  Database& Db() { return *db_; }
  // The connection for taking folios (ThreadAutonomousDatabase).
  Database& AutonomousDb() {
    if (!autonomous_) autonomous_ = ThreadAutonomousDatabase(*context_, *db_);
    return *autonomous_;
  }
  // Ends a read of stock, lots or serial numbers: on PostgreSQL the rows
  // read stay locked until the transaction ends, so that a concurrent
  // reservation waits and then reads what this one left. SQLite's
  // transactions hold the whole database already.
  const char* ForUpdate() const { return db_->GetDialect() == SqlDialect::PostgreSQL ? " FOR UPDATE" : ""; }
  const SuiteOptions& Options() const { return context_->options; }

 private:
  std::shared_ptr<const SuiteContext> context_;
  std::shared_ptr<Database> db_;
  std::shared_ptr<Database> autonomous_;
};

}  // namespace apartado::suite
