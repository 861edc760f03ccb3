#include "reconcile/resumen_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "platform/cp1252.h"

namespace autorep::conciliacion {

namespace {

std::string utf8(const std::string& texto) { return plataforma::cp1252AUtf8(texto); }

std::string fechaIso(const plataforma::Fecha& f) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", f.anio, f.mes, f.dia);
    return buf;
}

const char* estado(ParRevision::Estado e) {
    switch (e) {
        case ParRevision::Estado::Igual: return "igual";
        case ParRevision::Estado::Diferencias: return "diferencias";
        case ParRevision::Estado::Error: return "error";
    }
    return "error";
}

}  // namespace

std::string jsonRevision(const Revision& v) {
    using nlohmann::ordered_json;
    ordered_json resultados = ordered_json::array();
    for (const auto& p : v.pares) {
        const Resumen& r = p.resumen;
        resultados.push_back({
            {"compania", utf8(p.compania)},
            {"nombre_compania", utf8(p.nombreCompania)},
            {"compania_destino", utf8(p.companiaDestino)},
            {"tipo", p.tipo},
            {"estado", estado(p.estado)},
            {"registros", r.registros},
            {"lineas", r.lineas},
            {"iguales", r.iguales},
            {"diferentes", r.diferentes},
            {"no_encontrados", r.noEncontrados},
            {"pendientes", r.pendientes},
            {"duplicados", r.duplicados},
            {"sin_origen", r.sinOrigen},
            {"total_origen", r.totalOrigen.suma.texto()},
            {"total_destino", r.totalDestino.suma.texto()},
            {"totales_exactos", r.totalOrigen.exacto && r.totalDestino.exacto},
            {"segundos", static_cast<double>(static_cast<long long>(p.segundos * 1000 + 0.5)) / 1000},
            {"reporte", r.reporte.empty() ? ordered_json(nullptr) : ordered_json(utf8(r.reporte))},
            {"error", p.error.empty() ? ordered_json(nullptr) : ordered_json(utf8(p.error))},
        });
    }
    ordered_json sinRevisar = ordered_json::array();
    for (const auto& p : v.sinRevisar)
        sinRevisar.push_back(
            {{"compania", utf8(p.compania)}, {"compania_destino", utf8(p.companiaDestino)}, {"tipo", p.tipo}});
    const ordered_json documento = {
        {"version", 1},
        {"inicio", v.inicio},
        {"fin", v.fin},
        {"origen", utf8(v.origen)},
        {"destino", utf8(v.destino)},
        {"desde", fechaIso(v.desde)},
        {"hasta", fechaIso(v.hasta)},
        {"margen_minutos", v.margenMinutos},
        {"tolerancia", v.tolerancia.texto()},
        {"estado_salida", v.estadoSalida},
        {"interrumpido", v.interrumpida},
        {"resultados", resultados},
        {"sin_revisar", sinRevisar},
    };
    return documento.dump(2) + "\n";
}

}  // namespace autorep::conciliacion
