#pragma once
#include <string>
#include <string_view>

#include "apartado/export.h"

namespace apartado {

// Whether a text value may be handed to the layaway component, and why not.
//
// The component writes text values into its statements exactly as they are
// held, between single quotes, doubling nothing: a quote inside a value would
// end it early, and what follows would be read as part of the statement. A
// host therefore checks every text it gives the component, before the first
// call that uses it: the fields of tApEncabezado and tApDetalle, folios and
// the keys of Desapartar_Producto, the operator and server id its session
// services answer, and the catalogue values the component copies into its
// statements (keys, units and product types). The command-line host refuses
// such input with exit status 2 before it writes anything.
//
// A value is refused when it holds a single quote ('), a backslash (\, an
// escape character to some servers), a NUL, a control character other than
// tab, line feed and carriage return (U+0001 to U+001F, U+007F, U+0080 to
// U+009F), or bytes that are not UTF-8. Double quotes, accents and any other
// character are accepted.
//
// Answers "" for a value the component may be given; otherwise a phrase
// naming the first offending character and its position (counted in
// characters from 1), to follow the value's name in a message:
//   std::string fault = apartado::TextValueFault(line.Ap_Concepto);
//   if (!fault.empty()) throw std::invalid_argument("Ap_Concepto " + fault);
//   // "Ap_Concepto holds a single quote (') at character 2"
APARTADO_EXPORT std::string TextValueFault(std::string_view value);

}  // namespace apartado
