#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/fecha.h"
#include "reconcile/decimal.h"
#include "reconcile/resumen.h"

// A revision: many (company, type) pairs reconciled in one invocation, with
// what each pair found. Texts are Windows-1252 like every text of the program;
// the summary files turn them into UTF-8.
namespace autorep::conciliacion {

struct ParRevision {
    enum class Estado { Igual, Diferencias, Error };
    std::string compania;         // origin company code
    std::string nombreCompania;   // its COM_NOMBRE; empty when unknown
    std::string companiaDestino;  // destination company code
    std::int64_t tipo = 0;
    Estado estado = Estado::Error;
    Resumen resumen;              // counts, totals, findings and the report's path
    std::string error;            // the Spanish message of a pair that could not complete
    double segundos = 0;
};

// Equal: nothing missing, different or duplicated (pending rows allowed).
ParRevision::Estado estadoDe(const Resumen& resumen);

struct Revision {
    std::string inicio, fin;        // ISO 8601 with the UTC offset
    std::string origen, destino;    // server texts
    plataforma::Fecha desde, hasta;
    int margenMinutos = 0;
    Decimal tolerancia;
    int estadoSalida = 0;
    bool interrumpida = false;      // cut short: only the pairs that ran are listed
    std::vector<ParRevision> pares; // in (company, type) order
    // The pairs a stop left unreviewed (their company, destination and type).
    std::vector<ParRevision> sinRevisar;
};

}  // namespace autorep::conciliacion
