#pragma once
// How every function of the C interface runs: nothing thrown crosses it;
// each failure becomes a status and the text apartado_last_failure gives.
#include <functional>
#include <stdexcept>
#include <string>

#include "apartado/apartado_c.h"

namespace apartado::capi {

// A call that cannot go on, for a reason of the interface itself (a wrong
// handle, thread, argument or state). Its text is prefixed with the name of
// the C function that was called.
class CallError : public std::runtime_error {
 public:
  CallError(apartado_status status, const std::string& text) : std::runtime_error(text), status_(status) {}
  apartado_status Status() const { return status_; }

 private:
  apartado_status status_;
};

// Records the text of the calling thread's last call.
void SetLastFailure(std::string text);
const char* LastFailure();

// Runs body and answers APARTADO_OK, or the status of what it threw: a
// CallError or a refused JSON input is the caller's mistake and names the
// function; a TransactionConflict is APARTADO_CONFLICT; any other failure
// (the component's, a service's, the database's) is APARTADO_FAILED with its
// own text, unchanged.
apartado_status Call(const char* function, const std::function<void()>& body) noexcept;

// A copy of text the caller frees with apartado_free. Throws std::bad_alloc.
char* Handed(const std::string& text);

// Throws CallError(APARTADO_BAD_ARGUMENT) naming the argument when pointer is null.
void Require(const void* pointer, const char* argument);

}  // namespace apartado::capi
