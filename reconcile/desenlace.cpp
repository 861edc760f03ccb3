#include "reconcile/desenlace.h"

#include "reconcile/reglas.h"

namespace autorep::conciliacion {

namespace {

// The compared fields of a found line are the same text: equal, as the
// report's reader sees them.
bool mismoTexto(const std::vector<std::string>& c) {
    if (c.size() == 4) return c[2] == c[3];
    return c[2] == c[4] && c[3] == c[5];
}

bool dentroDeTolerancia(const Desenlace& d, const Decimal& tolerancia) {
    if (tolerancia.esCero() || d.importes.empty()) return false;
    for (const auto& [origen, destino] : d.importes) {
        const auto o = Decimal::de(origen), de = Decimal::de(destino);
        if (!o || !de) return false;
        const auto diferencia = o->menos(*de);
        if (!diferencia || diferencia->absoluto().comparar(tolerancia) > 0) return false;
    }
    return true;
}

std::string importe(const std::vector<std::string>& c, std::size_t i, bool comprobante) {
    return comprobante ? c[i] + " / " + c[i + 1] : c[i];
}

}  // namespace

void anotar(const FilaAuditoria& fila, const Desenlace& d, Reporte& reporte, Resumen& resumen, const Conteo& conteo) {
    if (!d.enOrigen) {
        ++resumen.sinOrigen;
        return;
    }
    const auto& c = d.campos;
    if (c.size() == 4) reporte.escribirLinea({c[0], c[1], c[2], c[3]});
    else reporte.escribirLinea({c[0], c[1], c[2], c[3], c[4], c[5]});
    ++resumen.lineas;

    if (!d.importes.empty()) resumen.totalOrigen.sumar(Decimal::de(d.importes[0].first), d.importes[0].first.esNulo());
    const bool comprobante = c.size() == 6;
    auto hallazgo = [&](bool noEncontrado, bool diferente, bool duplicado, bool pendiente = false) {
        if (resumen.hallazgos.size() >= conteo.maximoHallazgos) {
            ++resumen.hallazgosOmitidos;
            return;
        }
        const bool ausente = noEncontrado || pendiente;
        resumen.hallazgos.push_back({noEncontrado, diferente, duplicado, pendiente, c[0], c[1],
                                     comprobante && ausente ? std::string{} : importe(c, 2, comprobante),
                                     ausente ? std::string(conciliacion::noEncontrado)
                                             : importe(c, comprobante ? 4 : 3, comprobante)});
    };

    // A sum line (types 11 and 13) whose document has no header in the
    // destination is a missing document all the same.
    if (!d.encontrado || d.enDestino == 0) {
        if (conteo.pendientesDesde && !(fila.momento < *conteo.pendientesDesde) &&
            !(conteo.pendientesHasta && *conteo.pendientesHasta < fila.momento)) {
            ++resumen.pendientes;
            hallazgo(false, false, false, true);
            return;
        }
        ++resumen.noEncontrados;
        hallazgo(true, false, false);
        return;
    }
    if (!d.importes.empty()) resumen.totalDestino.sumar(Decimal::de(d.importes[0].second), d.importes[0].second.esNulo());
    const bool iguales = mismoTexto(c) || dentroDeTolerancia(d, conteo.tolerancia);
    ++(iguales ? resumen.iguales : resumen.diferentes);
    const bool duplicado = d.enDestino > 1;
    if (duplicado) ++resumen.duplicados;
    if (!iguales || duplicado) hallazgo(false, !iguales, duplicado);
}

}  // namespace autorep::conciliacion
