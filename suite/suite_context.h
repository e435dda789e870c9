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

// What every reference service holds: the factory's context and the calling
// thread's connection.
class ServiceBase {
 protected:
  explicit ServiceBase(std::shared_ptr<const SuiteContext> context)
      : context_(std::move(context)), db_(ThreadDatabase(*context_)) {}
  Database& Db() { return *db_; }
  const SuiteOptions& Options() const { return context_->options; }

 private:
  std::shared_ptr<const SuiteContext> context_;
  std::shared_ptr<Database> db_;
};

}  // namespace apartado::suite
