#pragma once
#include <string>
#include <string_view>

namespace autorep::plataforma {

// The program names its files as the application directory followed by a
// name that starts with a backslash ("\ERRORES.TXT"). That backslash is the
// path separator of the platform.
std::string rutaArchivo(std::string_view directorio, std::string_view nombreConBarra);

}  // namespace autorep::plataforma
