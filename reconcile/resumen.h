#pragma once
#include <cstddef>
#include <string>

namespace autorep::conciliacion {

// What a run did, counted as it wrote.
struct Resumen {
    enum class Fin { SinCompania, Completa };
    Fin fin = Fin::Completa;
    std::size_t registros = 0;       // audit rows read
    std::size_t lineas = 0;          // report lines written
    std::size_t iguales = 0;         // found lines with equal amounts (vouchers: both sums)
    std::size_t diferentes = 0;      // found lines whose amounts differ
    std::size_t noEncontrados = 0;   // not-found lines
    std::size_t sinOrigen = 0;       // audit rows whose document is gone from the origin
    std::string reporte;             // the report file's path
};

}  // namespace autorep::conciliacion
