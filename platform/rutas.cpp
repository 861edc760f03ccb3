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

bool mismaRuta(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto comun = [](char c) {
        if (c == '\\') return '/';
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (comun(a[i]) != comun(b[i])) return false;
    return true;
}

}  // namespace autorep::plataforma
