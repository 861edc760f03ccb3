#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/avisador.h"
#include "db/conexion.h"
#include "platform/fecha.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "reconcile/interrupcion.h"
#include "reconcile/resumen.h"
#include "reconcile/vista_corrida.h"

namespace autorep::conciliacion {

// An audit row named by the values a run keeps of it (FilaAuditoria's forms):
// AUDI_IDDOC as decimal text, AUDI_COD, AUDI_OPER, and AUDI_FECHA with
// AUDI_HORA to the millisecond.
struct FilaBuscada {
    std::string idDoc;
    std::string codigo;
    std::string oper;
    plataforma::FechaHora momento;
};

// Firebird 3 takes at most 1,500 values in one IN list.
constexpr std::size_t maximoIdsPorConsulta = 1500;

// What a run reads from the main window when it starts.
struct EntradasCorrida {
    std::string companiaOrigen;   // shown text of the company picker
    std::string companiaDestino;  // destination company code, verbatim
    std::string tipo;             // document type code as typed
    std::optional<plataforma::FechaHora> desde;
    std::optional<plataforma::FechaHora> hasta;
    std::string servidorDestino;
    std::string usuarioDestino;
    std::string claveDestino;
    // Looks every row up on its own, as the rules are written, instead of in
    // batches: the reference the batched run is held against.
    bool filaAFila = false;
    // What to count beside the lines (a revision counts more than a single run).
    Conteo conteo = {};
    // Only these audit rows (the type and the range still apply), each looked
    // up and written as a run of the whole range would; the other rows of
    // their documents are neither written nor counted. The origin is asked
    // only for their documents. Nothing: the whole range.
    std::optional<std::vector<FilaBuscada>> soloFilas = std::nullopt;
    // Document ids per audit statement of a restricted run.
    std::size_t idsPorConsulta = maximoIdsPorConsulta;
};

struct EntornoCorrida {
    const plataforma::Regional& regional;
    const plataforma::Reloj& reloj;
    // The application directory, asked each time a file name is built.
    std::function<std::string()> directorio;
    app::Avisador& avisador;
    VistaCorrida& vista;
    // A stop asked for from another thread; none when null.
    const Interrupcion* interrupcion = nullptr;
    // How long a run waits for a report that another run is writing.
    std::chrono::milliseconds esperaReporte = std::chrono::minutes(5);
    // Where the report goes when not to the application directory (a
    // revision's folder); the logs stay in the application directory.
    std::function<std::string()> directorioReporte = {};
    // Where the run adds the audit rows it read (a restricted run reads the
    // other rows of its documents too); none when null.
    std::size_t* filasAuditoria = nullptr;
    // A revision runs a company's pairs one after another on the same two
    // connections: they stay open when a run ends well (a failure or a stop
    // still closes them), so the databases stay open on their servers, with
    // their caches, and nobody signs in again.
    bool conservarConexiones = false;
    // Where such a run leaves its lookup connections for the next pair to the
    // same destination, instead of closing them: each sign-in costs the
    // server some twenty milliseconds. None when null.
    std::vector<std::unique_ptr<bd::Conexion>>* busquedasLibres = nullptr;
};

// The destination could not be connected; errorenvio.txt has its line.
class ErrorDestino : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The type code as a whole number (blanks around it allowed), or nothing.
std::optional<std::int64_t> tipoEntero(const std::string& tipo);

// The audit query of a type and a date range. Dates go in as ISO text, which
// Firebird reads the same way whatever the regional settings.
std::string consultaAuditoria(const std::string& tipo, const plataforma::Fecha& desde, const plataforma::Fecha& hasta);
// The audit statements of a run restricted to these rows: the audit query
// narrowed to their documents' ids, as many ids to a statement as Firebird
// takes (and at most `idsPorConsulta`), in the order of the ids. The ids go
// in as numbers when AUDI_IDDOC is declared a whole number (`idEntero`),
// else quoted. None when no row can be there.
std::vector<std::string> consultasAuditoria(const std::string& tipo, const plataforma::Fecha& desde,
                                            const plataforma::Fecha& hasta, const std::vector<FilaBuscada>& filas,
                                            bool idEntero, std::size_t idsPorConsulta = maximoIdsPorConsulta);

// The reconciliation run. Returns how it ended and what it counted. A
// destination that cannot be connected is logged to errorenvio.txt and raised
// as ErrorDestino. A run that fails after the destination is connected closes
// the report (every line written stays on disk), hides the run display,
// disconnects both companies, and raises its error; a stop asked for through
// the environment's Interrupcion raises CorridaInterrumpida the same way. A
// report that another run holds is waited for, saying so on the run display,
// up to the environment's esperaReporte.
// A destination the caller has already signed in to with conectarDestino,
// for these same entries, is kept.
Resumen ejecutarCorrida(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& entradas,
                        EntornoCorrida& entorno);
// The same, counting into `resumen`, which keeps what was counted (and the
// report's path, once opened) when the run fails or is stopped.
void ejecutarCorrida(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& entradas,
                     EntornoCorrida& entorno, Resumen& resumen);

// Signs in to the run's destination company; a caller may do it ahead of the
// run, beside its own sign-ins, since each costs round trips on a slow link.
void conectarDestino(bd::Conexion& DBEnvio, const EntradasCorrida& entradas);

}  // namespace autorep::conciliacion
