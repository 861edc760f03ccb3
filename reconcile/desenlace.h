#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "db/valor.h"
#include "reconcile/reporte.h"
#include "reconcile/resumen.h"

namespace autorep::conciliacion {

struct FilaAuditoria;

// What the rule of one audit row found, before its line is written: the
// row-by-row rules and the batched lookups both end here, so they write and
// count alike.
struct Desenlace {
    bool enOrigen = false;    // false: the document is gone from the origin, no line
    bool encontrado = false;  // the line is a found line
    std::vector<std::string> campos;  // the line's fields
    // The amounts the line compares, origin beside destination: one pair for
    // the amount rules, the debit and the credit sums for vouchers, none for
    // a voucher the destination lacks (its line carries no sums).
    std::vector<std::pair<bd::Valor, bd::Valor>> importes;
    // How many destination documents have the row's key; -1 when not counted.
    std::int64_t enDestino = -1;
};

// Writes the row's line, if any, and counts it into the summary.
void anotar(const FilaAuditoria& fila, const Desenlace& desenlace, Reporte& reporte, Resumen& resumen,
            const Conteo& conteo);

}  // namespace autorep::conciliacion
