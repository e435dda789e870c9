// Links against the installed libraries and reads the published type library.
#include <iostream>

#include "apartado/suite.h"
#include "apartado/type_library.h"

int main() {
  const apartado::TypeLibrary& library = apartado::PublishedTypeLibrary();
  std::cout << library.Name << " " << library.MajorVersion << "." << library.MinorVersion << " - "
            << library.HelpString << ", class " << library.ClassName << ", " << library.Members.size()
            << " members\n";
  return library.Name == "apartadoQZL" && library.Members.size() == 15 ? 0 : 1;
}
