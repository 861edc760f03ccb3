#pragma once
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "lote/revision.h"

namespace autorep::lote {

// The revision's progress on standard error: on a terminal, one line per
// running pair, redrawn in place; elsewhere (a scheduler's log) only a pair
// that waits for its report says so. The table at the end tells the rest.
class TableroTerminal final : public TableroRevision {
public:
    explicit TableroTerminal(std::FILE* salida);
    void empezar(const std::string& compania, std::int64_t tipo) override;
    void avanzar(const std::string& compania, std::int64_t tipo, conciliacion::Fase fase, std::size_t hechos,
                 std::size_t total) override;
    void avisar(const std::string& compania, std::int64_t tipo, const std::string& texto) override;
    void terminar(const conciliacion::ParRevision& par) override;

private:
    struct EnCurso {
        std::string compania;
        std::int64_t tipo;
        conciliacion::Fase fase = conciliacion::Fase::LeyendoAuditoria;
        std::size_t hechos = 0, total = 0;
        std::string aviso;
    };
    EnCurso* buscar(const std::string& compania, std::int64_t tipo);
    void borrar();
    void dibujar();
    std::FILE* salida_;
    bool terminal_;
    std::mutex mutex_;
    std::vector<EnCurso> enCurso_;
    std::size_t dibujadas_ = 0;
    std::chrono::steady_clock::time_point ultimo_{};
};

// The table of a finished revision, one row per pair, in the system's
// characters; it fits 100 columns for the counts of an ordinary revision.
std::string tablaRevision(const conciliacion::Revision& revision);

}  // namespace autorep::lote
