#include "platform/rutas.h"

namespace autorep::plataforma {

std::string rutaArchivo(std::string_view directorio, std::string_view nombre) {
    std::string r(directorio);
#ifdef _WIN32
    r += nombre;
#else
    if (!nombre.empty() && nombre.front() == '\\') {
        r += '/';
        nombre.remove_prefix(1);
    }
    r += nombre;
#endif
    return r;
}

}  // namespace autorep::plataforma
