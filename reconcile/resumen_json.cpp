#include "reconcile/resumen_json.h"

#include <nlohmann/json.hpp>

#include "platform/cp1252.h"
#include "reconcile/revision_leida.h"

namespace autorep::conciliacion {

namespace {

std::string utf8(const std::string& texto) { return plataforma::cp1252AUtf8(texto); }

nlohmann::ordered_json textoONulo(const std::string& texto) {
    return texto.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(utf8(texto));
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
            {"estado", std::string(palabraEstado(p.estado))},
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
            {"incompleto", p.incompleto},
            {"hallazgos", textoONulo(p.hallazgos)},
            {"nuevos", p.comparacion ? ordered_json(p.comparacion->nuevos) : ordered_json(nullptr)},
            {"persistentes", p.comparacion ? ordered_json(p.comparacion->persistentes) : ordered_json(nullptr)},
            {"resueltos", p.comparacion ? ordered_json(p.comparacion->resueltos) : ordered_json(nullptr)},
            {"sin_verificar", p.comparacion ? ordered_json(p.comparacion->sinVerificar) : ordered_json(nullptr)},
        });
    }
    ordered_json sinRevisar = ordered_json::array();
    for (const auto& p : v.sinRevisar)
        sinRevisar.push_back(
            {{"compania", utf8(p.compania)}, {"compania_destino", utf8(p.companiaDestino)}, {"tipo", p.tipo}});
    ordered_json avisos = ordered_json::array();
    for (const auto& a : v.avisos) avisos.push_back(utf8(a));
    const ordered_json documento = {
        {"version", versionResumen},
        {"inicio", v.inicio},
        {"fin", v.fin},
        {"origen", utf8(v.origen)},
        {"destino", utf8(v.destino)},
        {"desde", plataforma::textoIso(v.desde)},
        {"hasta", plataforma::textoIso(v.hasta)},
        {"margen_minutos", v.margenMinutos},
        {"ahora_origen", v.ahoraOrigen.empty() ? ordered_json(nullptr) : ordered_json(v.ahoraOrigen)},
        {"tolerancia", v.tolerancia.texto()},
        {"estado_salida", v.estadoSalida},
        {"interrumpido", v.interrumpida},
        {"mensaje", textoONulo(v.mensaje)},
        {"comparada_con", textoONulo(v.comparadaCon)},
        {"reverificacion_de", textoONulo(v.reverificacionDe)},
        {"avisos", avisos},
        {"resultados", resultados},
        {"sin_revisar", sinRevisar},
    };
    return documento.dump(2) + "\n";
}

}  // namespace autorep::conciliacion
