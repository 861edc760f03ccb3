#include "app/manejador_global.h"

#include <cstdio>
#include <stdexcept>

namespace autorep::app {

namespace {
ManejadorErrores& manejador() {
    static ManejadorErrores m;
    return m;
}
}  // namespace

void instalarManejadorErrores(ManejadorErrores m) { manejador() = std::move(m); }

void reportarExcepcionActual() noexcept {
    std::string mensaje;
    try {
        throw;
    } catch (const std::exception& e) {
        mensaje = e.what();
    } catch (...) {
        mensaje = "Error desconocido";
    }
    try {
        if (manejador()) {
            manejador()(mensaje);
            return;
        }
    } catch (...) {
    }
    std::fprintf(stderr, "%s\n", mensaje.c_str());
}

}  // namespace autorep::app
