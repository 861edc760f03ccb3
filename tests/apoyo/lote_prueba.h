#pragma once
#include <map>
#include <string>
#include <vector>

namespace autorep::prueba {

struct SalidaLote {
    int estado = -1;
    std::string salida;  // standard output
    std::string error;   // standard error
};

// Runs build/autorep-lote with these arguments and extra environment.
SalidaLote correrLote(const std::vector<std::string>& argumentos, const std::map<std::string, std::string>& entorno = {});

}  // namespace autorep::prueba
