#pragma once
#include <string>
#include <string_view>

namespace autorep::plataforma {

// The program names its files as the application directory followed by a
// name that starts with a backslash ("\ERRORES.TXT"). That backslash is the
// path separator of the platform.
std::string rutaArchivo(std::string_view directorio, std::string_view nombreConBarra);

// Whether two paths name one file as Windows reads them: ASCII letters in
// either case, slash and backslash alike.
bool mismaRuta(std::string_view a, std::string_view b);

}  // namespace autorep::plataforma
