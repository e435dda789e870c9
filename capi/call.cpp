#include "call.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "apartado/failure.h"
#include "json_types.h"

namespace apartado::capi {
namespace {
thread_local std::string last_failure;
}  // namespace

void SetLastFailure(std::string text) { last_failure = std::move(text); }

const char* LastFailure() { return last_failure.c_str(); }

apartado_status Call(const char* function, const std::function<void()>& body) noexcept {
  const std::string prefix = std::string(function) + ": ";
  try {
    body();
    SetLastFailure("");
    return APARTADO_OK;
  } catch (const CallError& e) {
    SetLastFailure(prefix + e.what());
    return e.Status();
  } catch (const host_json::InputError& e) {
    SetLastFailure(prefix + e.what());
    return APARTADO_BAD_ARGUMENT;
  } catch (const TransactionConflict& e) {
    SetLastFailure(e.what());
    return APARTADO_CONFLICT;
  } catch (const std::exception& e) {
    SetLastFailure(e.what());
    return APARTADO_FAILED;
  } catch (...) {
    SetLastFailure(prefix + "a failure that carries no text");
    return APARTADO_FAILED;
  }
}

char* Handed(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (!copy) throw std::bad_alloc();
  std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}

void Require(const void* pointer, const char* argument) {
  if (!pointer) throw CallError(APARTADO_BAD_ARGUMENT, std::string(argument) + " is a null pointer");
}

}  // namespace apartado::capi

extern "C" {

void apartado_free(const void* string) { std::free(const_cast<void*>(string)); }

const char* apartado_last_failure(void) { return apartado::capi::LastFailure(); }

}  // extern "C"
