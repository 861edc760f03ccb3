#pragma once
#include <exception>
#include <functional>
#include <string>

namespace autorep::app {

// The application-wide handler of errors that no operation handles itself.
// It receives the error's message text.
using ManejadorErrores = std::function<void(const std::string& mensaje)>;

void instalarManejadorErrores(ManejadorErrores manejador);

// Hands the error in flight to the installed handler; never throws.
void reportarExcepcionActual() noexcept;

// Runs an event handler's work; whatever it raises goes to the installed
// handler instead of crossing the event loop.
template <class F>
void protegido(F&& trabajo) noexcept {
    try {
        trabajo();
    } catch (...) {
        reportarExcepcionActual();
    }
}

}  // namespace autorep::app
