#pragma once
// autorep-lote run as a child through the loopback server's test user, with
// its wall time, exit status and peak memory.
#include <string>
#include <vector>

namespace autorep::bench {

struct Medida {
    int estado = -1;
    double segundos = 0;
    long memoriaMiB = 0;
    std::string error;  // what it wrote on standard error
};

// Its standard output and error go to `salida`.out and `salida`.err.
Medida correrLote(const std::vector<std::string>& argumentos, const std::string& salida);

}  // namespace autorep::bench
