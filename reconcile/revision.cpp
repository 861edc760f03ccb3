#include "reconcile/revision.h"

#include <cstdio>

#include "platform/cp1252.h"

namespace autorep::conciliacion {

ParRevision::Estado estadoDe(const Resumen& r) {
    if (r.registros == 0) return ParRevision::Estado::SinMovimientos;
    return r.diferentes + r.noEncontrados + r.duplicados == 0 ? ParRevision::Estado::Igual
                                                               : ParRevision::Estado::Diferencias;
}

std::string_view palabraEstado(ParRevision::Estado e) {
    switch (e) {
        case ParRevision::Estado::Igual: return "igual";
        case ParRevision::Estado::Diferencias: return "diferencias";
        case ParRevision::Estado::SinMovimientos: return "sin_movimientos";
        case ParRevision::Estado::Error: break;
    }
    return "error";
}

std::string_view nombreEstado(ParRevision::Estado e) {
    switch (e) {
        case ParRevision::Estado::Igual: return "Igual";
        case ParRevision::Estado::Diferencias: return "Diferencias";
        case ParRevision::Estado::SinMovimientos: return "Sin movimientos";
        case ParRevision::Estado::Error: break;
    }
    return "Error";
}

void concluir(Revision& v) {
    bool error = false, diferencias = false, comparado = false;
    for (const auto& p : v.pares) {
        error = error || !p.error.empty();
        diferencias = diferencias || p.estado == ParRevision::Estado::Diferencias;
        comparado = comparado || p.resumen.registros > 0;
    }
    char rango[64];
    std::snprintf(rango, sizeof rango, "%02u/%02u/%04d al %02u/%02u/%04d", v.desde.dia, v.desde.mes, v.desde.anio,
                  v.hasta.dia, v.hasta.mes, v.hasta.anio);
    if (v.interrumpida) {
        v.estadoSalida = salida::interrumpida;
    } else if (!v.reverificacionDe.empty()) {
        // A re-check passes when no finding of the revision it checks remains;
        // a pending one remains too: the replica has not caught up with it.
        std::size_t quedan = 0, resueltos = 0, sinVerificar = 0;
        for (const auto& p : v.pares) {
            if (!p.comparacion) continue;
            quedan += p.comparacion->persistentes + p.comparacion->nuevos;
            resueltos += p.comparacion->resueltos;
            sinVerificar += p.comparacion->sinVerificar;
        }
        v.estadoSalida = error || sinVerificar ? salida::error : quedan ? salida::diferencias : salida::completa;
        if (v.mensaje.empty() && !error && sinVerificar)
            v.mensaje = std::to_string(sinVerificar) +
                        plataforma::ansi(" documentos con hallazgos no se pudieron volver a verificar: su fila de "
                                         "auditoría ya no está en el origen como estaba. Quedan ") +
                        std::to_string(quedan) + plataforma::ansi(" y se resolvieron ") + std::to_string(resueltos) + ".";
        else if (v.mensaje.empty() && !error)
            v.mensaje = quedan ? plataforma::ansi("Quedan ") + std::to_string(quedan) +
                                     plataforma::ansi(" documentos con hallazgos de la revisión ") + v.reverificacionDe +
                                     plataforma::ansi("; se resolvieron ") + std::to_string(resueltos) + "."
                               : plataforma::ansi("No queda ningún hallazgo de la revisión ") + v.reverificacionDe +
                                     plataforma::ansi(": se resolvieron ") + std::to_string(resueltos) + ".";
    } else if (v.pares.empty() && v.sinRevisar.empty()) {
        v.estadoSalida = salida::error;
        if (v.mensaje.empty())
            v.mensaje = plataforma::ansi("No había nada que revisar: ninguna compañía ni tipo formó un par.");
    } else if (error) {
        v.estadoSalida = salida::error;
    } else if (diferencias) {
        v.estadoSalida = salida::diferencias;
    } else if (!comparado) {
        v.estadoSalida = salida::sinAuditoria;
        v.mensaje = plataforma::ansi("No se encontró ninguna fila de auditoría del ") + rango +
                    plataforma::ansi(": no se comparó ningún documento.");
    } else {
        v.estadoSalida = salida::completa;
    }
}

}  // namespace autorep::conciliacion
