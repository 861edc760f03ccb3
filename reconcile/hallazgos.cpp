#include "reconcile/hallazgos.h"

#include <charconv>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "platform/cp1252.h"
#include "platform/sistema.h"

namespace autorep::conciliacion {

std::string nombreArchivoHallazgos(std::int64_t tipo) { return "hallazgos" + std::to_string(tipo) + ".jsonl"; }

std::string_view claseHallazgo(const Hallazgo& h) {
    if (h.pendiente) return "pendiente";
    if (h.noEncontrado) return "no_encontrado";
    if (h.diferente) return "diferente";
    return "duplicado";
}

std::string_view palabraMarca(Hallazgo::Marca marca) {
    switch (marca) {
        case Hallazgo::Marca::Nuevo: return "nuevo";
        case Hallazgo::Marca::Persistente: return "persistente";
        case Hallazgo::Marca::Ninguna: break;
    }
    return "";
}

std::string textoMomento(const plataforma::FechaHora& m) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u.%03u", m.fecha.anio, m.fecha.mes, m.fecha.dia,
                  m.hora.hora, m.hora.minuto, m.hora.segundo, m.hora.milisegundo);
    return buf;
}

std::optional<plataforma::FechaHora> leerMomento(std::string_view t) {
    // AAAA-MM-DDTHH:MM:SS.mmm, the year possibly of other widths.
    const auto guion = t.find('-', 1);
    if (guion == std::string_view::npos || t.size() != guion + 19) return std::nullopt;
    int anio = 0;
    if (std::from_chars(t.data(), t.data() + guion, anio).ptr != t.data() + guion) return std::nullopt;
    unsigned v[6];
    const std::size_t pos[6] = {1, 4, 7, 10, 13, 16}, largo[6] = {2, 2, 2, 2, 2, 3};
    const char sep[6] = {'-', 'T', ':', ':', '.', 0};
    for (int i = 0; i < 6; ++i) {
        const char* a = t.data() + guion + pos[i];
        if (std::from_chars(a, a + largo[i], v[i]).ptr != a + largo[i]) return std::nullopt;
        if (sep[i] && a[largo[i]] != sep[i]) return std::nullopt;
    }
    plataforma::FechaHora m{{anio, v[0], v[1]}, {v[2], v[3], v[4], v[5]}};
    if (!plataforma::fechaValida(m.fecha) || m.hora.hora > 23 || m.hora.minuto > 59 || m.hora.segundo > 59)
        return std::nullopt;
    return m;
}

namespace {
std::string utf8(const std::string& t) { return plataforma::cp1252AUtf8(t); }
std::string cp1252(const std::string& t) { return plataforma::utf8ACp1252(t); }
}  // namespace

std::string lineaHallazgo(const Hallazgo& h) {
    const nlohmann::ordered_json j = {
        {"codigo", utf8(h.codigo)},          {"iddoc", utf8(h.idDoc)},       {"oper", utf8(h.oper)},
        {"momento", textoMomento(h.momento)}, {"fecha", utf8(h.fecha)},       {"clase", std::string(claseHallazgo(h))},
        {"diferente", h.diferente},           {"duplicado", h.duplicado},     {"origen", utf8(h.importeOrigen)},
        {"destino", utf8(h.importeDestino)},
    };
    return j.dump() + "\n";
}

std::optional<Hallazgo> leerLineaHallazgo(std::string_view linea) {
    const auto j = nlohmann::json::parse(linea, nullptr, false);
    if (!j.is_object()) return std::nullopt;
    auto texto = [&](const char* k) -> std::optional<std::string> {
        const auto it = j.find(k);
        if (it == j.end() || !it->is_string()) return std::nullopt;
        return cp1252(it->get<std::string>());
    };
    auto logico = [&](const char* k) {
        const auto it = j.find(k);
        return it != j.end() && it->is_boolean() && it->get<bool>();
    };
    const auto codigo = texto("codigo"), idDoc = texto("iddoc"), oper = texto("oper"), momento = texto("momento"),
               clase = texto("clase");
    if (!codigo || !idDoc || !oper || !momento || !clase) return std::nullopt;
    const auto m = leerMomento(*momento);
    if (!m) return std::nullopt;
    Hallazgo h;
    h.codigo = *codigo;
    h.idDoc = *idDoc;
    h.oper = *oper;
    h.momento = *m;
    h.fecha = texto("fecha").value_or("");
    h.importeOrigen = texto("origen").value_or("");
    h.importeDestino = texto("destino").value_or("");
    h.pendiente = *clase == "pendiente";
    h.noEncontrado = *clase == "no_encontrado";
    h.diferente = logico("diferente") || *clase == "diferente";
    h.duplicado = logico("duplicado") || *clase == "duplicado";
    if (!h.pendiente && !h.noEncontrado && !h.diferente && !h.duplicado) return std::nullopt;
    return h;
}

std::optional<std::vector<Hallazgo>> leerHallazgos(const std::string& ruta, std::string& error) {
    std::string bytes;
    if (!plataforma::leerArchivo(ruta, bytes)) {
        error = plataforma::ansi("no se pudo leer ") + ruta;
        return std::nullopt;
    }
    std::vector<Hallazgo> r;
    std::size_t numero = 0;
    for (std::size_t inicio = 0; inicio < bytes.size();) {
        const auto fin = bytes.find('\n', inicio);
        ++numero;
        // A line without its end was cut short: the file is not whole.
        if (fin == std::string::npos) {
            error = ruta + plataforma::ansi(" está cortado en la línea ") + std::to_string(numero);
            return std::nullopt;
        }
        auto h = leerLineaHallazgo(std::string_view(bytes).substr(inicio, fin - inicio));
        if (!h) {
            error = ruta + plataforma::ansi(": la línea ") + std::to_string(numero) + plataforma::ansi(" no es un hallazgo");
            return std::nullopt;
        }
        r.push_back(std::move(*h));
        inicio = fin + 1;
    }
    return r;
}

std::optional<HallazgosAnteriores> HallazgosAnteriores::leer(const std::string& ruta, std::string& error) {
    const auto hallazgos = leerHallazgos(ruta, error);
    if (!hallazgos) return std::nullopt;
    HallazgosAnteriores r;
    for (const auto& h : *hallazgos) {
        auto [it, nuevo] = r.documentos_.emplace(h.codigo, h.momento);
        if (!nuevo && it->second < h.momento) it->second = h.momento;
    }
    return r;
}

HallazgosAnteriores::Cuentas HallazgosAnteriores::comparar(const std::unordered_set<std::string>& actuales,
                                                          const plataforma::Fecha& desde,
                                                          const plataforma::Fecha& hasta,
                                                          const std::unordered_set<std::string>* leidos) const {
    Cuentas c;
    for (const auto& codigo : actuales) ++(contiene(codigo) ? c.persistentes : c.nuevos);
    for (const auto& [codigo, momento] : documentos_) {
        if (actuales.count(codigo) || momento.fecha < desde || hasta < momento.fecha) continue;
        ++(leidos && !leidos->count(codigo) ? c.sinVerificar : c.resueltos);
    }
    return c;
}

}  // namespace autorep::conciliacion
