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

// What a key found: the first row its query yields, and how many it yields.
struct Hallado {
    std::vector<bd::Valor> fila;
    std::int64_t filas = 0;
};

// Runs the query for every key inside one EXECUTE BLOCK per batch: for each
// key the block runs the rule's own query, with the key's values in place of
// its literals, and returns the first row it yields with the count of its
// rows. The answer holds, per key, that or nothing. A stop asked for is heard
// between statements.
std::vector<std::optional<Hallado>> buscarPorLotes(
    bd::Conexion& conexion, const PlantillaConsulta& plantilla, const std::vector<std::vector<std::string>>& claves,
    const Interrupcion* interrupcion = nullptr);

// Every lookup of a run's rows done ahead; then each row's line is written
// from what was found, in the rows' order.
class PlanLotes {
public:
    // Raises SinLotes, or the database's error, when the run cannot be
    // looked up in batches.
    static PlanLotes preparar(const std::vector<FilaAuditoria>& filas, bd::Conexion& origen, bd::Conexion& destino,
                              const plataforma::Regional& regional, const Conteo& conteo,
                              const Interrupcion* interrupcion = nullptr);

    // The line of row i, written and counted as the row-by-row rule does.
    void escribir(const FilaAuditoria& fila, std::size_t i, Reporte& reporte, Resumen& resumen,
                  const Conteo& conteo) const;

private:
    std::vector<Desenlace> desenlaces_;
    bool conRegla_ = true;
};

}  // namespace autorep::conciliacion
