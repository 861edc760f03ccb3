#include "reconcile/revision_leida.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/cp1252.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "reconcile/formato.h"

namespace autorep::conciliacion {

namespace {

using nlohmann::json;

std::optional<plataforma::Fecha> fechaIso(const std::string& t) {
    plataforma::Fecha f;
    unsigned mes = 0, dia = 0;
    char resto = 0;
    if (std::sscanf(t.c_str(), "%d-%u-%u%c", &f.anio, &mes, &dia, &resto) != 3) return std::nullopt;
    f.mes = mes;
    f.dia = dia;
    if (!plataforma::fechaValida(f)) return std::nullopt;
    return f;
}

// A findings file named relative to its revision: "EMPRESA/hallazgos21.jsonl".
// Only a file inside a company folder of that revision is taken.
std::optional<std::string> rutaHallazgos(const std::string& carpeta, const std::string& relativa) {
    const auto barra = relativa.find('/');
    if (barra == std::string::npos || barra == 0 || relativa.find('/', barra + 1) != std::string::npos) return std::nullopt;
    const std::string compania = relativa.substr(0, barra), nombre = relativa.substr(barra + 1);
    for (const auto& parte : {compania, nombre})
        if (parte.empty() || parte == "." || parte == ".." || parte.find('\\') != std::string::npos) return std::nullopt;
    return plataforma::rutaArchivo(plataforma::rutaArchivo(carpeta, "\\" + compania), "\\" + nombre);
}

// -1, 0 or 1 as `a` is before, in the same second as, or after `b`.
int orden(const std::string& a, const std::string& b) {
    // ISO 8601 texts with their offsets: the local texts of two revisions on
    // either side of a change of summer time do not sort by the clock.
    const auto ma = leerMomentoIso(a), mb = leerMomentoIso(b);
    const auto sa = ma ? ma->segundosUtc : std::nullopt, sb = mb ? mb->segundosUtc : std::nullopt;
    if (sa && sb) return *sa < *sb ? -1 : *sb < *sa ? 1 : 0;
    return a < b ? -1 : b < a ? 1 : 0;
}

// Revisions begun in one second are told apart by their end, then by their
// folders' names (a default name gets -2, -3... in that second).
bool anterior(const RevisionLeida& a, const RevisionLeida& b) {
    if (const int o = orden(a.inicio, b.inicio)) return o < 0;
    if (const int o = orden(a.fin, b.fin)) return o < 0;
    return a.carpeta.size() != b.carpeta.size() ? a.carpeta.size() < b.carpeta.size() : a.carpeta < b.carpeta;
}

}  // namespace

std::optional<RevisionLeida> leerRevision(const std::string& carpeta, std::string& error) {
    const std::string ruta = plataforma::rutaArchivo(carpeta, "\\resumen.json");
    std::string bytes;
    if (!plataforma::existe(ruta)) {
        error = plataforma::ansi("no hay resumen.json en ") + carpeta;
        return std::nullopt;
    }
    if (!plataforma::leerArchivo(ruta, bytes)) {
        error = plataforma::ansi("no se pudo leer ") + ruta;
        return std::nullopt;
    }
    const json j = json::parse(bytes, nullptr, false);
    auto texto = [&](const json& o, const char* k) -> std::optional<std::string> {
        const auto it = o.find(k);
        if (it == o.end() || !it->is_string()) return std::nullopt;
        return plataforma::utf8ACp1252(it->get<std::string>());
    };
    auto invalido = [&] {
        error = ruta + plataforma::ansi(" no es un resumen completo de una revisión");
        return std::nullopt;
    };
    if (!j.is_object()) return invalido();
    const auto version = j.find("version");
    if (version == j.end() || !version->is_number_integer()) return invalido();
    RevisionLeida r;
    r.carpeta = carpeta;
    r.version = version->get<int>();
    if (r.version < 1 || r.version > versionResumen) {
        error = ruta + plataforma::ansi(" es de otra versión (") + std::to_string(r.version) + ")";
        return std::nullopt;
    }
    const auto inicio = texto(j, "inicio"), origen = texto(j, "origen"), destino = texto(j, "destino"),
               desde = texto(j, "desde"), hasta = texto(j, "hasta");
    const auto resultados = j.find("resultados");
    if (!inicio || !origen || !destino || !desde || !hasta || resultados == j.end() || !resultados->is_array())
        return invalido();
    const auto fDesde = fechaIso(*desde), fHasta = fechaIso(*hasta);
    if (!fDesde || !fHasta) return invalido();
    r.inicio = *inicio;
    r.fin = texto(j, "fin").value_or("");
    r.origen = *origen;
    r.destino = *destino;
    r.desde = *fDesde;
    r.hasta = *fHasta;
    if (const auto m = j.find("margen_minutos"); m != j.end() && m->is_number_integer()) r.margenMinutos = m->get<int>();
    r.tolerancia = texto(j, "tolerancia").value_or("0");
    if (const auto i = j.find("interrumpido"); i != j.end() && i->is_boolean()) r.interrumpida = i->get<bool>();
    if (const auto v = j.find("reverificacion_de"); v != j.end() && v->is_string()) r.reverificacion = true;
    for (const auto& p : *resultados) {
        if (!p.is_object()) return invalido();
        ParLeido par;
        const auto compania = texto(p, "compania"), estado = texto(p, "estado");
        const auto tipo = p.find("tipo");
        if (!compania || !estado || tipo == p.end() || !tipo->is_number_integer()) return invalido();
        par.compania = *compania;
        par.companiaDestino = texto(p, "compania_destino").value_or(*compania);
        par.tipo = tipo->get<std::int64_t>();
        par.estado = *estado;
        if (const auto i = p.find("incompleto"); i != p.end() && i->is_boolean()) par.incompleto = i->get<bool>();
        if (const auto h = texto(p, "hallazgos")) {
            const auto rutaH = rutaHallazgos(carpeta, *h);
            if (!rutaH) return invalido();
            par.hallazgos = *rutaH;
        }
        r.pares.push_back(std::move(par));
    }
    return r;
}

std::optional<RevisionLeida> buscarAnterior(const std::string& padre, const std::string& propia,
                                            const std::string& origen, const std::string& destino,
                                            const std::string& inicio, std::vector<std::string>& avisos) {
    std::optional<RevisionLeida> mejor;
    std::vector<std::string> nombres;
    plataforma::carpetasEn(padre, nombres);
    for (const auto& nombre : nombres) {
        const std::string carpeta = plataforma::rutaArchivo(padre, "\\" + nombre);
        if (plataforma::mismaRuta(carpeta, propia)) continue;
        // A folder without resumen.json is a revision at work, or not one at all.
        if (!plataforma::existe(plataforma::rutaArchivo(carpeta, "\\resumen.json"))) continue;
        std::string error;
        auto r = leerRevision(carpeta, error);
        if (!r) {
            avisos.push_back(plataforma::ansi("No se tuvo en cuenta la revisión ") + carpeta + ": " + error + ".");
            continue;
        }
        if (r->reverificacion || r->interrumpida || r->origen != origen || r->destino != destino ||
            orden(r->inicio, inicio) > 0)
            continue;
        if (!mejor || anterior(*mejor, *r)) mejor = std::move(r);
    }
    return mejor;
}

}  // namespace autorep::conciliacion
