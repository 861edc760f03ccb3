#pragma once
#include <cstddef>
#include <functional>
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
    // Audited too recently to tell: not found, or (an update) found with
    // other amounts; the replica may not have caught up yet.
    bool pendiente = false;
    std::string codigo;          // AUDI_COD
    std::string fecha;           // AUDI_FECHA as date text
    std::string importeOrigen;   // vouchers: "debit / credit"; a missing voucher: its debit sum
    std::string importeDestino;  // "No encontrado" when absent
    // The audit row's own identity, by which a later re-check finds it again.
    std::string idDoc;           // AUDI_IDDOC as decimal text
    std::string oper;            // AUDI_OPER
    plataforma::FechaHora momento;  // AUDI_FECHA and AUDI_HORA
    // Beside the revision before it: a document found there too, or not.
    enum class Marca { Ninguna, Nuevo, Persistente };
    Marca marca = Marca::Ninguna;
};

// What a run counts beside its lines; the defaults count as a single run
// always has.
struct Conteo {
    // Rows not found in the destination, and update rows found with other
    // amounts, whose audit date and time lie from pendientesDesde to
    // pendientesHasta (the origin server's clock when the revision started)
    // are pending, not missing or different: the replica may not have caught
    // up yet. A row dated later than that is no excuse.
    std::optional<plataforma::FechaHora> pendientesDesde;
    std::optional<plataforma::FechaHora> pendientesHasta;
    // Found lines whose amounts differ by at most this count as equal.
    Decimal tolerancia;
    // Whether to look for documents the destination holds twice; for types 11
    // and 13 this costs one more query, which also tells a document absent
    // from the destination (their sum lines never say "No encontrado").
    bool duplicados = false;
    // Whether the control totals are wanted: they read the origin debit sum
    // of each voucher the destination lacks, one more origin query apiece.
    bool totales = false;
    // How many findings to keep for a summary page.
    std::size_t maximoHallazgos = 0;
    // Called with every finding, those beyond the page's share too.
    std::function<void(const Hallazgo&)> anotarHallazgo = {};
    // Called with the document code of every audit row read.
    std::function<void(const std::string&)> anotarFila = {};
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
    std::size_t pendientes = 0;      // not found or different, but audited too recently to tell
    std::size_t duplicados = 0;      // found lines whose document the destination holds more than once
    // Control totals of the documents, each once, with the amounts of its
    // last audit row: the origin's (vouchers: the debit sum), also for a
    // document the destination lacks, and the destination's where found.
    Total totalOrigen;
    Total totalDestino;
    // The document whose rows are being counted (a run reads a document's
    // audit rows together), and the totals of the documents before it.
    struct {
        bool hay = false;
        std::string idDoc;
        Total origen, destino;
    } documentoEnCurso;
    std::vector<Hallazgo> hallazgos; // up to Conteo::maximoHallazgos, pending rows among them
    std::size_t hallazgosOmitidos = 0;
    std::string reporte;             // the report file's path
};

}  // namespace autorep::conciliacion
