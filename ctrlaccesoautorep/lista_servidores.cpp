#include "ctrlaccesoautorep/lista_servidores.h"

#include <array>

#include "platform/sistema.h"

namespace autorep::acceso {

std::vector<std::string> leerListaServidores(std::string_view contenido) {
    std::vector<std::string> lista;
    // The line buffer: 255 characters and a terminator, as the file format allows.
    std::array<char, 256> linea{};
    std::size_t largo = 0;
    for (std::size_t i = 0; i < contenido.size(); ++i) {
        const char c = contenido[i];
        if (c == '\r' || c == '\n') {
            std::string_view texto(linea.data(), largo);
            lista.emplace_back(texto.substr(0, texto.find('\0')));
            largo = 0;
            if (c == '\r') ++i;  // taken as the LF of a CR LF pair
        } else if (largo < linea.size() - 1) {
            linea[largo++] = c;
        }
    }
    return lista;
}

std::vector<std::string> cargarListaServidores(const std::string& ruta) {
    std::string contenido;
    if (!plataforma::leerArchivo(ruta, contenido)) return {};
    return leerListaServidores(contenido);
}

}  // namespace autorep::acceso
