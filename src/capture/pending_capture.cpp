// Placeholder definitions so the library links while capture is being
// written; each is replaced by its own file.
#include "apartado/apartado.h"
#include "apartado/failure.h"

namespace apartado {
void Apartado::Detalle(const tApDetalle&) { throw Failure("not built yet"); }
void Apartado::ApplyDetalle(const tApDetalle&) { throw Failure("not built yet"); }
Boolean Apartado::Add_Apartado_Detalle() { throw Failure("not built yet"); }
Boolean Apartado::ValidateFirstLine() { throw Failure("not built yet"); }
Boolean Apartado::ValidateLine() { throw Failure("not built yet"); }
Boolean Apartado::Inserta_Apartado() { throw Failure("not built yet"); }
}  // namespace apartado
