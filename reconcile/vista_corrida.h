#pragma once
#include <cstddef>
#include <string>

namespace autorep::conciliacion {

// The stages of a batched run, which the bar names: the audit rows arrive
// (with their origin lookups), the destination answers the last of them,
// the lines are written.
enum class Fase { LeyendoAuditoria, BuscandoEnDestino, Escribiendo };

// What a run shows while it works. The main window adapts it to Panel3,
// ProgressBar1 and Edit1; the batch command to a terminal bar.
class VistaCorrida {
public:
    virtual ~VistaCorrida() = default;
    // The status panel with its caption, shown and painted at once.
    virtual void mostrarEstado(const std::string& titulo) = 0;
    virtual void ocultarEstado() = 0;
    // Maximum `total`, then minimum 0, then position 0.
    virtual void iniciarProgreso(std::size_t total) = 0;
    // The bar's total, learnt when the lines were already being written
    // (started with total 0); `hechos` of them are written.
    virtual void conocerTotal(std::size_t /*total*/, std::size_t /*hechos*/) {}
    virtual void mostrarRegistro() = 0;
    virtual void ocultarRegistro() = 0;
    // One audit row: its record text shown, painted, the bar advanced a step.
    virtual void avanzar(const std::string& textoRegistro) = 0;
    // The run waits for its report (the file's name), which another run is
    // writing; textoEsperaReporte says so in words.
    virtual void avisarEspera(const std::string& reporte) = 0;
    // Called as the wait goes on, a few times a second: the window repaints.
    virtual void seguirEsperando() {}
    // Something the run met and went on from (a lookup connection lost), in words.
    virtual void avisar(const std::string& /*texto*/) {}
    // How far a stage got, a few times a second; `total` is 0 while unknown.
    // The writing stage is announced once, before iniciarProgreso.
    virtual void fase(Fase, std::size_t /*hechos*/, std::size_t /*total*/) {}
};

std::string textoEsperaReporte(const std::string& reporte);

}  // namespace autorep::conciliacion
