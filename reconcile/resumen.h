#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/fecha.h"
#include "reconcile/decimal.h"

namespace autorep::conciliacion {

// A document the replica lacks, holds with other amounts, or holds twice, as
// its report line shows it.
struct Hallazgo {
    bool noEncontrado = false;
    bool diferente = false;
    bool duplicado = false;
    bool pendiente = false;      // not found, audited too recently to tell
    std::string codigo;          // AUDI_COD
    std::string fecha;           // AUDI_FECHA as date text
    std::string importeOrigen;   // vouchers: "debit / credit"
    std::string importeDestino;  // "No encontrado" when absent
};

// What a run counts beside its lines; the defaults count as a single run
// always has.
struct Conteo {
    // Rows not found in the destination whose audit date and time lie from
    // pendientesDesde to pendientesHasta (the moment the run started) are
    // pending, not missing: the replica may not have caught up yet. A row
    // dated later than the run is no excuse: it is missing.
    std::optional<plataforma::FechaHora> pendientesDesde;
    std::optional<plataforma::FechaHora> pendientesHasta;
    // Found lines whose amounts differ by at most this count as equal.
    Decimal tolerancia;
    // Whether to look for documents the destination holds twice; for types 11
    // and 13 this costs one more query, which also tells a document absent
    // from the destination (their sum lines never say "No encontrado").
    bool duplicados = false;
    // How many findings to keep for a summary page.
    std::size_t maximoHallazgos = 0;
};

// What a run did, counted as it wrote.
struct Resumen {
    enum class Fin { SinCompania, Completa };
    Fin fin = Fin::Completa;
    std::size_t registros = 0;       // audit rows read
    std::size_t lineas = 0;          // report lines written
    std::size_t iguales = 0;         // found lines with equal amounts (vouchers: both sums)
    std::size_t diferentes = 0;      // found lines whose amounts differ
    std::size_t noEncontrados = 0;   // not-found lines (pending ones apart)
    std::size_t sinOrigen = 0;       // audit rows whose document is gone from the origin
    std::size_t pendientes = 0;      // not found, but audited too recently to tell
    std::size_t duplicados = 0;      // found lines whose document the destination holds more than once
    Total totalOrigen;               // origin amounts of the lines (vouchers: debit sums)
    Total totalDestino;              // destination amounts of the found lines
    std::vector<Hallazgo> hallazgos; // up to Conteo::maximoHallazgos, pending rows among them
    std::size_t hallazgosOmitidos = 0;
    std::string reporte;             // the report file's path
};

}  // namespace autorep::conciliacion
