#pragma once
#include <stdexcept>
#include <string>

#include "apartado/export.h"

namespace apartado {

// A failure raised by any layer (database, suite service, conversion). Its
// what() is the description text exactly as the failing layer gave it; the
// operations that have a failure path turn it into their error text.
class APARTADO_EXPORT Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& description) : std::runtime_error(description) {}
  std::string Description() const { return what(); }
};

// A transaction spoiled by another session's concurrent work (a deadlock, a
// serialization failure, a database kept busy). Nothing of it was kept; run
// it again from the start.
class APARTADO_EXPORT TransactionConflict : public Failure {
 public:
  using Failure::Failure;
};

}  // namespace apartado
