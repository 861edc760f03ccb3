#include "reconcile/historial.h"

#include <kainjow/mustache.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <map>
#include <stdexcept>

#include "platform/bloqueo.h"
#include "platform/cp1252.h"
#include "platform/fecha.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "plantilla_indice.h"
#include "reconcile/formato.h"

namespace autorep::conciliacion {
namespace {

using Json = nlohmann::ordered_json;
using Datos = kainjow::mustache::data;
using plataforma::ansi;

// A revision still running holds the lock for less than a second; one that
// waits longer than this gives up on the history, not on itself.
constexpr std::chrono::seconds esperaCerrojo{120};
// Bars drawn in the chart: the latest revisions, enough for a year of nights.
constexpr std::size_t barrasGrafico = 400;

const char* const estados[] = {"igual", "diferencias", "sin_movimientos", "error", "incompleto"};
const char* const clases[] = {"no_encontrados", "diferentes", "duplicados", "pendientes"};

std::string enCarpeta(const std::string& carpeta, std::string_view nombre) {
    return plataforma::rutaArchivo(carpeta, "\\" + std::string(nombre));
}

Json textoONulo(const Json& objeto, const char* clave) {
    const auto it = objeto.find(clave);
    return it != objeto.end() && it->is_string() ? *it : Json(nullptr);
}

std::uint64_t cuenta(const Json& objeto, const char* clave) {
    const auto it = objeto.find(clave);
    return it != objeto.end() && it->is_number_unsigned() ? it->get<std::uint64_t>() : 0;
}

// A revision's line of the history, from its resumen.json; nullopt when the
// file is not one this program wrote (another version, cut short, not JSON).
std::optional<Json> lineaDeResumen(const std::string& bytes, const std::string& carpetaUtf8) {
    const Json r = Json::parse(bytes, nullptr, false);
    if (!r.is_object()) return std::nullopt;
    const auto version = r.find("version"), inicio = r.find("inicio"), resultados = r.find("resultados");
    if (version == r.end() || !version->is_number_integer() || (*version != 1 && *version != 2) || inicio == r.end() ||
        !inicio->is_string() || resultados == r.end() || !resultados->is_array())
        return std::nullopt;

    std::map<std::string, std::uint64_t> porEstado, porClase;
    std::optional<std::uint64_t> nuevos, persistentes, resueltos;
    for (const auto& par : *resultados) {
        if (!par.is_object()) return std::nullopt;
        const auto incompleto = par.find("incompleto");
        const auto estado = par.find("estado");
        if (incompleto != par.end() && incompleto->is_boolean() && incompleto->get<bool>())
            ++porEstado["incompleto"];
        else if (estado != par.end() && estado->is_string())
            ++porEstado[estado->get<std::string>()];
        for (const char* clase : clases) porClase[clase] += cuenta(par, clase);
        // Version 1 has no comparison; a pair left uncompared says null.
        auto sumar = [&](std::optional<std::uint64_t>& total, const char* clave) {
            const auto it = par.find(clave);
            if (it != par.end() && it->is_number_unsigned()) total = total.value_or(0) + it->get<std::uint64_t>();
        };
        sumar(nuevos, "nuevos");
        sumar(persistentes, "persistentes");
        sumar(resueltos, "resueltos");
    }
    Json pares = Json::object(), hallazgos = Json::object();
    for (const char* e : estados) pares[e] = porEstado[e];
    for (const char* c : clases) hallazgos[c] = porClase[c];
    const auto salida = r.find("estado_salida");
    const auto interrumpido = r.find("interrumpido");
    auto opcional = [](const std::optional<std::uint64_t>& n) { return n ? Json(*n) : Json(nullptr); };
    return Json{
        {"carpeta", carpetaUtf8},
        {"inicio", *inicio},
        {"fin", textoONulo(r, "fin")},
        {"origen", textoONulo(r, "origen")},
        {"destino", textoONulo(r, "destino")},
        {"desde", textoONulo(r, "desde")},
        {"hasta", textoONulo(r, "hasta")},
        {"estado_salida", salida != r.end() && salida->is_number_integer() ? *salida : Json(nullptr)},
        {"interrumpido", interrumpido != r.end() && interrumpido->is_boolean() && interrumpido->get<bool>()},
        {"pares", pares},
        {"hallazgos", hallazgos},
        {"nuevos", opcional(nuevos)},
        {"persistentes", opcional(persistentes)},
        {"resueltos", opcional(resueltos)},
        {"comparada_con", textoONulo(r, "comparada_con")},
        {"reverificacion_de", textoONulo(r, "reverificacion_de")},
    };
}

bool lineaValida(const Json& l) {
    if (!l.is_object()) return false;
    const auto carpeta = l.find("carpeta"), inicio = l.find("inicio"), pares = l.find("pares"),
               hallazgos = l.find("hallazgos");
    return carpeta != l.end() && carpeta->is_string() && !carpeta->get<std::string>().empty() && inicio != l.end() &&
           inicio->is_string() && pares != l.end() && pares->is_object() && hallazgos != l.end() &&
           hallazgos->is_object();
}

// The lines of historial.jsonl by folder; empty when it is missing or any
// line of it cannot be read, and the history is then rebuilt whole.
std::map<std::string, Json> lineasGuardadas(const std::string& archivo) {
    std::map<std::string, Json> lineas;
    std::string bytes;
    if (!plataforma::leerArchivo(archivo, bytes)) return {};
    std::size_t inicio = 0;
    while (inicio < bytes.size()) {
        auto fin = bytes.find('\n', inicio);
        if (fin == std::string::npos) fin = bytes.size();
        std::string_view texto(bytes.data() + inicio, fin - inicio);
        if (!texto.empty() && texto.back() == '\r') texto.remove_suffix(1);
        inicio = fin + 1;
        if (texto.empty()) continue;
        Json l = Json::parse(texto, nullptr, false);
        if (!lineaValida(l)) return {};
        const std::string carpeta = l["carpeta"].get<std::string>();
        lineas[carpeta] = std::move(l);
    }
    return lineas;
}

// Seconds since 1970 in UTC of an ISO 8601 moment, 2026-12-10T02:00:00-03:00
// (without an offset, taken as UTC).
std::optional<long long> segundosUtc(std::string_view iso) {
    const auto m = leerMomentoIso(iso);
    if (!m) return std::nullopt;
    return m->segundosUtc.value_or(m->segundosLocales);
}

// Oldest first, by the moment each began (a moment that cannot be read sorts
// first), then by folder.
void ordenar(std::vector<Json>& lineas) {
    auto clave = [](const Json& l) {
        return std::make_pair(segundosUtc(l["inicio"].get<std::string>()).value_or(LLONG_MIN),
                              l["carpeta"].get<std::string>());
    };
    std::stable_sort(lineas.begin(), lineas.end(), [&](const Json& a, const Json& b) { return clave(a) < clave(b); });
}

// ---- The page ----

Datos lista() { return Datos(Datos::type::list); }

std::string texto(const Json& l, const char* clave) {
    const auto it = l.find(clave);
    return it != l.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::uint64_t numero(const Json& l, const char* grupo, const char* clave) {
    const auto it = l.find(grupo);
    return it != l.end() && it->is_object() ? cuenta(*it, clave) : 0;
}

// 10/12/2026 02:00, as the summary page shows a moment.
std::string momentoTexto(const std::string& iso) {
    int a, m, d, h, mi;
    if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d", &a, &m, &d, &h, &mi) != 5) return iso;
    char t[32];
    std::snprintf(t, sizeof t, "%02d/%02d/%04d %02d:%02d", d, m, a, h, mi);
    return t;
}

std::string fechaTexto(const std::string& iso) {
    int a, m, d;
    if (iso.size() != 10 || std::sscanf(iso.c_str(), "%4d-%2d-%2d", &a, &m, &d) != 3) return iso;
    char t[16];
    std::snprintf(t, sizeof t, "%02d/%02d/%04d", d, m, a);
    return t;
}

// A folder name inside a link: every byte but the unreserved ones as %XX, so
// that '#', '?', '%' or a blank in a name still reach the file.
std::string enlace(const std::string& carpetaUtf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : carpetaUtf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            r += static_cast<char>(c);
        } else {
            r += '%';
            r += hex[c >> 4];
            r += hex[c & 15];
        }
    }
    return r + "/resumen.html";
}

struct Estado {
    const char* clase;
    const char* texto;
};

Estado estadoDe(const Json& l) {
    const auto it = l.find("estado_salida");
    if (it == l.end() || !it->is_number_integer()) return {"error", "Sin estado"};
    switch (it->get<long long>()) {
        case 0: return {"igual", "Completa"};
        case 1: return {"diferencias", "Diferencias"};
        case 2: return {"error", "Error"};
        case 3: return {"sinmovimientos", "Sin movimientos"};
        case 130: return {"interrumpida", "Interrumpida"};
        default: return {"error", "Otro estado"};
    }
}

std::string nombreCarpeta(const std::string& rutaUtf8) {
    const auto corte = rutaUtf8.find_last_of("/\\", rutaUtf8.find_last_not_of("/\\"));
    const std::string nombre = corte == std::string::npos ? rutaUtf8 : rutaUtf8.substr(corte + 1);
    return nombre.substr(0, nombre.find_last_not_of("/\\") + 1);
}

std::string formatear(double x) {
    char t[32];
    std::snprintf(t, sizeof t, "%.3f", x);
    return t;
}

Datos fila(const Json& l) {
    Datos d;
    const std::string inicio = texto(l, "inicio"), fin = texto(l, "fin");
    d.set("enlace", enlace(texto(l, "carpeta")));
    d.set("carpeta", texto(l, "carpeta"));
    d.set("inicio", momentoTexto(inicio));
    d.set("inicioIso", inicio);
    const auto a = segundosUtc(inicio), b = segundosUtc(fin);
    d.set("hayDuracion", a && b && *b >= *a);
    d.set("duracion", a && b && *b >= *a ? duracion(static_cast<double>(*b - *a)) : std::string());
    d.set("origen", texto(l, "origen"));
    d.set("destino", texto(l, "destino"));
    d.set("desde", fechaTexto(texto(l, "desde")));
    d.set("hasta", fechaTexto(texto(l, "hasta")));
    const Estado e = estadoDe(l);
    d.set("clase", e.clase);
    d.set("estado", e.texto);

    std::string pares;
    auto parte = [&](const char* clave, std::string_view singular, std::string_view varios) {
        const auto n = numero(l, "pares", clave);
        if (n == 0) return;
        if (!pares.empty()) pares += " · ";
        pares += plural(n, singular, varios);
    };
    parte("igual", "igual", "iguales");
    parte("diferencias", "con diferencias", "con diferencias");
    parte("sin_movimientos", "sin movimientos", "sin movimientos");
    parte("error", "con error", "con error");
    parte("incompleto", "incompleto", "incompletos");
    d.set("pares", pares.empty() ? std::string("ningún par") : pares);

    for (const char* c : clases) {
        const auto n = numero(l, "hallazgos", c);
        d.set(c, miles(n));
        d.set(std::string(c) + "Alerta", n > 0);
    }
    for (const char* c : {"nuevos", "persistentes", "resueltos"}) {
        const auto it = l.find(c);
        const bool hay = it != l.end() && it->is_number_unsigned();
        d.set(c, hay ? miles(it->get<std::uint64_t>()) : std::string("—"));
        d.set(std::string(c) + "Alerta", hay && it->get<std::uint64_t>() > 0);
    }
    const std::string comparada = texto(l, "comparada_con"), reverificada = texto(l, "reverificacion_de");
    d.set("hayComparada", !comparada.empty());
    d.set("comparada", nombreCarpeta(comparada));
    d.set("hayReverificada", !reverificada.empty());
    d.set("reverificada", nombreCarpeta(reverificada));
    return d;
}

// Findings over time, one stacked bar per revision, the newest at the right.
// The drawing stretches to the page's width: a handful of revisions keep
// narrow bars, hundreds become a dense strip.
Datos grafico(const std::vector<Json>& lineas) {
    const std::size_t n = std::min(lineas.size(), barrasGrafico);
    const std::size_t desde = lineas.size() - n;
    std::uint64_t maximo = 0;
    for (std::size_t i = desde; i < lineas.size(); ++i) {
        std::uint64_t total = 0;
        for (const char* c : clases) total += numero(lineas[i], "hallazgos", c);
        maximo = std::max(maximo, total);
    }
    const std::size_t ancho = std::max<std::size_t>(n, 20);
    const double alto = 100, barra = n > 200 ? 1.0 : 0.8;
    Datos barras = lista();
    for (std::size_t k = 0; k < n; ++k) {
        const Json& l = lineas[desde + k];
        const double x = static_cast<double>(ancho - n + k) + (1 - barra) / 2;
        Datos b;
        std::string titulo = momentoTexto(texto(l, "inicio")) + ": ";
        std::uint64_t total = 0;
        Datos tramos = lista();
        double base = alto;
        for (const char* c : clases) {
            const auto v = numero(l, "hallazgos", c);
            total += v;
            if (v == 0 || maximo == 0) continue;
            const double h = alto * static_cast<double>(v) / static_cast<double>(maximo);
            base -= h;
            Datos t;
            t.set("clase", c);
            t.set("x", formatear(x));
            t.set("y", formatear(base));
            t.set("ancho", formatear(barra));
            t.set("alto", formatear(h));
            tramos.push_back(t);
        }
        titulo += total == 0 ? "sin hallazgos" : plural(total, "hallazgo", "hallazgos");
        // Under the bar, the revision's outcome: a night without findings
        // still shows whether it checked anything.
        const Estado e = estadoDe(l);
        titulo += std::string(" (") + e.texto + ")";
        b.set("titulo", titulo);
        b.set("tramos", tramos);
        b.set("estado", e.clase);
        b.set("x", formatear(x));
        b.set("ancho", formatear(barra));
        barras.push_back(b);
    }
    Datos g;
    g.set("ancho", std::to_string(ancho));
    g.set("barras", barras);
    g.set("maximo", plural(maximo, "hallazgo", "hallazgos"));
    g.set("sinHallazgos", maximo == 0);
    g.set("primera", n ? momentoTexto(texto(lineas[desde], "inicio")) : std::string());
    g.set("ultima", n ? momentoTexto(texto(lineas.back(), "inicio")) : std::string());
    // The first date stands under the first bar, unless the bars of a short
    // history, drawn at the right, leave it no room beside the last date.
    const double margen = 100.0 * static_cast<double>(ancho - n) / static_cast<double>(ancho);
    g.set("margen", formatear(margen));
    g.set("conPrimera", n > 1 && margen <= 70);
    g.set("recortado", lineas.size() > n);
    g.set("mostradas", std::to_string(n));
    return g;
}

std::string pagina(const std::vector<Json>& lineas) {
    Datos d;
    d.set("cuantas", plural(lineas.size(), "revisión", "revisiones"));
    d.set("hayRevisiones", !lineas.empty());
    d.set("grafico", grafico(lineas));
    Datos filas = lista();
    for (auto it = lineas.rbegin(); it != lineas.rend(); ++it) filas.push_back(fila(*it));
    d.set("filas", filas);
    kainjow::mustache::mustache plantilla{std::string(plantillaIndice)};
    if (!plantilla.is_valid()) throw std::logic_error("plantilla de indice.html: " + plantilla.error_message());
    return plantilla.render(d);
}

std::string jsonl(const std::vector<Json>& lineas) {
    std::string r;
    for (const auto& l : lineas) r += l.dump() + "\n";
    return r;
}

}  // namespace

ResultadoHistorial actualizarHistorial(const std::string& padre, const std::string& nueva,
                                       std::optional<unsigned> conservar) {
    ResultadoHistorial r;
    const std::string archivo = enCarpeta(padre, "historial.jsonl"), indice = enCarpeta(padre, "indice.html");
    const plataforma::Cerrojo cerrojo(enCarpeta(padre, "historial.lock"), esperaCerrojo);
    if (!cerrojo.tomado()) {
        r.avisos.push_back(ansi("No se actualizó el historial de ") + padre +
                           ansi(": otra revisión lo tiene tomado, o no se pudo crear historial.lock."));
        return r;
    }

    std::vector<std::string> nombres;
    if (!plataforma::carpetasEn(padre, nombres)) {
        r.avisos.push_back(ansi("No se pudo leer la carpeta ") + padre + ansi(": el historial no se actualizó."));
        return r;
    }
    auto guardadas = lineasGuardadas(archivo);
    const std::string rutaNueva = plataforma::rutaAbsoluta(nueva);
    auto esNueva = [&](const std::string& carpeta) { return plataforma::mismaRuta(carpeta, rutaNueva); };
    auto leer = [&](const std::string& carpeta, const std::string& nombreUtf8) -> std::optional<Json> {
        const std::string resumen = enCarpeta(carpeta, "resumen.json");
        std::string bytes;
        auto linea = plataforma::leerArchivo(resumen, bytes) ? lineaDeResumen(bytes, nombreUtf8) : std::nullopt;
        if (!linea)
            r.avisos.push_back(ansi("El resumen ") + resumen +
                               ansi(" no es de una revisión que este programa sepa leer: no entra en el historial."));
        return linea;
    };

    std::vector<Json> lineas;
    std::optional<Json> lineaNueva;
    for (const auto& nombre : nombres) {
        const std::string carpeta = enCarpeta(padre, nombre);
        if (!plataforma::existe(enCarpeta(carpeta, "resumen.json"))) continue;
        const std::string nombreUtf8 = plataforma::cp1252AUtf8(nombre);
        const auto guardada = guardadas.find(nombreUtf8);
        std::optional<Json> linea;
        // The revision just written is read afresh: its folder may have been
        // another revision's once, removed by hand and made again.
        if (guardada != guardadas.end() && !esNueva(carpeta)) linea = guardada->second;
        else linea = leer(carpeta, nombreUtf8);
        if (!linea) continue;
        if (esNueva(carpeta)) lineaNueva = linea;
        lineas.push_back(std::move(*linea));
    }
    ordenar(lineas);

    if (conservar) {
        std::vector<std::string> protegidas = {rutaNueva};
        for (const char* clave : {"comparada_con", "reverificacion_de"})
            if (lineaNueva && (*lineaNueva)[clave].is_string())
                protegidas.push_back(
                    plataforma::rutaAbsoluta(plataforma::utf8ACp1252((*lineaNueva)[clave].get<std::string>())));
        std::vector<Json> quedan;
        std::size_t recientes = 0;
        for (auto it = lineas.rbegin(); it != lineas.rend(); ++it) {
            const std::string nombre = plataforma::utf8ACp1252((*it)["carpeta"].get<std::string>());
            const std::string carpeta = enCarpeta(padre, nombre);
            const bool protegida = std::any_of(protegidas.begin(), protegidas.end(), [&](const std::string& p) {
                return plataforma::mismaRuta(p, carpeta) || plataforma::mismoArchivo(p, carpeta);
            });
            if (recientes++ < *conservar || protegida) {
                quedan.push_back(std::move(*it));
                continue;
            }
            // Only a folder whose summary reads as this program's now: the
            // history may be older than what lies there.
            std::string bytes, error;
            if (!plataforma::leerArchivo(enCarpeta(carpeta, "resumen.json"), bytes) ||
                !lineaDeResumen(bytes, {})) {
                r.avisos.push_back(ansi("No se borró la carpeta ") + carpeta +
                                   ansi(": su resumen.json ya no es de una revisión de este programa."));
                continue;
            }
            if (plataforma::borrarCarpeta(carpeta, error)) {
                r.borradas.push_back(carpeta);
                continue;
            }
            r.avisos.push_back(ansi("No se pudo borrar la revisión antigua ") + carpeta + ": " + error + ".");
            if (plataforma::existe(enCarpeta(carpeta, "resumen.json"))) quedan.push_back(std::move(*it));
        }
        lineas.assign(std::make_move_iterator(quedan.rbegin()), std::make_move_iterator(quedan.rend()));
    }

    std::string error;
    const bool escritoIndice = plataforma::publicarArchivo(indice, pagina(lineas), error);
    if (!escritoIndice) r.avisos.push_back(ansi("No se pudo escribir ") + indice + ": " + error + ".");
    const bool escritoHistorial = plataforma::publicarArchivo(archivo, jsonl(lineas), error);
    if (!escritoHistorial) r.avisos.push_back(ansi("No se pudo escribir ") + archivo + ": " + error + ".");
    r.escrito = escritoIndice && escritoHistorial;
    return r;
}

}  // namespace autorep::conciliacion
