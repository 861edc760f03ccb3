#include "reconcile/resumen_html.h"

#include <kainjow/mustache.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <stdexcept>

#include "platform/cp1252.h"
#include "platform/fecha.h"
#include "plantilla_resumen.h"
#include "reconcile/formato.h"
#include "reconcile/reglas.h"

namespace autorep::conciliacion {
namespace {

using Datos = kainjow::mustache::data;
using plataforma::cp1252AUtf8;

Datos lista() { return Datos(Datos::type::list); }

std::string fechaTexto(const plataforma::Fecha& f) {
    char texto[16];
    std::snprintf(texto, sizeof texto, "%02u/%02u/%04d", f.dia, f.mes, f.anio);
    return texto;
}

Datos datosMomento(const std::string& iso) {
    const std::string utf8 = cp1252AUtf8(iso);
    Datos d;
    d.set("iso", utf8);
    const auto m = leerMomentoIso(utf8);
    d.set("texto", m ? m->texto : utf8);
    d.set("hayZona", m && !m->zona.empty());
    d.set("zona", m ? m->zona : std::string());
    return d;
}

// The page's class of a pair: its state, with an equal pair that excuses
// recent documents told apart as pending.
std::string_view claseDe(const ParRevision& par) {
    switch (par.estado) {
        case ParRevision::Estado::Igual: return par.resumen.pendientes > 0 ? "pendiente" : "igual";
        case ParRevision::Estado::Diferencias: return "diferencias";
        case ParRevision::Estado::SinMovimientos: return "sinmovimientos";
        case ParRevision::Estado::Error: break;
    }
    return "error";
}

std::string nombreDe(const ParRevision& par) {
    if (par.incompleto) return "Incompleto";
    if (claseDe(par) == "pendiente") return "Pendiente";
    return std::string(nombreEstado(par.estado));
}

std::string conTolerancia(const Revision& revision) {
    return revision.tolerancia.esCero() ? std::string() : " con tolerancia de " + revision.tolerancia.texto();
}

std::string mensajeError(const ParRevision& par) {
    return par.error.empty() ? std::string("No se pudo revisar.") : cp1252AUtf8(par.error);
}

// The cell's compact counts: its lines, then only what went wrong.
Datos cuentas(const Resumen& r) {
    Datos d = lista();
    auto agregar = [&](std::string texto, std::string titulo) {
        Datos c;
        c.set("texto", std::move(texto));
        c.set("titulo", std::move(titulo));
        d.push_back(c);
    };
    agregar(plural(r.lineas, "línea", "líneas"), plural(r.lineas, "línea del reporte", "líneas del reporte"));
    if (r.diferentes) agregar("≠ " + miles(r.diferentes), plural(r.diferentes, "diferente", "diferentes"));
    if (r.noEncontrados)
        agregar("✗ " + miles(r.noEncontrados), plural(r.noEncontrados, "no encontrado", "no encontrados"));
    if (r.pendientes) agregar("◷ " + miles(r.pendientes), plural(r.pendientes, "pendiente", "pendientes"));
    if (r.duplicados) agregar("❐ " + miles(r.duplicados), plural(r.duplicados, "duplicado", "duplicados"));
    return d;
}

Datos hallazgo(const Hallazgo& h, bool comprobante) {
    // A pending update was found, with the amounts it had before: both shown.
    const bool ausente = h.noEncontrado || (h.pendiente && !h.diferente);
    Datos d;
    d.set("codigo", cp1252AUtf8(h.codigo));
    d.set("fecha", cp1252AUtf8(h.fecha));
    d.set("origen", cp1252AUtf8(h.importeOrigen));
    // A missing voucher's line has no sums: its origin amount is the debit sum alone.
    d.set("soloDebe", comprobante && ausente && !h.importeOrigen.empty());
    d.set("destino", cp1252AUtf8(h.importeDestino));
    d.set("ausente", ausente);
    Datos etiquetas = lista();
    auto etiqueta = [&](bool marcado, const char* clase, const char* texto) {
        if (!marcado) return;
        Datos e;
        e.set("clase", clase);
        e.set("texto", texto);
        etiquetas.push_back(e);
    };
    etiqueta(h.pendiente, "pendiente", "pendiente");
    etiqueta(h.noEncontrado, "noencontrado", "no encontrado");
    etiqueta(h.diferente && !h.pendiente, "diferente", "diferente");
    etiqueta(h.diferente && h.pendiente, "distinto", "importe aún distinto");
    etiqueta(h.duplicado, "duplicado", "duplicado");
    etiqueta(h.marca == Hallazgo::Marca::Persistente, "persistente", "persistente");
    etiqueta(h.marca == Hallazgo::Marca::Nuevo, "nuevo", "nuevo");
    d.set("etiquetas", etiquetas);
    return d;
}

// What changed beside the revision compared with: "2 nuevos · 1 persistente · 3 resueltos".
std::string cambios(const HallazgosAnteriores::Cuentas& c) {
    return plural(c.nuevos, "nuevo", "nuevos") + " · " + plural(c.persistentes, "persistente", "persistentes") + " · " +
           plural(c.resueltos, "resuelto", "resueltos");
}

Datos total(const Total& t) {
    Datos d;
    d.set("suma", t.suma.texto());
    d.set("exacto", t.exacto);
    return d;
}

Datos veredicto(const Revision& revision) {
    std::size_t iguales = 0, diferencias = 0, pendientes = 0, sinMovimientos = 0, errores = 0, incompletos = 0;
    for (const auto& par : revision.pares) {
        const auto clase = claseDe(par);
        if (par.incompleto) ++incompletos;
        else if (clase == "igual") ++iguales;
        else if (clase == "pendiente") ++pendientes;
        else if (clase == "diferencias") ++diferencias;
        else if (clase == "sinmovimientos") ++sinMovimientos;
        else ++errores;
    }
    std::string cuenta = plural(revision.pares.size(), "par revisado", "pares revisados");
    if (!revision.sinRevisar.empty())
        cuenta = std::to_string(revision.pares.size()) + " de " +
                 plural(revision.pares.size() + revision.sinRevisar.size(), "par revisado", "pares revisados");
    std::string detalle;
    auto parte = [&](std::size_t n, std::string_view singular, std::string_view varios, std::string sufijo = {}) {
        if (n == 0) return;
        detalle += detalle.empty() ? ": " : ", ";
        detalle += plural(n, singular, varios) + sufijo;
    };
    parte(iguales, "igual", "iguales", conTolerancia(revision));
    parte(diferencias, "con diferencias", "con diferencias");
    parte(pendientes, "con pendientes", "con pendientes");
    parte(sinMovimientos, "sin movimientos", "sin movimientos");
    parte(errores, "con error", "con error");
    parte(incompletos, "incompleto", "incompletos");
    cuenta += detalle + ".";

    std::string clase, texto;
    switch (revision.estadoSalida) {
        case salida::completa: clase = "igual", texto = "La réplica está completa"; break;
        case salida::diferencias: clase = "diferencias", texto = "Hay diferencias"; break;
        case salida::error:
            clase = "error";
            if (revision.pares.empty() && revision.sinRevisar.empty()) texto = "No se revisó ningún par";
            else if (errores + incompletos > 0) texto = "Hay pares que no se pudieron revisar";
            else texto = "La revisión no pudo completarse";
            break;
        case salida::sinAuditoria:
            clase = "sinmovimientos", texto = "No se encontró ninguna fila de auditoría en el rango";
            break;
        case salida::interrumpida: clase = "interrumpida", texto = "Revisión interrumpida"; break;
        default:
            clase = "error", texto = "Estado de salida " + std::to_string(revision.estadoSalida);
    }
    Datos d;
    d.set("clase", clase);
    d.set("texto", texto);
    d.set("cuenta", cuenta);
    d.set("hayMotivo", !revision.mensaje.empty());
    d.set("motivo", cp1252AUtf8(revision.mensaje));
    return d;
}

// A pair that gets a block of documents: what it found, or what a stop let
// it find.
bool conDetalle(const ParRevision& par) {
    const auto clase = claseDe(par);
    return par.incompleto || clase == "diferencias" || (clase == "pendiente" && !par.resumen.hallazgos.empty());
}

// A cell of the matrix: its outcome, counts, and a link to what explains it.
Datos celda(const ParRevision& par) {
    const std::string clase(claseDe(par)), compania = cp1252AUtf8(par.compania), tipo = std::to_string(par.tipo);
    const bool conError = clase == "error", detalle = conDetalle(par);
    Datos c;
    c.set("vacia", false);
    c.set("compania", compania);
    c.set("tipo", tipo);
    c.set("clase", par.incompleto ? clase + " incompleto" : clase);
    c.set("estado", nombreDe(par));
    c.set("conError", conError);
    c.set("mensaje", conError ? mensajeError(par) : std::string());
    c.set("hayEnlace", conError || detalle);
    c.set("enlace", (detalle ? "detalle-" : "error-") + compania + "-" + tipo);
    const bool sinCuentas = (conError && !par.incompleto) || clase == "sinmovimientos";
    c.set("cuentas", sinCuentas ? lista() : cuentas(par.resumen));
    return c;
}

struct Fila {
    std::string compania;
    std::vector<const ParRevision*> pares;
};

Datos datosPagina(const Revision& revision) {
    Datos d;
    d.set("origen", cp1252AUtf8(revision.origen));
    d.set("destino", cp1252AUtf8(revision.destino));
    d.set("desde", fechaTexto(revision.desde));
    d.set("hasta", fechaTexto(revision.hasta));
    if (!revision.inicio.empty()) d.set("inicio", datosMomento(revision.inicio));
    if (!revision.fin.empty()) d.set("fin", datosMomento(revision.fin));
    const auto inicio = leerMomentoIso(cp1252AUtf8(revision.inicio)), fin = leerMomentoIso(cp1252AUtf8(revision.fin));
    if (inicio && fin && inicio->segundosUtc && fin->segundosUtc && *fin->segundosUtc >= *inicio->segundosUtc) {
        d.set("hayDuracion", true);
        d.set("duracion", duracion(static_cast<double>(*fin->segundosUtc - *inicio->segundosUtc)));
    }
    if (revision.margenMinutos != 0) {
        d.set("hayMargen", true);
        d.set("margen", std::to_string(revision.margenMinutos));
        // The window ends at the origin server's clock, not the reader's.
        if (!revision.ahoraOrigen.empty()) d.set("ahoraOrigen", datosMomento(revision.ahoraOrigen));
    }
    if (!revision.tolerancia.esCero()) {
        d.set("hayTolerancia", true);
        d.set("tolerancia", revision.tolerancia.texto());
    }
    d.set("conTolerancia", conTolerancia(revision));
    d.set("veredicto", veredicto(revision));
    d.set("interrumpida", revision.interrumpida);
    d.set("hayComparada", !revision.comparadaCon.empty());
    d.set("comparadaCon", cp1252AUtf8(revision.comparadaCon));
    d.set("hayReverificacion", !revision.reverificacionDe.empty());
    d.set("reverificacionDe", cp1252AUtf8(revision.reverificacionDe));
    Datos avisos = lista();
    for (const auto& a : revision.avisos) avisos.push_back(Datos("texto", cp1252AUtf8(a)));
    d.set("avisos", avisos);
    d.set("hayPares", !revision.pares.empty());

    std::vector<std::int64_t> tipos;
    std::vector<Fila> filas;
    for (const auto& par : revision.pares) {
        if (std::find(tipos.begin(), tipos.end(), par.tipo) == tipos.end()) tipos.push_back(par.tipo);
        auto fila = std::find_if(filas.begin(), filas.end(), [&](const Fila& f) { return f.compania == par.compania; });
        if (fila == filas.end()) fila = filas.insert(filas.end(), Fila{par.compania, {}});
        fila->pares.push_back(&par);
    }
    // The pairs a stop left out keep their row and column, with empty cells.
    for (const auto& par : revision.sinRevisar) {
        if (std::find(tipos.begin(), tipos.end(), par.tipo) == tipos.end()) tipos.push_back(par.tipo);
        if (std::none_of(filas.begin(), filas.end(), [&](const Fila& f) { return f.compania == par.compania; }))
            filas.push_back(Fila{par.compania, {}});
    }
    std::sort(filas.begin(), filas.end(), [](const Fila& a, const Fila& b) { return a.compania < b.compania; });
    std::sort(tipos.begin(), tipos.end());

    Datos datosTipos = lista();
    for (auto tipo : tipos) datosTipos.push_back(Datos("tipo", std::to_string(tipo)));
    d.set("tipos", datosTipos);
    d.set("numeroTipos", std::to_string(tipos.size()));

    Datos datosFilas = lista();
    for (const auto& fila : filas) {
        Datos f;
        const std::string compania = cp1252AUtf8(fila.compania);
        f.set("compania", compania);
        std::string nombre;
        std::vector<std::string> destinos;
        for (const auto& par : revision.sinRevisar)
            if (par.compania == fila.compania && nombre.empty()) nombre = par.nombreCompania;
        for (const auto* par : fila.pares) {
            if (nombre.empty()) nombre = par->nombreCompania;
            if (par->companiaDestino != par->compania &&
                std::find(destinos.begin(), destinos.end(), par->companiaDestino) == destinos.end())
                destinos.push_back(par->companiaDestino);
        }
        f.set("nombre", cp1252AUtf8(nombre));
        Datos datosDestinos = lista();
        for (const auto& destino : destinos) datosDestinos.push_back(Datos("destino", cp1252AUtf8(destino)));
        f.set("destinos", datosDestinos);

        Datos celdas = lista();
        for (auto tipo : tipos) {
            const auto par = std::find_if(fila.pares.begin(), fila.pares.end(),
                                          [&](const ParRevision* p) { return p->tipo == tipo; });
            celdas.push_back(par == fila.pares.end() ? Datos("vacia", true) : celda(**par));
        }
        f.set("celdas", celdas);
        datosFilas.push_back(f);
    }
    d.set("filas", datosFilas);

    Datos errores = lista(), detalles = lista(), totales = lista();
    bool hayIncompletos = false;
    for (const auto& par : revision.pares) {
        const std::string clase(claseDe(par));
        const auto& r = par.resumen;
        hayIncompletos = hayIncompletos || par.incompleto;
        Datos base;
        base.set("compania", cp1252AUtf8(par.compania));
        base.set("nombre", cp1252AUtf8(par.nombreCompania));
        base.set("tipo", std::to_string(par.tipo));
        base.set("incompleto", par.incompleto);

        if (clase == "error") {
            Datos e = base;
            e.set("mensaje", mensajeError(par));
            errores.push_back(e);
        }
        if (conDetalle(par)) {
            Datos det = base;
            det.set("mensaje", par.incompleto ? mensajeError(par) : std::string());
            det.set("destinoDistinto", par.companiaDestino != par.compania);
            det.set("destino", cp1252AUtf8(par.companiaDestino));
            Datos hallazgos = lista();
            const bool comprobante = par.tipo == tipoComprobante;
            for (const auto& h : r.hallazgos) hallazgos.push_back(hallazgo(h, comprobante));
            det.set("hayHallazgos", !r.hallazgos.empty());
            det.set("hallazgos", hallazgos);
            det.set("hayOmitidos", r.hallazgosOmitidos > 0);
            det.set("omitidos", r.hallazgos.empty()
                                    ? plural(r.hallazgosOmitidos, "documento", "documentos")
                                    : "Y " + plural(r.hallazgosOmitidos, "documento más", "documentos más"));
            det.set("nadaHallado", r.hallazgos.empty() && r.hallazgosOmitidos == 0);
            det.set("reporte", cp1252AUtf8(r.reporte));
            det.set("hayCambios", par.comparacion.has_value());
            if (par.comparacion) det.set("cambios", cambios(*par.comparacion));
            detalles.push_back(det);
        }

        Datos t = base;
        t.set("clase", clase);
        t.set("estado", nombreDe(par));
        t.set("registros", miles(r.registros));
        t.set("lineas", miles(r.lineas));
        t.set("iguales", miles(r.iguales));
        t.set("diferentes", miles(r.diferentes));
        t.set("noEncontrados", miles(r.noEncontrados));
        t.set("pendientes", miles(r.pendientes));
        t.set("duplicados", miles(r.duplicados));
        t.set("alertaDiferentes", r.diferentes > 0);
        t.set("alertaNoEncontrados", r.noEncontrados > 0);
        t.set("alertaPendientes", r.pendientes > 0);
        t.set("alertaDuplicados", r.duplicados > 0);
        t.set("sinOrigen", miles(r.sinOrigen));
        t.set("totalOrigen", total(r.totalOrigen));
        t.set("totalDestino", total(r.totalDestino));
        t.set("tiempo", duracion(par.segundos));
        // Pairs with nothing new, persistent or resolved say nothing of it.
        t.set("hayCambios", par.comparacion && par.comparacion->nuevos + par.comparacion->persistentes +
                                                       par.comparacion->resueltos > 0);
        if (par.comparacion) t.set("cambios", cambios(*par.comparacion));
        totales.push_back(t);
    }
    d.set("hayIncompletos", hayIncompletos);
    d.set("hayErrores", !errores.is_empty_list());
    d.set("errores", errores);
    d.set("hayDetalles", !detalles.is_empty_list());
    d.set("detalles", detalles);
    d.set("totales", totales);
    return d;
}

}  // namespace

std::string paginaRevision(const Revision& revision) {
    kainjow::mustache::mustache plantilla{std::string(plantillaResumen)};
    if (!plantilla.is_valid()) throw std::logic_error("plantilla de resumen.html: " + plantilla.error_message());
    return plantilla.render(datosPagina(revision));
}

}  // namespace autorep::conciliacion
