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

// The document's totals are those of its last audit row: each row of the
// document replaces what the row before it added.
void totalizar(const FilaAuditoria& fila, const Desenlace& d, Resumen& resumen) {
    auto& enCurso = resumen.documentoEnCurso;
    if (!enCurso.hay || enCurso.idDoc != fila.idDoc) {
        enCurso.hay = true;
        enCurso.idDoc = fila.idDoc;
        enCurso.origen = resumen.totalOrigen;
        enCurso.destino = resumen.totalDestino;
    }
    resumen.totalOrigen = enCurso.origen;
    resumen.totalDestino = enCurso.destino;
    if (d.importes.empty()) return;
    const auto& [origen, destino] = d.importes[0];
    resumen.totalOrigen.sumar(Decimal::de(origen), origen.esNulo());
    if (d.encontrado && d.enDestino != 0) resumen.totalDestino.sumar(Decimal::de(destino), destino.esNulo());
}

bool dentroDeVentana(const FilaAuditoria& fila, const Conteo& conteo) {
    return conteo.pendientesDesde && !(fila.momento < *conteo.pendientesDesde) &&
           !(conteo.pendientesHasta && *conteo.pendientesHasta < fila.momento);
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
    totalizar(fila, d, resumen);

    const bool comprobante = c.size() == 6;
    auto hallazgo = [&](bool noEncontrado, bool diferente, bool duplicado, bool pendiente = false) {
        const bool guardar = resumen.hallazgos.size() < conteo.maximoHallazgos;
        if (!guardar) ++resumen.hallazgosOmitidos;
        if (!guardar && !conteo.anotarHallazgo) return;
        const bool ausente = noEncontrado || (pendiente && !diferente);
        // A voucher the destination lacks has no sums on its line; its debit
        // sum, read for the totals, is what the page can show.
        std::string origen = importe(c, 2, comprobante);
        if (comprobante && ausente) {
            const auto debito = d.importes.empty() ? std::nullopt : Decimal::de(d.importes[0].first);
            origen = debito ? debito->texto() : std::string{};
        }
        Hallazgo h{noEncontrado, diferente, duplicado, pendiente, c[0], c[1], std::move(origen),
                   ausente ? std::string(conciliacion::noEncontrado) : importe(c, comprobante ? 4 : 3, comprobante),
                   fila.idDoc, fila.oper, fila.momento};
        if (conteo.anotarHallazgo) conteo.anotarHallazgo(h);
        if (guardar) resumen.hallazgos.push_back(std::move(h));
    };

    // A sum line (types 11 and 13) whose document has no header in the
    // destination is a missing document all the same.
    if (!d.encontrado || d.enDestino == 0) {
        if (dentroDeVentana(fila, conteo)) {
            ++resumen.pendientes;
            hallazgo(false, false, false, true);
            return;
        }
        ++resumen.noEncontrados;
        hallazgo(true, false, false);
        return;
    }
    const bool iguales = mismoTexto(c) || dentroDeTolerancia(d, conteo.tolerancia);
    // An update not yet replicated shows the old amounts: the same lag as a
    // document not yet there.
    if (!iguales && fila.oper == "U" && dentroDeVentana(fila, conteo)) {
        ++resumen.pendientes;
        hallazgo(false, true, d.enDestino > 1, true);
        if (d.enDestino > 1) ++resumen.duplicados;
        return;
    }
    ++(iguales ? resumen.iguales : resumen.diferentes);
    const bool duplicado = d.enDestino > 1;
    if (duplicado) ++resumen.duplicados;
    if (!iguales || duplicado) hallazgo(false, !iguales, duplicado);
}

}  // namespace autorep::conciliacion
