#pragma once
#include <string>
#include <vector>

#include "reconcile/vista_corrida.h"

namespace autorep::prueba {

// Records what a run shows, one entry per call.
class VistaGrabadora final : public conciliacion::VistaCorrida {
public:
    void mostrarEstado(const std::string& t) override { eventos.push_back("estado:" + t); }
    void ocultarEstado() override { eventos.push_back("ocultarEstado"); }
    void iniciarProgreso(std::size_t n) override { eventos.push_back("progreso:" + std::to_string(n)); }
    void mostrarRegistro() override { eventos.push_back("mostrarRegistro"); }
    void ocultarRegistro() override { eventos.push_back("ocultarRegistro"); }
    void avanzar(const std::string& t) override {
        eventos.push_back("avanzar:" + t);
        ++pasos;
    }
    void avisarEspera(const std::string& r) override { eventos.push_back("espera:" + conciliacion::textoEsperaReporte(r)); }
    std::vector<std::string> eventos;
    std::size_t pasos = 0;
};

}  // namespace autorep::prueba
