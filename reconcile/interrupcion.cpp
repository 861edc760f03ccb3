#include "reconcile/interrupcion.h"

#include "platform/cp1252.h"

namespace autorep::conciliacion {

CorridaInterrumpida::CorridaInterrumpida()
    : std::runtime_error(plataforma::ansi("Interrumpido: el reporte guarda las líneas escritas hasta aquí.")) {}

void Interrupcion::pedir() noexcept {
    pedida_ = true;
    const std::lock_guard<std::mutex> guarda(mutex_);
    for (bd::Conexion* c : conexiones_) c->cancelar();
}

Interrupcion::Registro::Registro(const Interrupcion* interrupcion, std::vector<bd::Conexion*> conexiones)
    : interrupcion_(interrupcion), conexiones_(std::move(conexiones)) {
    if (!interrupcion_) return;
    const std::lock_guard<std::mutex> guarda(interrupcion_->mutex_);
    for (bd::Conexion* c : conexiones_) interrupcion_->conexiones_.push_back(c);
}

Interrupcion::Registro::~Registro() {
    if (!interrupcion_) return;
    const std::lock_guard<std::mutex> guarda(interrupcion_->mutex_);
    for (bd::Conexion* c : conexiones_) std::erase(interrupcion_->conexiones_, c);
}

}  // namespace autorep::conciliacion
