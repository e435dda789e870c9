#include "apartado/type_library.h"

namespace apartado {

const TypeLibrary& PublishedTypeLibrary() {
  static const TypeLibrary library{"apartadoQZL",
                                   "Quenzal - Apartados",
                                   1,
                                   2,
                                   "Apartado",
                                   "_Apartado",
                                   {
                                       {"Desapartar_Producto", "function", 0x60030004},
                                       {"Error", "property get", 0x68030002},
                                       {"Encabezado", "property get", 0x68030001},
                                       {"Encabezado", "property let", 0x68030001},
                                       {"Detalle", "property get", 0x68030000},
                                       {"Detalle", "property let", 0x68030000},
                                       {"Nuevo", "sub", 0x60030007},
                                       {"Add_Apartado_Detalle", "function", 0x60030008},
                                       {"Cancelar_Apartado", "function", 0x6003000A},
                                       {"Genera_Cuenta_x_Cobrar_Apartado", "function", 0x6003000B},
                                       {"Apartar", "function", 0x6003000C},
                                       {"Desapartar", "function", 0x6003000D},
                                       {"Apartar_Productos", "property get", 0x6803000E},
                                       {"Apartar_Productos", "property let", 0x6803000E},
                                       {"Finalizar_Apartado", "function", 0x60030013},
                                   }};
  return library;
}

}  // namespace apartado
