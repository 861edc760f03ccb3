#include "reconcile/interrupcion.h"

#include <system_error>
#include <thread>

#include "platform/cp1252.h"

namespace autorep::conciliacion {

CorridaInterrumpida::CorridaInterrumpida()
    : std::runtime_error(plataforma::ansi("Interrumpido: el reporte guarda las líneas escritas hasta aquí.")) {}

Interrupcion& Interrupcion::delPrograma() {
    static auto* interrupcion = new Interrupcion;
    return *interrupcion;
}

void Interrupcion::pedir() noexcept {
    pedida_ = true;
    const std::lock_guard<std::mutex> guarda(mutex_);
    // The cancel runs on a thread made now, after the engine's library is
    // loaded, not on the caller's (the signal's thread predates it): engine
    // state on that older thread made LeakSanitizer's exit scan crash.
    auto cancelar = [this] {
        for (bd::Conexion* c : conexiones_) c->cancelar();
    };
    try {
        std::thread(cancelar).join();
    } catch (const std::system_error&) {
        cancelar();  // no thread to be had: here, then
    }
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
