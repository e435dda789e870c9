// Placeholder definitions so the library links while the lifecycle
// operations are being written; each is replaced by its own file.
#include "apartado/apartado.h"
#include "apartado/failure.h"

namespace apartado {
Boolean Apartado::Cancelar_Apartado(const std::string&) { throw Failure("not built yet"); }
Boolean Apartado::Genera_Cuenta_x_Cobrar_Apartado(const std::string&) { throw Failure("not built yet"); }
Boolean Apartado::Finalizar_Apartado(const std::string&) { throw Failure("not built yet"); }
Boolean Apartado::Crm_Historial_Seguimiento(const std::string&, const std::string&) { throw Failure("not built yet"); }
}  // namespace apartado
