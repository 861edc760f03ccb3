#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <cctype>
#include <regex>

#include "platform/cp1252.h"
#include "reconcile/resumen_html.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep::conciliacion;
using autorep::plataforma::ansi;
namespace fs = std::filesystem;

namespace {

Hallazgo hallazgo(const char* codigo, const char* origen, const char* destino, bool noEncontrado, bool diferente,
                  bool duplicado) {
    Hallazgo h;
    h.codigo = codigo;
    h.fecha = "08/12/2026";
    h.importeOrigen = origen;
    h.importeDestino = destino;
    h.noEncontrado = noEncontrado;
    h.diferente = diferente;
    h.duplicado = duplicado;
    return h;
}

Total total(const char* suma, bool exacto = true) {
    Total t;
    t.suma = *Decimal::leer(suma);
    t.exacto = exacto;
    return t;
}

ParRevision par(const char* compania, std::int64_t tipo, ParRevision::Estado estado) {
    ParRevision p;
    p.compania = compania;
    p.nombreCompania = ansi("Comercial Andina S.A.");
    p.companiaDestino = "101";
    p.tipo = tipo;
    p.estado = estado;
    p.resumen.reporte = "/srv/quorix/comparacion" + std::to_string(tipo) + ".txt";
    p.segundos = 3.25;
    return p;
}

// Two origin companies and types 1, 21 and 31: 001/1 equal, 001/21 missing and
// different documents, 001/31 pending only, 002/1 duplicates, 002/31 an error;
// 002/21 did not run.
Revision revisionPrueba() {
    Revision r;
    r.inicio = "2026-12-10T02:00:00-03:00";
    r.fin = "2026-12-10T02:14:31-03:00";
    r.origen = "192.168.10.5:/srv/quorix";
    r.destino = "replica.andina.local/3050:/srv/quorix";
    r.desde = {2026, 12, 1};
    r.hasta = {2026, 12, 31};
    r.margenMinutos = 30;
    r.tolerancia = *Decimal::leer("0.01");
    r.estadoSalida = 2;

    auto igual = par("001", 1, ParRevision::Estado::Igual);
    igual.resumen.registros = igual.resumen.lineas = igual.resumen.iguales = 120;
    igual.resumen.totalOrigen = igual.resumen.totalDestino = total("84210.5");

    auto faltan = par("001", 21, ParRevision::Estado::Diferencias);
    auto& rf = faltan.resumen;
    rf.registros = 14230;
    rf.lineas = 14102;
    rf.iguales = 13850;
    rf.diferentes = 2;
    rf.noEncontrados = 250;
    rf.sinOrigen = 128;
    rf.totalOrigen = total("1523400.75");
    rf.totalDestino = total("1498210", false);
    rf.hallazgos = {hallazgo("FC000004", "4187.5", "No encontrado", true, false, false),
                    hallazgo("FC000006", "6275", "6265", false, true, false),
                    hallazgo("FC000009", "1200", "1150", false, true, false)};
    rf.hallazgosOmitidos = 250;

    auto pendiente = par("001", 31, ParRevision::Estado::Igual);
    pendiente.resumen.registros = pendiente.resumen.lineas = 42;
    pendiente.resumen.iguales = 38;
    pendiente.resumen.pendientes = 4;
    pendiente.resumen.totalOrigen = total("9120");
    pendiente.resumen.totalDestino = total("8700");

    auto duplicados = par("002", 1, ParRevision::Estado::Diferencias);
    duplicados.nombreCompania = ansi("<b>Ñandú & \"Cía\"</b>");
    duplicados.companiaDestino = "002";
    duplicados.resumen.registros = duplicados.resumen.lineas = 64;
    duplicados.resumen.iguales = 63;
    duplicados.resumen.duplicados = 2;
    duplicados.resumen.totalOrigen = duplicados.resumen.totalDestino = total("5400");
    duplicados.resumen.hallazgos = {hallazgo("CP000003", "403 / 403", "403 / 403", false, false, true),
                                    hallazgo("CP000005", "12500 / 12500", "No encontrado", true, false, true)};

    auto error = par("002", 31, ParRevision::Estado::Error);
    error.nombreCompania = duplicados.nombreCompania;
    error.companiaDestino = "002";
    error.error = ansi("No se encontró el archivo o la ruta /srv/datos/002/quorix.fdb");

    r.pares = {igual, faltan, pendiente, duplicados, error};
    return r;
}

bool contiene(const std::string& texto, const std::string& parte) { return texto.find(parte) != std::string::npos; }

// The page of the fixture, kept where AUTOREP_GUARDAR_PAGINA says so a person
// can look at it (scripts/captura-pagina.sh takes its picture).
TEST(ResumenHtml, PaginaDeLaRevision) {
    const std::string html = paginaRevision(revisionPrueba());
    if (const char* ruta = std::getenv("AUTOREP_GUARDAR_PAGINA")) std::ofstream(ruta, std::ios::binary) << html;
    const std::string esperados[] = {
        "<html lang=\"es\">",
        "<meta charset=\"utf-8\">",
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
        "192.168.10.5:/srv/quorix",
        "replica.andina.local/3050:/srv/quorix",
        "01/12/2026 – 31/12/2026",
        "<time datetime=\"2026-12-10T02:00:00-03:00\">10/12/2026 02:00:00</time> <small>UTC−03:00</small>",
        "<time datetime=\"2026-12-10T02:14:31-03:00\">10/12/2026 02:14:31</time>",
        "<dd>14 min 31 s</dd>",
        "<dd>30 min</dd>",
        "<dd>0.01</dd>",
        "Hay pares que no se pudieron revisar",
        "5 pares revisados: 1 igual, 2 con diferencias, 1 con pendientes, 1 con error.",
        "<th scope=\"col\">Tipo 1</th><th scope=\"col\">Tipo 21</th><th scope=\"col\">Tipo 31</th>",
        "<span class=\"nombre\">Comercial Andina S.A.</span><span class=\"destino\">→ destino 101</span>",
        "<span title=\"14\u202f102 líneas del reporte\">14\u202f102 líneas</span>",
        "<span title=\"2 diferentes\">≠ 2</span><span title=\"250 no encontrados\">✗ 250</span>",
        "<span title=\"4 pendientes\">◷ 4</span>",
        "<span title=\"2 duplicados\">❐ 2</span>",
        "<td class=\"num\">1523400.75</td><td class=\"num\">1498210<span class=\"inexacto\">(inexacto)</span></td>",
        "<h2>Pares con error</h2>",
        "No se encontró el archivo o la ruta /srv/datos/002/quorix.fdb",
    };
    for (const auto& e : esperados) EXPECT_TRUE(contiene(html, e)) << e;
    // The destination is said only where it differs from the origin company.
    EXPECT_FALSE(contiene(html, "→ destino 002"));
}

TEST(ResumenHtml, CeldaPorResultado) {
    const std::string html = paginaRevision(revisionPrueba());
    const struct {
        const char* id;
        const char* clase;
        const char* enlace;  // nullptr: the cell links nowhere
    } casos[] = {
        {"par-001-1", "igual", nullptr},
        {"par-001-21", "diferencias", "#detalle-001-21"},
        {"par-001-31", "pendiente", nullptr},
        {"par-002-1", "diferencias", "#detalle-002-1"},
        {"par-002-31", "error", "#error-002-31"},
    };
    for (const auto& c : casos) {
        const auto inicio = html.find(std::string("<td id=\"") + c.id + "\" class=\"" + c.clase + "\"");
        ASSERT_NE(inicio, std::string::npos) << c.id;
        const std::string celda = html.substr(inicio, html.find("</td>", inicio) - inicio);
        EXPECT_EQ(contiene(celda, "<a "), c.enlace != nullptr) << c.id;
        if (c.enlace) {
            EXPECT_TRUE(contiene(celda, std::string("href=\"") + c.enlace + "\"")) << c.id;
            EXPECT_TRUE(contiene(html, std::string(" id=\"") + (c.enlace + 1) + "\"")) << c.id << ": no target";
        }
    }
    EXPECT_TRUE(contiene(html, "<td id=\"par-002-31\" class=\"error\" title=\"No se encontró el archivo"));
    EXPECT_FALSE(contiene(html, "par-002-21")) << "a pair that did not run has no cell of its own";
    EXPECT_TRUE(contiene(html, "<td class=\"vacio\"></td>"));
}

TEST(ResumenHtml, DocumentosConDiferencias) {
    auto revision = revisionPrueba();
    revision.pares[3].resumen.hallazgosOmitidos = 1;
    const std::string html = paginaRevision(revision);
    const std::string esperados[] = {
        "<tr><td class=\"codigo\">FC000004</td><td>08/12/2026</td><td class=\"num\">4187.5</td><td class=\"num "
        "ausente\">No encontrado</td><td><span class=\"etiqueta etiqueta-noencontrado\">no encontrado</span></td></tr>",
        "<td class=\"num\">6275</td><td class=\"num\">6265</td><td><span class=\"etiqueta "
        "etiqueta-diferente\">diferente</span></td>",
        "<span class=\"etiqueta etiqueta-noencontrado\">no encontrado</span><span class=\"etiqueta "
        "etiqueta-duplicado\">duplicado</span>",
        "Y 250 documentos más en el reporte <code>/srv/quorix/comparacion21.txt</code>.",
        "Y 1 documento más en el reporte <code>/srv/quorix/comparacion1.txt</code>.",
    };
    for (const auto& e : esperados) EXPECT_TRUE(contiene(html, e)) << e;
    for (const char* sinDetalle : {"detalle-001-1\"", "detalle-001-31\"", "detalle-002-31\""})
        EXPECT_FALSE(contiene(html, sinDetalle)) << sinDetalle;

    revision.pares[1].resumen.hallazgos.clear();
    EXPECT_TRUE(contiene(paginaRevision(revision), "<p class=\"nota omitidos\">250 documentos en el reporte"));
}

TEST(ResumenHtml, LosPendientesSeListanYLoNoRevisadoSeCuenta) {
    Revision revision = revisionPrueba();
    auto& pendiente = revision.pares[2].resumen;  // 001/31, pending only
    ASSERT_EQ(revision.pares[2].tipo, 31);
    Hallazgo h = hallazgo("FV00000009", "12", "No encontrado", false, false, false);
    h.pendiente = true;
    pendiente.hallazgos = {h};
    ParRevision noCorrio = par("003", 21, ParRevision::Estado::Igual);
    noCorrio.nombreCompania = "Tercera";
    revision.sinRevisar = {noCorrio};
    const std::string html = paginaRevision(revision);
    EXPECT_TRUE(contiene(html, "id=\"detalle-001-31\"")) << "what a pending pair excuses is shown";
    EXPECT_TRUE(contiene(html, "<span class=\"etiqueta etiqueta-pendiente\">pendiente</span>"));
    EXPECT_TRUE(contiene(html, "Tercera")) << "a company a stop left out keeps its row";
    EXPECT_TRUE(contiene(html, " de 6 pares revisados")) << "how many of the pairs planned ran";
}

TEST(ResumenHtml, TextosHostilesSeMuestranTalCual) {
    const struct {
        const char* nombre;
        std::function<void(Revision&)> cambiar;
        std::string visible;  // as the page must carry it
        std::string crudo;    // what must not reach the page unescaped
    } casos[] = {
        {"nombre de compañía", [](Revision& r) { r.pares[3].nombreCompania = ansi("<b>Ñandú & \"Cía\"</b>"); },
         "&lt;b&gt;Ñandú &amp; &quot;Cía&quot;&lt;/b&gt;", "<b>Ñandú"},
        {"código de compañía", [](Revision& r) { r.pares[4].compania = "<i>7</i>"; },
         "<td id=\"par-&lt;i&gt;7&lt;/i&gt;-31\" class=\"error\"", "<i>7"},
        {"código de documento", [](Revision& r) { r.pares[1].resumen.hallazgos[0].codigo = "\"><script>x()</script>"; },
         "&quot;&gt;&lt;script&gt;x()&lt;/script&gt;", "\"><script"},
        {"mensaje de error", [](Revision& r) { r.pares[4].error = "<svg onload=x()> 'a' & b"; },
         "title=\"&lt;svg onload=x()&gt; &apos;a&apos; &amp; b\"", "<svg"},
        {"destino de compañía", [](Revision& r) { r.pares[0].companiaDestino = "<u>1</u>"; },
         "→ destino &lt;u&gt;1&lt;/u&gt;", "<u>1"},
        {"reporte", [](Revision& r) { r.pares[1].resumen.reporte = "/srv/a&b<c>/comparacion21.txt"; },
         "<code>/srv/a&amp;b&lt;c&gt;/comparacion21.txt</code>", "a&b<c>"},
        {"servidor con llaves", [](Revision& r) { r.origen = "{{destino}}&{{{destino}}}"; },
         "<dd>{{destino}}&amp;{{{destino}}}</dd>", "&amp;replica"},
        {"importe", [](Revision& r) { r.pares[3].resumen.hallazgos[0].importeOrigen = "1<2"; },
         "<td class=\"num\">1&lt;2</td>", "1<2"},
        {"fecha de inicio", [](Revision& r) { r.inicio = "<hoy>"; }, "<time datetime=\"&lt;hoy&gt;\">&lt;hoy&gt;</time>",
         "<hoy>"},
    };
    for (const auto& c : casos) {
        auto revision = revisionPrueba();
        c.cambiar(revision);
        const std::string html = paginaRevision(revision);
        EXPECT_TRUE(contiene(html, c.visible)) << c.nombre;
        EXPECT_FALSE(contiene(html, c.crudo)) << c.nombre;
    }
}

TEST(ResumenHtml, SinScriptNiRecursosExternos) {
    const std::string html = paginaRevision(revisionPrueba());
    for (const char* prohibido : {"<script", "http://", "https://", "src=", "url(", "@import", "<link", "<img",
                                  "<iframe", "<object", "<embed"})
        EXPECT_FALSE(contiene(html, prohibido)) << prohibido;
    // No event handler attribute in any tag (scanned by hand: std::regex
    // recurses per character and overflows the stack on a whole page).
    for (std::size_t abre = html.find('<'); abre != std::string::npos; abre = html.find('<', abre + 1)) {
        const std::string etiqueta = html.substr(abre, html.find('>', abre) - abre);
        for (std::size_t on = etiqueta.find(" on"); on != std::string::npos; on = etiqueta.find(" on", on + 1)) {
            std::size_t k = on + 3;
            while (k < etiqueta.size() && std::isalpha(static_cast<unsigned char>(etiqueta[k]))) ++k;
            EXPECT_FALSE(k > on + 3 && k < etiqueta.size() && etiqueta[k] == '=') << etiqueta;
        }
    }
    // Each outcome's colour is written once, as a custom property.
    for (const char* color : {"#d8f3dc", "#f8d0c8", "#fff1b8", "#d9d9d9"}) {
        const auto primero = html.find(color);
        ASSERT_NE(primero, std::string::npos) << color;
        EXPECT_EQ(html.find(color, primero + 1), std::string::npos) << color;
    }
    const auto impresion = html.find("@media print {");
    ASSERT_NE(impresion, std::string::npos);
    EXPECT_NE(html.find("print-color-adjust: exact", impresion), std::string::npos);
}

TEST(ResumenHtml, VeredictoYCabecera) {
    const struct {
        int estadoSalida;
        bool interrumpida;
        int margen;
        const char* tolerancia;
        std::string veredicto;
    } casos[] = {
        {0, false, 0, "0", "<p class=\"veredicto veredicto-igual\"><strong>La réplica está completa</strong>"},
        {1, false, 30, "0.01", "<p class=\"veredicto veredicto-diferencias\"><strong>Hay diferencias</strong>"},
        {2, false, 0, "0", "<strong>Hay pares que no se pudieron revisar</strong>"},
        {130, true, 0, "0", "<p class=\"veredicto veredicto-interrumpida\"><strong>Revisión interrumpida</strong>"},
    };
    for (const auto& c : casos) {
        auto revision = revisionPrueba();
        revision.estadoSalida = c.estadoSalida;
        revision.interrumpida = c.interrumpida;
        revision.margenMinutos = c.margen;
        revision.tolerancia = *Decimal::leer(c.tolerancia);
        const std::string html = paginaRevision(revision);
        EXPECT_TRUE(contiene(html, c.veredicto)) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "solo los pares que llegaron a revisarse"), c.interrumpida) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "Margen de pendientes"), c.margen != 0) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "Tolerancia de importes"), std::string(c.tolerancia) != "0") << c.estadoSalida;
    }
}

TEST(ResumenHtml, InicioYFin) {
    const struct {
        const char* inicio;
        const char* fin;
        std::string inicioVisible;
        const char* duracion;  // nullptr: none can be told
    } casos[] = {
        {"2026-12-31T23:59:30.250+01:00", "2027-01-01T00:00:10,9+01:00",
         "<time datetime=\"2026-12-31T23:59:30.250+01:00\">31/12/2026 23:59:30</time> <small>UTC+01:00</small>",
         "40 s"},
        {"2026-12-10T05:00:00Z", "2026-12-10T03:30:00-03:00", "10/12/2026 05:00:00</time> <small>UTC</small>",
         "1 h 30 min"},
        {"2026-12-10T05:00:00Z", "2026-12-10T04:59:00Z", "10/12/2026 05:00:00", nullptr},
        {"2026-12-10T24:00:00Z", "2026-12-10T05:00:00Z", ">2026-12-10T24:00:00Z</time>", nullptr},
        {"2026-12-10T-1:00:00Z", "2026-12-10T05:00:00Z", ">2026-12-10T-1:00:00Z</time>", nullptr},
        {"ayer", "", ">ayer</time>", nullptr},
    };
    for (const auto& c : casos) {
        auto revision = revisionPrueba();
        revision.inicio = c.inicio;
        revision.fin = c.fin;
        const std::string html = paginaRevision(revision);
        EXPECT_TRUE(contiene(html, c.inicioVisible)) << c.inicio;
        EXPECT_EQ(contiene(html, "<dt>Duración</dt>"), c.duracion != nullptr) << c.inicio << " " << c.fin;
        if (c.duracion) {
            EXPECT_TRUE(contiene(html, std::string("<dd>") + c.duracion + "</dd>")) << c.inicio;
        }
    }
}

TEST(ResumenHtml, TiempoDeCadaPar) {
    const struct {
        double segundos;
        const char* texto;
    } casos[] = {{0.04, "0 s"},         {3.25, "3.3 s"},         {7, "7 s"},
                 {9.96, "10 s"},        {59.6, "1 min 00 s"},    {754.4, "12 min 34 s"},
                 {3725, "1 h 02 min"}};
    for (const auto& c : casos) {
        auto revision = revisionPrueba();
        revision.pares.resize(1);
        revision.pares[0].segundos = c.segundos;
        EXPECT_TRUE(contiene(paginaRevision(revision), std::string("<td class=\"num\">") + c.texto + "</td></tr>"))
            << c.segundos;
    }
}

TEST(ResumenHtml, RevisionSinPares) {
    Revision revision;
    revision.estadoSalida = 130;
    revision.interrumpida = true;
    const std::string html = paginaRevision(revision);
    EXPECT_TRUE(contiene(html, "No se revisó ningún par."));
    EXPECT_FALSE(contiene(html, "<table"));
    EXPECT_TRUE(contiene(html, "<dd>—</dd>")) << "no start or end time";
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

// Headless Chromium with a profile of its own that never goes to the network.
std::string chromium(const fs::path& carpeta, const std::string& perfil, const std::string& argumentos) {
    return "/usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
           "--disable-background-networking --disable-component-update --disable-sync --user-data-dir='" +
           (carpeta / perfil).string() + "' " + argumentos + " 2>>'" + (carpeta / "chromium.log").string() + "'";
}

// Reads each cell's computed background from inside the page, which carries
// no script of its own.
const char* envoltorio = R"(<!DOCTYPE html>
<html><body><pre id="fondos">sin cargar</pre>
<iframe id="pagina" src="resumen.html" style="width:1200px;height:1600px"></iframe>
<script>
document.getElementById('pagina').addEventListener('load', () => {
  const doc = document.getElementById('pagina').contentDocument;
  const salida = document.getElementById('fondos');
  if (!doc) { salida.textContent = 'sin acceso a la página'; return; }
  salida.textContent = ['par-001-1', 'par-001-21', 'par-001-31', 'par-002-1', 'par-002-31'].map(id => {
    const celda = doc.getElementById(id);
    return id + '=' + (celda ? doc.defaultView.getComputedStyle(celda).backgroundColor : 'ausente');
  }).join('\n');
});
</script>
</body></html>
)";

TEST(ResumenHtml, EnUnNavegadorDeVerdad) {
    if (!fs::exists("/usr/bin/chromium") || std::system("command -v convert >/dev/null") != 0) {
        if (autorep::prueba::servidorRequerido()) FAIL() << "faltan /usr/bin/chromium o convert (ImageMagick)";
        GTEST_SKIP() << "sin /usr/bin/chromium o convert (ImageMagick): se omite la prueba en el navegador";
    }
    const autorep::prueba::DirectorioTemporal carpeta;
    const fs::path pagina = carpeta.ruta() / "resumen.html", captura = carpeta.ruta() / "captura.png";
    std::ofstream(pagina, std::ios::binary) << paginaRevision(revisionPrueba());
    std::ofstream(carpeta.ruta() / "envoltorio.html", std::ios::binary) << envoltorio;
    auto diagnostico = [&] { return autorep::prueba::contenido((carpeta.ruta() / "chromium.log").string()); };

    int estado = 0;
    salidaDe(chromium(carpeta.ruta(), "perfil-captura",
                      "--hide-scrollbars --window-size=1200,1600 --screenshot='" + captura.string() + "' 'file://" +
                          pagina.string() + "'"),
             estado);
    ASSERT_EQ(estado, 0) << diagnostico();
    ASSERT_TRUE(fs::exists(captura)) << diagnostico();
    const std::string colores = salidaDe("convert '" + captura.string() + "' -unique-colors txt:- 2>&1", estado);
    ASSERT_EQ(estado, 0) << colores;
    // A blank or unstyled page has a handful of colours; this one has text,
    // borders and the four fills.
    EXPECT_GT(std::count(colores.begin(), colores.end(), '\n'), 50);
    for (const char* fondo : {"#D8F3DC", "#F8D0C8", "#FFF1B8", "#D9D9D9"})
        EXPECT_TRUE(contiene(colores, fondo)) << fondo << " no aparece en la captura";

    const std::string dom = salidaDe(chromium(carpeta.ruta(), "perfil-dom",
                                              "--allow-file-access-from-files --virtual-time-budget=5000 --dump-dom 'file://" +
                                                  (carpeta.ruta() / "envoltorio.html").string() + "'"),
                                     estado);
    ASSERT_EQ(estado, 0) << diagnostico();
    std::map<std::string, std::string> fondos;
    const std::regex linea(R"((par-\d+-\d+)=(rgba?\([^)]*\)|ausente))");
    for (std::sregex_iterator i(dom.begin(), dom.end(), linea), fin; i != fin; ++i) fondos[(*i)[1]] = (*i)[2];
    const std::map<std::string, std::string> esperados = {
        {"par-001-1", "rgb(216, 243, 220)"},   // igual
        {"par-001-21", "rgb(248, 208, 200)"},  // missing and different documents
        {"par-001-31", "rgb(255, 241, 184)"},  // pending only
        {"par-002-1", "rgb(248, 208, 200)"},   // duplicates
        {"par-002-31", "rgb(217, 217, 217)"},  // error
    };
    EXPECT_EQ(fondos, esperados) << dom;
}

}  // namespace
