#pragma once
// The C variant and the component's Variant, both ways.
#include "apartado/apartado_c.h"
#include "apartado/variant.h"

namespace apartado::capi {

// A variant given as an argument. Throws CallError (APARTADO_BAD_ARGUMENT)
// for an unknown type, a null text and a record (which only a record
// argument takes).
Variant FromC(const apartado_variant& value);

// A variant to hand out; its text, if any, is the caller's to free.
apartado_variant ToC(const Variant& value);
apartado_variant BooleanToC(Boolean value);
// Text or a record's JSON, handed out.
apartado_variant TextToC(apartado_vartype type, const std::string& text);

}  // namespace apartado::capi
