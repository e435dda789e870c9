#pragma once
// Values as tests write them, and the text of a failure a call lets out.
#include <functional>
#include <string>
#include <utility>

#include "apartado/failure.h"
#include "apartado/variant.h"

namespace apartado::testing {

inline Variant Text(std::string s) { return Variant::FromText(std::move(s)); }
inline Variant Number(double d) { return Variant::FromDouble(d); }
inline Variant Flag(Boolean b) { return Variant::FromInteger(b); }

// The description of the Failure the call lets out, or "no failure".
inline std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& f) {
    return f.what();
  }
  return "no failure";
}

}  // namespace apartado::testing
