#pragma once
// Windows test helpers: running a program and importing registry keys.
#include <string>

namespace autorep::prueba {

struct Salida {
    int estado = -1;
    std::string salida;  // standard output, CR LF turned into LF
    std::string error;   // standard error, likewise
};

// Runs a command line (program text) in the current environment and waits
// for its end.
Salida ejecutar(const std::string& linea);
// The same from a UTF-16 command line, for letters Windows-1252 lacks.
Salida ejecutar(std::wstring linea);

// The folder of the running test program, with a final backslash: the
// programs of the build are beside it.
std::string carpetaDeProgramas();

// Imports a regedit file's text with "regedit /S", as an administrator does.
void importarRegistro(const std::string& texto);

}  // namespace autorep::prueba
