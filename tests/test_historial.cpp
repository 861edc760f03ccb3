// The history of a folder of revisions: historial.jsonl and indice.html, made
// from the folders' resumen.json files, and --conservar's removals.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "reconcile/historial.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;
using conciliacion::actualizarHistorial;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

bool contiene(const std::string& texto, const std::string& parte) { return texto.find(parte) != std::string::npos; }

// A pair of resumen.json with the counts the history adds up.
json par(const char* estado, int noEncontrados = 0, int diferentes = 0, int duplicados = 0, int pendientes = 0) {
    return {{"compania", "001"}, {"nombre_compania", "Uno"}, {"compania_destino", "001"}, {"tipo", 21},
            {"estado", estado},  {"registros", 10},          {"lineas", 10},              {"iguales", 10},
            {"diferentes", diferentes}, {"no_encontrados", noEncontrados}, {"pendientes", pendientes},
            {"duplicados", duplicados}, {"sin_origen", 0}, {"total_origen", "0"}, {"total_destino", "0"},
            {"totales_exactos", true}, {"segundos", 0.5}, {"reporte", nullptr}, {"error", nullptr},
            {"incompleto", false}};
}

json resumen(int version, const std::string& inicio, json pares, int estadoSalida = 1) {
    return {{"version", version}, {"inicio", inicio}, {"fin", inicio}, {"origen", "srv1:/erp"},
            {"destino", "srv2:/erp"}, {"desde", "2026-12-01"}, {"hasta", "2026-12-31"}, {"margen_minutos", 0},
            {"ahora_origen", nullptr}, {"tolerancia", "0"}, {"estado_salida", estadoSalida}, {"interrumpido", false},
            {"mensaje", nullptr}, {"resultados", std::move(pares)}, {"sin_revisar", json::array()}};
}

// A revision folder with its summary and a company's report inside.
std::string revision(const fs::path& padre, const std::string& nombre, const std::string& bytes) {
    fs::create_directories(padre / nombre / "001");
    std::ofstream(padre / nombre / "001" / "comparacion21.txt", std::ios::binary) << "AB000001,01/12/2026,1,1\r\n";
    std::ofstream(padre / nombre / "resumen.json", std::ios::binary) << bytes;
    return (padre / nombre).string();
}

std::vector<json> lineas(const fs::path& padre) {
    std::vector<json> r;
    std::ifstream archivo(padre / "historial.jsonl", std::ios::binary);
    for (std::string l; std::getline(archivo, l);) r.push_back(json::parse(l));
    return r;
}

std::vector<std::string> carpetas(const std::vector<json>& ls) {
    std::vector<std::string> r;
    for (const auto& l : ls) r.push_back(l["carpeta"]);
    return r;
}

// Version 1 and version 2 summaries side by side, with a v2 pair that was
// not compared, three summaries the program cannot have written and a folder
// that is not a revision at all.
struct Carpeta {
    fs::path padre;
    std::string v1, v2, nueva;
    explicit Carpeta(const fs::path& p) : padre(p) {
        // Local times with offsets: by the clock, 20261211-0100 began first.
        v1 = revision(padre, "20261210-2330",
                      resumen(1, "2026-12-10T23:30:00-03:00", {par("igual"), par("diferencias", 3, 2, 1, 4)}).dump());
        json comparado = par("diferencias", 5, 1);
        comparado["nuevos"] = 2, comparado["persistentes"] = 4, comparado["resueltos"] = 1;
        json sinComparar = par("error");
        sinComparar["nuevos"] = sinComparar["persistentes"] = sinComparar["resueltos"] = nullptr;
        json cortado = par("error", 1);
        cortado["incompleto"] = true;
        json v2json = resumen(2, "2026-12-11T01:00:00+00:00", {comparado, sinComparar, cortado, par("sin_movimientos")});
        v2json["comparada_con"] = (padre / "20261210-2330").string();
        v2json["reverificacion_de"] = nullptr;
        v2 = revision(padre, "20261211-0100", v2json.dump());
        json v2sinComparar = resumen(2, "2026-12-12T02:00:00-03:00", {sinComparar}, 2);
        v2sinComparar["origen"] = "srv<1>";
        nueva = revision(padre, "20261212-0200", v2sinComparar.dump(2));
        revision(padre, "futura", resumen(3, "2026-12-12T03:00:00-03:00", json::array()).dump());
        revision(padre, "cortada", resumen(1, "2026-12-12T03:00:00-03:00", json::array()).dump().substr(0, 40));
        json sinResultados = resumen(1, "2026-12-12T03:00:00-03:00", json::array());
        sinResultados.erase("resultados");
        revision(padre, "sin-resultados", sinResultados.dump());
        fs::create_directories(padre / "otra-cosa" / "001");
        std::ofstream(padre / "suelto.txt") << "no es una carpeta";
    }
};

TEST(Historial, SeRehaceDeLosResumenesDeVersionUnoYDos) {
    const prueba::DirectorioTemporal dir;
    const Carpeta c(dir.ruta());
    const auto r = actualizarHistorial(c.padre.string(), c.nueva);
    EXPECT_TRUE(r.escrito);
    ASSERT_EQ(r.avisos.size(), 3u) << "the three summaries it cannot read";
    for (const char* nombre : {"futura", "cortada", "sin-resultados"})
        EXPECT_TRUE(std::any_of(r.avisos.begin(), r.avisos.end(),
                                [&](const std::string& a) { return contiene(a, nombre); }))
            << nombre;

    const auto ls = lineas(c.padre);
    ASSERT_EQ(carpetas(ls), (std::vector<std::string>{"20261211-0100", "20261210-2330", "20261212-0200"}))
        << "oldest first, by the moment in UTC, not by the local time's text";
    struct {
        std::size_t linea;
        const char* campo;
        json esperado;
    } casos[] = {
        {1, "pares", {{"igual", 1}, {"diferencias", 1}, {"sin_movimientos", 0}, {"error", 0}, {"incompleto", 0}}},
        {1, "hallazgos", {{"no_encontrados", 3}, {"diferentes", 2}, {"duplicados", 1}, {"pendientes", 4}}},
        {1, "nuevos", nullptr},  // version 1: never compared
        {1, "comparada_con", nullptr},
        {1, "estado_salida", 1},
        {0, "pares", {{"igual", 0}, {"diferencias", 1}, {"sin_movimientos", 1}, {"error", 1}, {"incompleto", 1}}},
        {0, "hallazgos", {{"no_encontrados", 6}, {"diferentes", 1}, {"duplicados", 0}, {"pendientes", 0}}},
        {0, "nuevos", 2},  // the uncompared pair adds nothing
        {0, "persistentes", 4},
        {0, "resueltos", 1},
        {0, "comparada_con", (c.padre / "20261210-2330").string()},
        {0, "reverificacion_de", nullptr},
        {2, "nuevos", nullptr},  // version 2, no pair compared
        {2, "estado_salida", 2},
        {2, "origen", "srv<1>"},
        {2, "destino", "srv2:/erp"},
        {2, "desde", "2026-12-01"},
        {2, "fin", "2026-12-12T02:00:00-03:00"},
    };
    for (const auto& k : casos) EXPECT_EQ(ls[k.linea][k.campo], k.esperado) << k.linea << " " << k.campo;

    const std::string pagina = prueba::contenido((c.padre / "indice.html").string());
    EXPECT_LT(pagina.find("20261212-0200/resumen.html"), pagina.find("20261210-2330/resumen.html")) << "newest first";
    EXPECT_TRUE(contiene(pagina, "srv&lt;1&gt;"));
    EXPECT_FALSE(contiene(pagina, "srv<1>"));
    EXPECT_FALSE(contiene(pagina, "<script"));
}

// Whatever the history held, or if it is gone, the same files come back.
TEST(Historial, BorradoOIlegibleSeRehaceIgual) {
    const prueba::DirectorioTemporal dir;
    const Carpeta c(dir.ruta());
    actualizarHistorial(c.padre.string(), c.nueva);
    const std::string historial = prueba::contenido((c.padre / "historial.jsonl").string());
    const std::string pagina = prueba::contenido((c.padre / "indice.html").string());
    struct {
        const char* nombre;
        std::function<void()> danar;
    } casos[] = {
        {"borrado", [&] { fs::remove(c.padre / "historial.jsonl"); }},
        {"ambos borrados", [&] { fs::remove(c.padre / "historial.jsonl"), fs::remove(c.padre / "indice.html"); }},
        {"cortado", [&] { fs::resize_file(c.padre / "historial.jsonl", historial.size() / 2); }},
        {"una linea que no es JSON",
         [&] { std::ofstream(c.padre / "historial.jsonl", std::ios::app) << "{\"carpeta\": \n"; }},
        {"una linea sin carpeta", [&] { std::ofstream(c.padre / "historial.jsonl", std::ios::app) << "{}\n"; }},
        {"vacio", [&] { std::ofstream(c.padre / "historial.jsonl", std::ios::trunc); }},
        {"intacto", [] {}},
    };
    for (const auto& k : casos) {
        k.danar();
        EXPECT_TRUE(actualizarHistorial(c.padre.string(), c.nueva).escrito) << k.nombre;
        EXPECT_EQ(prueba::contenido((c.padre / "historial.jsonl").string()), historial) << k.nombre;
        EXPECT_EQ(prueba::contenido((c.padre / "indice.html").string()), pagina) << k.nombre;
    }
    // A revision removed by hand leaves the history at the next update.
    fs::remove_all(c.padre / "20261211-0100");
    actualizarHistorial(c.padre.string(), c.nueva);
    EXPECT_EQ(carpetas(lineas(c.padre)), (std::vector<std::string>{"20261210-2330", "20261212-0200"}));
}

// Revisions finishing together: each one's folder is there before its update
// starts, and no update may write a history that misses a finished one.
TEST(Historial, DosRevisionesALaVezNoPierdenLineas) {
    const prueba::DirectorioTemporal dir;
    constexpr int hilos = 12;
    for (int ronda = 0; ronda < 5; ++ronda) {
        const fs::path padre = dir.ruta() / ("ronda" + std::to_string(ronda));
        fs::create_directories(padre);
        std::vector<std::thread> grupo;
        for (int h = 0; h < hilos; ++h)
            grupo.emplace_back([&, h] {
                char inicio[32];
                std::snprintf(inicio, sizeof inicio, "2026-12-10T02:%02d:00-03:00", h);
                const auto carpeta = revision(padre, "r" + std::to_string(h), resumen(1, inicio, {par("igual")}).dump());
                actualizarHistorial(padre.string(), carpeta);
            });
        for (auto& h : grupo) h.join();
        EXPECT_EQ(lineas(padre).size(), static_cast<std::size_t>(hilos)) << "round " << ronda;
        const std::string pagina = prueba::contenido((padre / "indice.html").string());
        for (int h = 0; h < hilos; ++h) EXPECT_TRUE(contiene(pagina, "\"r" + std::to_string(h) + "/resumen.html\""));
    }
}

// --conservar N: the newest N, the one just written and the one it was
// compared with stay, and only folders with a summary of this program go.
TEST(Historial, ConservarGuardaLoQueDebe) {
    struct Caso {
        const char* nombre;
        unsigned conservar;
        const char* nueva;
        const char* comparada;  // the new one's comparada_con, or null
        std::set<std::string> quedan;
    } casos[] = {
        {"la mas reciente", 1, "r5", nullptr, {"r5"}},
        {"tres", 3, "r5", nullptr, {"r3", "r4", "r5"}},
        {"mas de las que hay", 50, "r5", nullptr, {"r1", "r2", "r3", "r4", "r5"}},
        {"y la comparada", 1, "r5", "r1", {"r1", "r5"}},
        {"la comparada ya entra en las N", 2, "r5", "r4", {"r4", "r5"}},
        // A folder given with --revision may sort before the others by its name.
        {"la nueva no es la mas reciente", 2, "r2", nullptr, {"r2", "r4", "r5"}},
    };
    for (const auto& k : casos) {
        const prueba::DirectorioTemporal dir;
        const fs::path padre = dir.ruta();
        std::string nueva;
        for (int i = 1; i <= 5; ++i) {
            const std::string nombre = "r" + std::to_string(i);
            json j = resumen(2, "2026-12-1" + std::to_string(i) + "T02:00:00-03:00", {par("igual")}, 0);
            j["comparada_con"] = nombre == k.nueva && k.comparada ? json((padre / k.comparada).string()) : json(nullptr);
            const auto carpeta = revision(padre, nombre, j.dump());
            if (nombre == k.nueva) nueva = carpeta;
        }
        // An earlier night's update: the other lines come from the history.
        actualizarHistorial(padre.string(), (padre / "r4").string());
        // Never touched: older, but not a summary this program wrote, or none.
        revision(padre, "r0-futura", resumen(3, "2026-12-01T02:00:00-03:00", json::array()).dump());
        fs::create_directories(padre / "r0-sin-resumen" / "001");

        const auto r = actualizarHistorial(padre.string(), nueva, k.conservar);
        EXPECT_TRUE(r.escrito) << k.nombre;
        std::set<std::string> quedan;
        for (const auto& e : fs::directory_iterator(padre))
            if (e.is_directory()) quedan.insert(e.path().filename().string());
        std::set<std::string> esperadas = k.quedan;
        esperadas.insert({"r0-futura", "r0-sin-resumen"});
        EXPECT_EQ(quedan, esperadas) << k.nombre;
        EXPECT_EQ(r.borradas.size(), 5 - k.quedan.size()) << k.nombre;
        const auto listadas = carpetas(lineas(padre));
        EXPECT_EQ(std::set<std::string>(listadas.begin(), listadas.end()), k.quedan)
            << k.nombre << ": the history lists what is left";
    }
}

// The history may say a folder is a revision when what lies there now is not:
// its summary is read again before anything of it is removed.
TEST(Historial, ConservarLeeDeNuevoAntesDeBorrar) {
    const prueba::DirectorioTemporal dir;
    const fs::path padre = dir.ruta();
    for (int i = 1; i <= 3; ++i)
        revision(padre, "r" + std::to_string(i),
                 resumen(1, "2026-12-1" + std::to_string(i) + "T02:00:00-03:00", {par("igual")}, 0).dump());
    actualizarHistorial(padre.string(), (padre / "r3").string());
    std::ofstream(padre / "r1" / "resumen.json", std::ios::binary | std::ios::trunc)
        << resumen(3, "2026-12-11T02:00:00-03:00", json::array()).dump();

    const auto r = actualizarHistorial(padre.string(), (padre / "r3").string(), 1);
    EXPECT_TRUE(fs::exists(padre / "r1" / "001" / "comparacion21.txt"));
    EXPECT_FALSE(fs::exists(padre / "r2"));
    ASSERT_EQ(r.avisos.size(), 1u);
    EXPECT_TRUE(contiene(r.avisos[0], (padre / "r1").string())) << r.avisos[0];
    EXPECT_EQ(carpetas(lineas(padre)), std::vector<std::string>{"r3"});
}

// The standard output of a shell command, which gets two minutes at most.
std::string salidaDe(const std::string& orden, int& estado) {
    std::string texto;
    FILE* tubo = popen(("timeout 120 " + orden).c_str(), "r");
    if (!tubo) {
        estado = -1;
        return texto;
    }
    std::array<char, 4096> bloque;
    for (std::size_t n; (n = std::fread(bloque.data(), 1, bloque.size(), tubo)) > 0;) texto.append(bloque.data(), n);
    estado = pclose(tubo);
    return texto;
}

std::string chromium(const fs::path& carpeta, const std::string& perfil, const std::string& argumentos) {
    return "/usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
           "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
           (carpeta / perfil).string() + "' " + argumentos + " 2>>'" + (carpeta / "chromium.log").string() + "'";
}

// One revision and three hundred, each page at 1280 and at 400 px: measured
// from outside, since the pages carry no script.
const char* envoltorio = R"(<!DOCTYPE html>
<html><body><pre id="medidas">sin cargar</pre>
<iframe id="una-1280" src="una/indice.html" style="border:0;width:1280px;height:900px"></iframe>
<iframe id="una-400" src="una/indice.html" style="border:0;width:400px;height:900px"></iframe>
<iframe id="muchas-1280" src="muchas/indice.html" style="border:0;width:1280px;height:900px"></iframe>
<iframe id="muchas-400" src="muchas/indice.html" style="border:0;width:400px;height:900px"></iframe>
<script>
window.addEventListener('load', () => {
  const salida = document.getElementById('medidas');
  const lineas = [];
  for (const id of ['una-1280', 'una-400', 'muchas-1280', 'muchas-400']) {
    const d = document.getElementById(id).contentDocument;
    if (!d) { salida.textContent = 'sin acceso a la página'; return; }
    const svg = d.querySelector('svg.grafico');
    const caja = svg.getBoundingClientRect();
    const barras = [...svg.querySelectorAll('rect[class^="t-"]')].map(r => r.getBoundingClientRect());
    const estados = [...svg.querySelectorAll('rect[class^="e-"]')].map(r => r.getBoundingClientRect());
    const dentro = barras.concat(estados).every(b => b.left >= caja.left - 0.5 && b.right <= caja.right + 0.5 &&
                                                    b.top >= caja.top - 0.5 && b.bottom <= caja.bottom + 0.5);
    const filas = [...d.querySelectorAll('.revisiones tbody tr')];
    lineas.push(id + '-sobra=' + (d.documentElement.scrollWidth - d.documentElement.clientWidth));
    const tabla = d.querySelector('.revisiones').parentElement;
    lineas.push(id + '-tabla=' + (tabla.scrollWidth - tabla.clientWidth));
    lineas.push(id + '-grafico=' + (caja.width >= d.documentElement.clientWidth * 0.8 && caja.height >= 100 ? 'ancho' : 'angosto ' + caja.width + 'x' + caja.height));
    lineas.push(id + '-estados=' + estados.length);
    lineas.push(id + '-visibles=' + estados.filter(b => b.width >= 0.5 && b.height >= 4).length);
    lineas.push(id + '-dentro=' + dentro);
    lineas.push(id + '-mas-alta=' + Math.round(Math.max(0, ...barras.map(b => b.height))));
    lineas.push(id + '-filas=' + filas.length);
    lineas.push(id + '-apiladas=' + filas.filter(f => d.defaultView.getComputedStyle(f).display === 'block').length);
    lineas.push(id + '-primera=' + (filas.length ? filas[0].querySelector('a').getAttribute('href') : ''));
  }
  salida.textContent = lineas.join('\n');
});
</script>
</body></html>
)";

TEST(Historial, LaPaginaEnUnNavegadorDeVerdad) {
    if (!fs::exists("/usr/bin/chromium")) {
        if (prueba::servidorRequerido()) FAIL() << "falta /usr/bin/chromium";
        GTEST_SKIP() << "sin /usr/bin/chromium: se omite la prueba en el navegador";
    }
    const prueba::DirectorioTemporal dir;
    const auto una = revision(dir.ruta() / "una", "20261210-020000",
                              resumen(1, "2026-12-10T02:00:00-03:00", {par("diferencias", 47, 3)}).dump());
    actualizarHistorial((dir.ruta() / "una").string(), una);
    std::string ultima;
    for (int i = 0; i < 300; ++i) {
        char nombre[32], inicio[40];
        std::snprintf(nombre, sizeof nombre, "r%03d", i);
        std::snprintf(inicio, sizeof inicio, "2026-%02d-%02dT02:00:00-03:00", 1 + i / 28, 1 + i % 28);
        // Findings that grow and fall back, with an empty night now and then.
        const int n = i % 17 == 0 ? 0 : (i * 37) % 500;
        ultima = revision(dir.ruta() / "muchas", nombre,
                          resumen(1, inicio, {par(n ? "diferencias" : "igual", n, n / 3, n % 5, n % 7)}, n ? 1 : 0).dump());
    }
    actualizarHistorial((dir.ruta() / "muchas").string(), ultima);
    std::ofstream(dir.ruta() / "envoltorio.html", std::ios::binary) << envoltorio;

    int estado = 0;
    const std::string dom = salidaDe(chromium(dir.ruta(), "perfil",
                                              "--allow-file-access-from-files --virtual-time-budget=5000 --dump-dom 'file://" +
                                                  (dir.ruta() / "envoltorio.html").string() + "'"),
                                     estado);
    ASSERT_EQ(estado, 0) << prueba::contenido((dir.ruta() / "chromium.log").string());
    const auto desde = dom.find("<pre id=\"medidas\">"), hasta = dom.find("</pre>");
    ASSERT_TRUE(desde != std::string::npos && hasta != std::string::npos && desde < hasta) << dom;
    const std::string texto = dom.substr(desde + std::strlen("<pre id=\"medidas\">"), hasta - desde - std::strlen("<pre id=\"medidas\">"));
    std::map<std::string, std::string> medidas;
    const std::regex linea(R"(([a-z0-9-]+)=([^\n]*))");
    for (std::sregex_iterator i(texto.begin(), texto.end(), linea), fin; i != fin; ++i) medidas[(*i)[1]] = (*i)[2];
    for (const char* ancho : {"1280", "400"}) {
        const std::string una = std::string("una-") + ancho, muchas = std::string("muchas-") + ancho;
        const std::map<std::string, std::string> esperadas = {
            {una + "-sobra", "0"},  // a phone scrolls down, never sideways
            {muchas + "-sobra", "0"},
            {una + "-tabla", "0"},  // every column on a 1280 px screen, and stacked on a phone
            {muchas + "-tabla", "0"},
            {una + "-grafico", "ancho"},
            {muchas + "-grafico", "ancho"},
            {una + "-estados", "1"},
            {una + "-visibles", "1"},
            {muchas + "-estados", "300"},
            {muchas + "-dentro", "true"},
            {una + "-dentro", "true"},
            {una + "-filas", "1"},
            {muchas + "-filas", "300"},
            {una + "-primera", "20261210-020000/resumen.html"},
            {muchas + "-primera", "r299/resumen.html"},  // newest first
            {una + "-apiladas", std::string(ancho) == "400" ? "1" : "0"},
            {muchas + "-apiladas", std::string(ancho) == "400" ? "300" : "0"},
        };
        for (const auto& [medida, valor] : esperadas) EXPECT_EQ(medidas[medida], valor) << medida << "\n" << texto;
        // The one revision's findings are the tallest bar the chart draws.
        EXPECT_GE(std::stoi(medidas[una + "-mas-alta"].empty() ? "0" : medidas[una + "-mas-alta"]), 100) << texto;
        // At 1280 px every one of the 300 bars is a mark of its own; on a phone
        // they may share pixels but stay inside the chart.
        if (std::string(ancho) == "1280") {
            EXPECT_EQ(medidas[muchas + "-visibles"], "300") << texto;
        }
    }
}

}  // namespace
