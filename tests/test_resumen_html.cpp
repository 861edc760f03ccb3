#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <cctype>
#include <regex>
#include <vector>

#include "platform/cp1252.h"
#include "reconcile/reglas.h"
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

// Three origin companies and types 1, 21 and 31: 001/1 equal, 001/21 missing
// and different documents, 001/31 pending only, 002/1 duplicates, 002/31 an
// error, 004/1 without audit rows, 004/21 cut short by a stop; 002/21 did not
// run.
Revision revisionPrueba() {
    Revision r;
    r.inicio = "2026-12-10T02:00:00-03:00";
    r.fin = "2026-12-10T02:14:31-03:00";
    r.origen = "192.168.10.5:/srv/quorix";
    r.destino = "replica.andina.local/3050:/srv/quorix";
    r.desde = {2026, 12, 1};
    r.hasta = {2026, 12, 31};
    r.margenMinutos = 30;
    r.ahoraOrigen = "2026-12-10T01:58:12";
    r.tolerancia = *Decimal::leer("0.01");
    r.estadoSalida = 2;
    r.comparadaCon = "/srv/quorix/autorep/revisiones/20261209-020000";
    r.avisos = {ansi("No se tuvo en cuenta la revisión /srv/quorix/autorep/revisiones/20261208-020000: no es un "
                     "resumen completo de una revisión.")};

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
    rf.hallazgos[0].marca = Hallazgo::Marca::Persistente;
    rf.hallazgos[1].marca = rf.hallazgos[2].marca = Hallazgo::Marca::Nuevo;
    faltan.comparacion = HallazgosAnteriores::Cuentas{250, 2, 1};

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
                                    hallazgo("CP000005", "12500", "No encontrado", true, false, true)};

    auto error = par("002", 31, ParRevision::Estado::Error);
    error.nombreCompania = duplicados.nombreCompania;
    error.companiaDestino = "002";
    error.error = ansi("No se encontró el archivo o la ruta /srv/datos/002/quorix.fdb");

    auto sinMovimientos = par("004", 1, ParRevision::Estado::SinMovimientos);
    sinMovimientos.nombreCompania = "Cuarta";
    sinMovimientos.companiaDestino = "004";

    auto cortado = par("004", 21, ParRevision::Estado::Error);
    cortado.nombreCompania = "Cuarta";
    cortado.companiaDestino = "004";
    cortado.incompleto = true;
    cortado.error = ansi("Revisión interrumpida: el par quedó incompleto.");
    cortado.resumen.registros = cortado.resumen.lineas = 900;
    cortado.resumen.iguales = 674;
    cortado.resumen.diferentes = 127;
    cortado.resumen.noEncontrados = 99;
    cortado.resumen.hallazgos = {hallazgo("FC000710", "310", "No encontrado", true, false, false),
                                 hallazgo("FC000711", "95", "90", false, true, false)};
    cortado.resumen.hallazgosOmitidos = 224;

    r.pares = {igual, faltan, pendiente, duplicados, error, sinMovimientos, cortado};
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
        "<dd>30 min <small>antes de <time datetime=\"2026-12-10T01:58:12\">10/12/2026 01:58:12</time>, reloj "
        "del servidor de origen</small></dd>",
        "<dd>0.01</dd>",
        "<dt>Comparada con la revisión</dt><dd><code>/srv/quorix/autorep/revisiones/20261209-020000</code></dd>",
        "<p class=\"aviso aviso-leve\">No se tuvo en cuenta la revisión /srv/quorix/autorep/revisiones/20261208-020000",
        "<span class=\"palabra cambios\">250 nuevos · 2 persistentes · 1 resuelto</span>",
        "Frente a la revisión anterior: 250 nuevos · 2 persistentes · 1 resuelto.",
        "<span class=\"etiqueta etiqueta-noencontrado\">no encontrado</span><span class=\"etiqueta "
        "etiqueta-persistente\">persistente</span>",
        "Hay pares que no se pudieron revisar",
        "7 pares revisados: 1 igual con tolerancia de 0.01, 2 con diferencias, 1 con pendientes, 1 sin movimientos, "
        "1 con error, 1 incompleto.",
        "<th scope=\"col\">Tipo 1</th><th scope=\"col\">Tipo 21</th><th scope=\"col\">Tipo 31</th>",
        "<span class=\"nombre\">Comercial Andina S.A.</span><span class=\"destino\">→ destino 101</span>",
        "<span title=\"14\u202f102 líneas del reporte\">14\u202f102 líneas</span>",
        "<span title=\"2 diferentes\">≠ 2</span><span title=\"250 no encontrados\">✗ 250</span>",
        "<span title=\"4 pendientes\">◷ 4</span>",
        "<span title=\"2 duplicados\">❐ 2</span>",
        "<td class=\"num\">1523400.75</td><td class=\"num\">1498210<span class=\"inexacto\">(inexacto)</span></td>",
        "<span class=\"codigo\">004</span> · 1<span class=\"palabra\">Sin movimientos</span>",
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
        const char* estado;
        const char* enlace;  // nullptr: the cell links nowhere
    } casos[] = {
        {"par-001-1", "igual", "Igual", nullptr},
        {"par-001-21", "diferencias", "Diferencias", "#detalle-001-21"},
        {"par-001-31", "pendiente", "Pendiente", nullptr},
        {"par-002-1", "diferencias", "Diferencias", "#detalle-002-1"},
        {"par-002-31", "error", "Error", "#error-002-31"},
        {"par-004-1", "sinmovimientos", "Sin movimientos", nullptr},
        {"par-004-21", "error incompleto", "Incompleto", "#detalle-004-21"},
    };
    for (const auto& c : casos) {
        const auto inicio = html.find(std::string("<td id=\"") + c.id + "\" class=\"" + c.clase + "\"");
        ASSERT_NE(inicio, std::string::npos) << c.id;
        const std::string celda = html.substr(inicio, html.find("</td>", inicio) - inicio);
        EXPECT_TRUE(contiene(celda, std::string("<span class=\"estado\">") + c.estado + "</span>")) << c.id;
        EXPECT_EQ(contiene(celda, "<a "), c.enlace != nullptr) << c.id;
        if (c.enlace) {
            EXPECT_TRUE(contiene(celda, std::string("href=\"") + c.enlace + "\"")) << c.id;
            EXPECT_TRUE(contiene(html, std::string(" id=\"") + (c.enlace + 1) + "\"")) << c.id << ": no target";
        }
    }
    EXPECT_TRUE(contiene(html, "<td id=\"par-002-31\" class=\"error\" title=\"No se encontró el archivo"));
    EXPECT_FALSE(contiene(html, "par-002-21")) << "a pair that did not run has no cell of its own";
    EXPECT_TRUE(contiene(html, "<td class=\"vacio\"></td>"));
    EXPECT_TRUE(contiene(html, "<span title=\"127 diferentes\">≠ 127</span>")) << "a cut pair counts what it found";
}

TEST(ResumenHtml, DocumentosConDiferencias) {
    auto revision = revisionPrueba();
    revision.pares[3].resumen.hallazgosOmitidos = 1;
    const std::string html = paginaRevision(revision);
    const std::string esperados[] = {
        "<tr><td class=\"codigo\">FC000004</td><td>08/12/2026</td><td class=\"num\">4187.5</td><td class=\"num "
        "ausente\">No encontrado</td><td><span class=\"etiqueta etiqueta-noencontrado\">no encontrado</span><span "
        "class=\"etiqueta etiqueta-persistente\">persistente</span></td></tr>",
        "<td class=\"num\">6275</td><td class=\"num\">6265</td><td><span class=\"etiqueta "
        "etiqueta-diferente\">diferente</span><span class=\"etiqueta etiqueta-nuevo\">nuevo</span></td>",
        "<span class=\"etiqueta etiqueta-noencontrado\">no encontrado</span><span class=\"etiqueta "
        "etiqueta-duplicado\">duplicado</span>",
        "Y 250 documentos más en el reporte <code>/srv/quorix/comparacion21.txt</code>.",
        "Y 1 documento más en el reporte <code>/srv/quorix/comparacion1.txt</code>.",
        // A voucher the destination lacks: its origin debit sum.
        "<td class=\"codigo\">CP000005</td><td>08/12/2026</td><td class=\"num\">12500<span class=\"debe\"",
        // What a cut pair found, beside why it stopped.
        "tipo 21 <span class=\"etiqueta etiqueta-incompleto\">incompleto</span></h3>\n<p class=\"aviso-incompleto\">"
        "Revisión interrumpida: el par quedó incompleto. Lo que sigue es lo que encontró hasta entonces.</p>",
        "<td class=\"codigo\">FC000711</td><td>08/12/2026</td><td class=\"num\">95</td><td class=\"num\">90</td>",
        "Y 224 documentos más en el reporte <code>/srv/quorix/comparacion21.txt</code>.",
        "<p><a href=\"#detalle-004-21\">Lo encontrado hasta la interrupción</a></p>",
    };
    for (const auto& e : esperados) EXPECT_TRUE(contiene(html, e)) << e;
    for (const char* sinDetalle : {"detalle-001-1\"", "detalle-001-31\"", "detalle-002-31\"", "detalle-004-1\""})
        EXPECT_FALSE(contiene(html, sinDetalle)) << sinDetalle;

    revision.pares[1].resumen.hallazgos.clear();
    revision.pares[6].resumen.hallazgos.clear();
    revision.pares[6].resumen.hallazgosOmitidos = 0;
    const std::string sinHallazgos = paginaRevision(revision);
    EXPECT_TRUE(contiene(sinHallazgos, "<p class=\"nota omitidos\">250 documentos en el reporte"));
    EXPECT_TRUE(contiene(sinHallazgos, "hasta entonces: ningún documento con diferencias.</p>"));
}

TEST(ResumenHtml, LosPendientesSeListanYLoNoRevisadoSeCuenta) {
    Revision revision = revisionPrueba();
    auto& pendiente = revision.pares[2].resumen;  // 001/31, pending only
    ASSERT_EQ(revision.pares[2].tipo, 31);
    Hallazgo h = hallazgo("FV00000009", "12", "No encontrado", false, false, false);
    h.pendiente = true;
    // An update not yet replicated: found, with the amounts it had before.
    Hallazgo actualizado = hallazgo("FV00000011", "15", "12", false, true, false);
    actualizado.pendiente = true;
    pendiente.hallazgos = {h, actualizado};
    ParRevision noCorrio = par("003", 21, ParRevision::Estado::Igual);
    noCorrio.nombreCompania = "Tercera";
    revision.sinRevisar = {noCorrio};
    const std::string html = paginaRevision(revision);
    EXPECT_TRUE(contiene(html, "id=\"detalle-001-31\"")) << "what a pending pair excuses is shown";
    EXPECT_TRUE(contiene(html, "<span class=\"etiqueta etiqueta-pendiente\">pendiente</span>"));
    EXPECT_TRUE(contiene(html, "Tercera")) << "a company a stop left out keeps its row";
    EXPECT_TRUE(contiene(html, " de 8 pares revisados")) << "how many of the pairs planned ran";
    EXPECT_TRUE(contiene(html, "<td class=\"codigo\">FV00000011</td><td>08/12/2026</td><td class=\"num\">15</td><td "
                               "class=\"num\">12</td><td><span class=\"etiqueta etiqueta-pendiente\">pendiente</span><span "
                               "class=\"etiqueta etiqueta-distinto\">importe aún distinto</span></td>"))
        << "a pending update shows both amounts and is not labelled different";
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
    for (const char* color : {"#d8f3dc", "#f8d0c8", "#fff1b8", "#d9d9d9", "#dbe8f6"}) {
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
        bool sinPares;
        int margen;
        const char* tolerancia;
        const char* mensaje;
        std::string veredicto;
        std::vector<std::string> ademas;
    } casos[] = {
        {0, false, false, 0, "0", "", "<p class=\"veredicto veredicto-igual\"><strong>La réplica está completa</strong>",
         {"7 pares revisados: 1 igual, "}},
        {0, false, false, 0, "0.01", "", "<strong>La réplica está completa</strong> <span>7 pares revisados: 1 igual con "
                                         "tolerancia de 0.01,",
         {"Igual: todo está en la réplica con el mismo importe (iguales con tolerancia de 0.01)</li>"}},
        {1, false, false, 30, "0.01", "", "<p class=\"veredicto veredicto-diferencias\"><strong>Hay diferencias</strong>",
         {}},
        {2, false, false, 0, "0", "", "<strong>Hay pares que no se pudieron revisar</strong>", {}},
        {2, false, true, 0, "0", "No había nada que revisar: ninguna compañía ni tipo formó un par.",
         "<p class=\"veredicto veredicto-error\"><strong>No se revisó ningún par</strong> <span>0 pares revisados.</span> "
         "<span class=\"motivo\">No había nada que revisar: ninguna compañía ni tipo formó un par.</span></p>",
         {"<p class=\"nota\">No se revisó ningún par.</p>"}},
        {3, false, false, 0, "0",
         "No se encontró ninguna fila de auditoría del 01/12/2026 al 31/12/2026: no se comparó ningún documento.",
         "<p class=\"veredicto veredicto-sinmovimientos\"><strong>No se encontró ninguna fila de auditoría en el "
         "rango</strong>",
         {"<span class=\"motivo\">No se encontró ninguna fila de auditoría del 01/12/2026 al 31/12/2026: no se comparó "
          "ningún documento.</span>"}},
        {130, true, false, 0, "0",
         "", "<p class=\"veredicto veredicto-interrumpida\"><strong>Revisión interrumpida</strong>", {}},
    };
    for (const auto& c : casos) {
        auto revision = revisionPrueba();
        revision.estadoSalida = c.estadoSalida;
        revision.interrumpida = c.interrumpida;
        if (c.sinPares) revision.pares.clear();
        revision.margenMinutos = c.margen;
        revision.tolerancia = *Decimal::leer(c.tolerancia);
        revision.mensaje = ansi(c.mensaje);
        const std::string html = paginaRevision(revision);
        EXPECT_TRUE(contiene(html, c.veredicto)) << c.estadoSalida;
        for (const auto& e : c.ademas) EXPECT_TRUE(contiene(html, e)) << c.estadoSalida << ": " << e;
        // Nothing but a revision that compared and found all equal says so.
        EXPECT_EQ(contiene(html, "La réplica está completa"), c.estadoSalida == 0) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "solo los pares que llegaron a revisarse"), c.interrumpida) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "Margen de pendientes"), c.margen != 0) << c.estadoSalida;
        EXPECT_EQ(contiene(html, "Tolerancia de importes"), std::string(c.tolerancia) != "0") << c.estadoSalida;
        EXPECT_EQ(contiene(html, "con tolerancia de"), std::string(c.tolerancia) != "0") << c.estadoSalida;
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

// All eleven types with a rule for two companies, with counts as wide as a
// large run gives and a long name: the widest matrix a revision draws.
Revision revisionOnceTipos() {
    Revision r = revisionPrueba();
    r.pares.clear();
    const ParRevision::Estado estados[] = {ParRevision::Estado::Igual, ParRevision::Estado::Diferencias,
                                           ParRevision::Estado::SinMovimientos, ParRevision::Estado::Error};
    std::size_t i = 0;
    for (const char* compania : {"001", "002"})
        for (auto tipo : tiposConRegla()) {
            auto p = par(compania, tipo, estados[i++ % std::size(estados)]);
            p.nombreCompania = ansi("Distribuidora Farmacéutica Internacional del Pacífico S.A.");
            auto& res = p.resumen;
            if (p.estado == ParRevision::Estado::Error) {
                p.error = ansi("No se pudo conectar con la base de datos de destino /srv/datos/replica/quorix.fdb");
            } else if (p.estado != ParRevision::Estado::SinMovimientos) {
                res.registros = res.lineas = 1234567;
                res.diferentes = p.estado == ParRevision::Estado::Diferencias ? 12345 : 0;
                res.noEncontrados = res.diferentes;
                res.pendientes = res.duplicados = res.diferentes ? 999 : 0;
            }
            r.pares.push_back(p);
        }
    return r;
}

// Measures the pages from outside, since they carry no script of their own:
// each cell's computed background at 1200 px, what scrolls sideways with the
// eleven types at 1280 px and with the documents at 400 px, and the words of
// company names that a line break splits.
const char* envoltorio = R"(<!DOCTYPE html>
<html><body><pre id="medidas">sin cargar</pre>
<iframe id="pagina" src="resumen.html" style="border:0;width:1200px;height:1600px"></iframe>
<iframe id="ancha" src="once.html" style="border:0;width:1280px;height:900px"></iframe>
<iframe id="angosta" src="resumen.html" style="border:0;width:400px;height:900px"></iframe>
<iframe id="angosta-once" src="once.html" style="border:0;width:400px;height:900px"></iframe>
<script>
window.addEventListener('load', () => {
  const salida = document.getElementById('medidas');
  const doc = id => document.getElementById(id).contentDocument;
  if (!doc('pagina') || !doc('ancha') || !doc('angosta') || !doc('angosta-once')) { salida.textContent = 'sin acceso a la página'; return; }
  const fondos = ['par-001-1', 'par-001-21', 'par-001-31', 'par-002-1', 'par-002-31', 'par-004-1', 'par-004-21'].map(id => {
    const celda = doc('pagina').getElementById(id);
    return id + '=' + (celda ? doc('pagina').defaultView.getComputedStyle(celda).backgroundColor : 'ausente');
  });
  const sobra = e => e.scrollWidth - e.clientWidth;
  const ancha = doc('ancha'), angosta = doc('angosta');
  const partidas = [];
  for (const d of [ancha, angosta, doc('angosta-once')])
    for (const nombre of d.querySelectorAll('.nombre')) {
      const texto = nombre.firstChild;
      if (!texto) continue;
      for (const m of texto.data.matchAll(/\S+/g)) {
        const rango = d.createRange();
        rango.setStart(texto, m.index);
        rango.setEnd(texto, m.index + m[0].length);
        if (rango.getClientRects().length > 1) partidas.push(m[0]);
      }
    }
  const filas = [...angosta.querySelectorAll('.hallazgos tbody tr')];
  salida.textContent = fondos.concat([
    'pagina-1280=' + sobra(ancha.documentElement),
    'matriz-1280=' + sobra(ancha.querySelector('.matriz').parentElement),
    'celdas-1280=' + [...ancha.querySelectorAll('.matriz th, .matriz td')].filter(c => sobra(c) > 0).length,
    'pagina-400=' + sobra(angosta.documentElement),
    'documentos-400=' + Math.max(...[...angosta.querySelectorAll('.hallazgos')].map(t => sobra(t.parentElement))),
    'filas-400=' + filas.length,
    'apiladas-400=' + filas.filter(f => angosta.defaultView.getComputedStyle(f).display === 'block').length,
    'partidas=' + partidas.join(' ') + ';',
  ]).join('\n');
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
    std::ofstream(carpeta.ruta() / "once.html", std::ios::binary) << paginaRevision(revisionOnceTipos());
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
    for (const char* fondo : {"#D8F3DC", "#F8D0C8", "#FFF1B8", "#D9D9D9", "#DBE8F6"})
        EXPECT_TRUE(contiene(colores, fondo)) << fondo << " no aparece en la captura";

    const std::string dom = salidaDe(chromium(carpeta.ruta(), "perfil-dom",
                                              "--allow-file-access-from-files --virtual-time-budget=5000 --dump-dom 'file://" +
                                                  (carpeta.ruta() / "envoltorio.html").string() + "'"),
                                     estado);
    ASSERT_EQ(estado, 0) << diagnostico();
    const auto desde = dom.find("<pre id=\"medidas\">"), hasta = dom.find("</pre>");
    ASSERT_TRUE(desde != std::string::npos && hasta != std::string::npos && desde < hasta) << dom;
    const auto inicio = desde + std::strlen("<pre id=\"medidas\">");
    const std::string texto = dom.substr(inicio, hasta - inicio);
    std::map<std::string, std::string> medidas;
    const std::regex linea(R"(([a-z0-9-]+)=([^\n]*))");
    for (std::sregex_iterator i(texto.begin(), texto.end(), linea), fin; i != fin; ++i) medidas[(*i)[1]] = (*i)[2];
    const std::map<std::string, std::string> esperadas = {
        {"par-001-1", "rgb(216, 243, 220)"},   // igual
        {"par-001-21", "rgb(248, 208, 200)"},  // missing and different documents
        {"par-001-31", "rgb(255, 241, 184)"},  // pending only
        {"par-002-1", "rgb(248, 208, 200)"},   // duplicates
        {"par-002-31", "rgb(217, 217, 217)"},  // error
        {"par-004-1", "rgb(219, 232, 246)"},   // without audit rows
        {"par-004-21", "rgb(217, 217, 217)"},  // cut short
        {"pagina-1280", "0"},                  // eleven types fit a 1280 px screen
        {"matriz-1280", "0"},
        {"celdas-1280", "0"},                  // and nothing spills out of its cell
        {"pagina-400", "0"},                   // a phone scrolls the page down, never sideways
        {"documentos-400", "0"},
        {"filas-400", "7"},
        {"apiladas-400", "7"},                 // each document a block of its own
        {"partidas", ";"},                     // names wrap between words
    };
    for (const auto& [medida, valor] : esperadas) EXPECT_EQ(medidas[medida], valor) << medida << "\n" << texto;
}

}  // namespace
