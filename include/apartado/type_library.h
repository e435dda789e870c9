#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "apartado/export.h"

namespace apartado {

// The component's published type library, as data a host can read where the
// platform's component model is not at hand.
struct TypeLibraryMember {
  std::string_view Name;
  std::string_view Kind;  // "function", "sub", "property get", "property let"
  std::uint32_t DispatchId;
};

struct TypeLibrary {
  std::string_view Name;
  std::string_view HelpString;
  int MajorVersion;
  int MinorVersion;
  std::string_view ClassName;
  std::string_view InterfaceName;
  std::vector<TypeLibraryMember> Members;  // in the interface's slot order
};

APARTADO_EXPORT const TypeLibrary& PublishedTypeLibrary();

}  // namespace apartado
