// Placeholder definitions so the library links while the stock operations and
// the whole-layaway walks are being written; each is replaced by its own file.
#include "apartado/apartado.h"
#include "apartado/failure.h"

namespace apartado {
Boolean Apartado::Aparta_Producto(const std::string&, const std::string&, const std::string&, const std::string&,
                                  const std::string&, double, double) {
  throw Failure("not built yet");
}
Boolean Apartado::Desapartar_Producto(const std::string&, const std::string&, const std::string&,
                                      const std::string&, const std::string&, double, double, const std::string&) {
  throw Failure("not built yet");
}
Boolean Apartado::Apartar(const std::string&) { throw Failure("not built yet"); }
Variant Apartado::Desapartar(const std::string&) { throw Failure("not built yet"); }
}  // namespace apartado
