#pragma once
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/conexion.h"
#include "platform/regional.h"
#include "reconcile/interrupcion.h"
#include "reconcile/reglas.h"
#include "reconcile/reporte.h"
#include "reconcile/resumen.h"

// The run in batches: the same lookups as the rules, for many audit rows per
// statement, so that a slow link costs a few round trips per batch instead of
// several per row.
namespace autorep::conciliacion {

// A rule's query, cut around the values it takes: partes[0] value partes[1]
// value ... partes[n]. A value is either quoted text or a bare integer.
struct PlantillaConsulta {
    std::vector<std::string> partes;
    std::vector<bool> citado;  // one per value

    // The statement the row-by-row rule sends for these values.
    std::string referencia(const std::vector<std::string>& valores) const;
};

// A lookup that cannot be done in batches with the very semantics of the rule
// (a value that is not a whole number where the query wants one, ...). The
// run then looks its rows up one by one instead.
class SinLotes : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs the query for every key inside one EXECUTE BLOCK per batch: for each
// key the block runs the rule's own query, with the key's values in place of
// its literals, and returns the first row it yields. The answer holds, per
// key, that row or nothing. A stop asked for is heard between statements.
std::vector<std::optional<std::vector<bd::Valor>>> buscarPorLotes(
    bd::Conexion& conexion, const PlantillaConsulta& plantilla, const std::vector<std::vector<std::string>>& claves,
    const Interrupcion* interrupcion = nullptr);

// Every lookup of a run's rows done ahead; then each row's line is written
// from what was found, in the rows' order.
class PlanLotes {
public:
    // Raises SinLotes, or the database's error, when the run cannot be
    // looked up in batches.
    static PlanLotes preparar(const std::vector<FilaAuditoria>& filas, bd::Conexion& origen, bd::Conexion& destino,
                              const plataforma::Regional& regional, const Interrupcion* interrupcion = nullptr);

    // The line of row i, as the row-by-row rule writes it.
    void escribir(std::size_t i, Reporte& reporte, Resumen& resumen) const;

private:
    // Per row: nothing when the document is gone from the origin, else the
    // fields of its line and whether it was found and equal.
    struct Linea {
        bool enOrigen = false;
        bool encontrado = false;
        bool iguales = false;
        std::vector<std::string> campos;
    };
    std::vector<Linea> lineas_;
    bool conRegla_ = true;
};

}  // namespace autorep::conciliacion
