#pragma once
#include <chrono>
#include <functional>
#include <string_view>
#include <cstddef>
#include <cstdint>
#include <string>

#include "lote/opciones_lote.h"
#include "reconcile/vista_corrida.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "reconcile/interrupcion.h"
#include "reconcile/revision.h"

// A revision: every (company, type) pair of one invocation of autorep-lote,
// the companies side by side on connections of their own, the types of one
// company one after another; a folder with a report per pair and the two
// summaries.
namespace autorep::lote {

// What a revision shows while it works; called from several threads at once.
class TableroRevision {
public:
    virtual ~TableroRevision() = default;
    virtual void empezar(const std::string& compania, std::int64_t tipo) = 0;
    // How far the pair's stage got; `total` is 0 while unknown.
    virtual void avanzar(const std::string& compania, std::int64_t tipo, conciliacion::Fase fase, std::size_t hechos,
                         std::size_t total) = 0;
    // The pair waits for something (its report, held by another run).
    virtual void avisar(const std::string& compania, std::int64_t tipo, const std::string& texto) = 0;
    virtual void terminar(const conciliacion::ParRevision& par) = 0;
};

struct EntornoRevision {
    const plataforma::Regional& regional;
    const plataforma::Reloj& reloj;
    std::string directorio;  // the application directory: the logs, and the default folder's parent
    const conciliacion::Interrupcion* interrupcion;
    TableroRevision& tablero;
    std::chrono::milliseconds esperaReporte;
    // The origin server's clock, which the audit rows carry; when not given,
    // asked of the origin's general database. Tests set their own.
    std::function<plataforma::FechaHora()> relojOrigen = {};
    // How the summaries are published; plataforma::publicarArchivo when not
    // given. Tests make it fail.
    std::function<bool(std::string_view, std::string_view, std::string&)> publicar = {};
};

struct ResultadoRevision {
    conciliacion::Revision revision;
    std::string carpeta;  // the revision folder
    std::string resumen;  // its resumen.json; empty when it could not be written
    // What the pairs asked of the servers: statements executed and audit rows read.
    std::size_t sentencias = 0;
    std::size_t filasAuditoria = 0;
};

// A revision that cannot begin: its folder, or the origin's company list.
class ErrorRevision : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs the pairs the options name and writes the folder. A pair that fails is
// recorded with its Spanish message and the others go on; after a stop asked
// for, only the pairs that ran are listed. Summaries that cannot be written
// make the revision's status 2, with its message.
ResultadoRevision ejecutarRevision(const OpcionesLote& opciones, EntornoRevision& entorno);

}  // namespace autorep::lote
