#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fecha.h"
#include "reconcile/decimal.h"
#include "reconcile/hallazgos.h"
#include "reconcile/resumen.h"

// A revision: many (company, type) pairs reconciled in one invocation, with
// what each pair found. Texts are Windows-1252 like every text of the program;
// the summary files turn them into UTF-8.
namespace autorep::conciliacion {

struct ParRevision {
    // SinMovimientos: the pair read no audit row in the range, so it compared
    // nothing; it is not a difference, but neither is it a check that passed.
    enum class Estado { Igual, Diferencias, SinMovimientos, Error };
    std::string compania;         // origin company code
    std::string nombreCompania;   // its COM_NOMBRE; may be empty
    std::string companiaDestino;  // destination company code
    std::int64_t tipo = 0;
    Estado estado = Estado::Error;
    Resumen resumen;              // counts, totals, findings and the report's path
    std::string error;            // the Spanish message of a pair that could not complete
    bool incompleto = false;      // cut short by a stop: its counts and findings are partial
    double segundos = 0;
    // Its findings file, relative to the revision folder ("EMPRESA/hallazgos21.jsonl");
    // empty when the pair did not complete.
    std::string hallazgos;
    // Beside the same pair of the revision compared with (documents new,
    // persistent and resolved); none when there was no such pair to compare.
    std::optional<HallazgosAnteriores::Cuentas> comparacion;
};

// Equal: nothing missing, different or duplicated (pending rows allowed);
// without a single audit row: SinMovimientos.
ParRevision::Estado estadoDe(const Resumen& resumen);

// The state's word in resumen.json and the history ("igual", "sin_movimientos"...).
std::string_view palabraEstado(ParRevision::Estado estado);
// The state as a person reads it, in the table and on the page (UTF-8).
std::string_view nombreEstado(ParRevision::Estado estado);

// The exit statuses of the batch command and of a revision.
namespace salida {
constexpr int completa = 0;       // every pair compared, all equal
constexpr int diferencias = 1;    // compared, with documents missing, different or duplicated
constexpr int error = 2;          // something could not be checked
constexpr int sinAuditoria = 3;   // it ran, but not one audit row lay in the range: nothing compared
constexpr int interrumpida = 130; // a stop asked for
}  // namespace salida

struct Revision {
    std::string inicio, fin;        // ISO 8601 with the UTC offset
    std::string origen, destino;    // server texts
    // The origin server's clock when the revision began (ISO 8601, the
    // server's local time): the audit rows carry that clock, so the pending
    // window is measured from it. Empty when it could not be read.
    std::string ahoraOrigen;
    plataforma::Fecha desde, hasta;
    int margenMinutos = 0;
    Decimal tolerancia;
    int estadoSalida = 0;
    bool interrumpida = false;      // cut short: only the pairs that ran are listed
    // Why the revision as a whole did not pass, when no pair says it: nothing
    // to review, no audit row in the range, summaries that could not be written.
    std::string mensaje;
    // The earlier revision its findings were compared with, and the one
    // whose findings a re-check checks again (folders; empty when none).
    std::string comparadaCon;
    std::string reverificacionDe;
    // What the revision could not do but went on without (Spanish).
    std::vector<std::string> avisos;
    std::vector<ParRevision> pares; // in (company, type) order
    // The pairs a stop left unreviewed (their company, destination and type).
    std::vector<ParRevision> sinRevisar;
};

// Sets the revision's exit status and, where no pair explains it, its message.
void concluir(Revision& revision);

}  // namespace autorep::conciliacion
