#include "ctrlaccesoautorep/traduccion.h"

#include "platform/cp1252.h"

namespace autorep::acceso {

std::string parteCitada(const std::string& m) {
    const auto primera = m.find('"');
    if (primera == std::string::npos) return {};
    const auto segunda = m.find('"', primera + 1);
    if (segunda == std::string::npos) return {};
    return m.substr(primera + 1, segunda - primera - 1);
}

std::string traducirMensaje(const std::string& m) {
    if (m.find("Your user name and password are not defined") != std::string::npos)
        return "El nombre de Usuario o la clave son incorrectas.";
    if (m.find("I/O error for file") != std::string::npos)
        return plataforma::ansi("No se encontró el archivo o la ruta ") + parteCitada(m);
    if (m.find("Unable to complete network request") != std::string::npos)
        return plataforma::ansi("No se encontró el equipo servidor con nombre ") + parteCitada(m);
    return "Se presento el siguiente error: " + m;
}

}  // namespace autorep::acceso
