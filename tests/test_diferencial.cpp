// The batched run against the row-by-row reference, over randomized
// fixtures: every type, documents missing on either side, duplicated in the
// destination, quotes, commas and high bytes in codes, NULL amounts and sums,
// several audit rows per document. Both must write the same bytes and the
// same summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <regex>

#include "bench/proxy_retardo.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

class Generador {
public:
    explicit Generador(unsigned semilla) : azar_(semilla) {}
    int entre(int a, int b) { return std::uniform_int_distribution<int>(a, b)(azar_); }
    bool probable(int porCiento) { return entre(1, 100) <= porCiento; }
    std::string monto() {
        if (probable(8)) return "NULL";
        const int centavos = entre(-50000, 500000);
        return std::to_string(centavos / 100) + "." + std::to_string(std::abs(centavos % 100) / 10) +
               std::to_string(std::abs(centavos % 10));
    }
    std::string prefijo() {
        static const char* prefijos[] = {"AB", "A'B", "", "C,D", "\xD1O", "ZZZZ", "x"};
        return prefijos[entre(0, 6)];
    }
    std::string numero(int ancho) {
        std::string n = std::to_string(entre(1, 999999));
        if (probable(80)) n = std::string(static_cast<std::size_t>(std::max(0, ancho - static_cast<int>(n.size()))), '0') + n;
        return n;
    }

private:
    std::mt19937 azar_;
};

void llenarAlAzar(Escenario& e, unsigned semilla) {
    Generador g(semilla);
    std::vector<std::string> origen, destino;
    long idDestino = 100000;
    auto auditar = [&](int tipo, long id, const std::string& codigo) {
        for (int k = g.entre(1, 3); k > 0; --k)
            e.auditar("2016-10-" + std::to_string(g.entre(10, 28)), "0" + std::to_string(g.entre(0, 9)) + ":00:00", tipo, id,
                      g.probable(90) ? (g.probable(60) ? 'I' : 'U') : 'D', codigo);
    };
    for (int tipo : {21, 31, 41, 42, 51, 52, 61, 62}) {
        const auto& t = prueba::tablaImporte(tipo);
        for (long id = 1; id <= 25; ++id) {
            const std::string pre = g.prefijo(), num = g.numero(static_cast<int>(t.ancho));
            const std::string monto = g.monto();
            if (g.probable(90)) origen.push_back(Escenario::documento(tipo, id, pre, num, monto));
            if (g.probable(75)) destino.push_back(Escenario::documento(tipo, ++idDestino, pre, num, g.probable(70) ? monto : g.monto()));
            if (g.probable(10)) destino.push_back(Escenario::documento(tipo, ++idDestino, pre, num, g.monto()));
            auditar(tipo, id, pre + num);
        }
    }
    for (int tipo : {11, 13}) {
        for (long id = 1; id <= 25; ++id) {
            const std::string pre = g.prefijo(), num = g.numero(6);
            std::vector<std::string> montos;
            for (int k = g.entre(0, 3); k > 0; --k) montos.push_back(g.monto());
            if (g.probable(90))
                for (auto& s : Escenario::conDetalle(tipo, id, pre, num, montos)) origen.push_back(s);
            for (int copias = g.probable(75) ? (g.probable(15) ? 2 : 1) : 0; copias > 0; --copias) {
                std::vector<std::string> otros = g.probable(70) ? montos : std::vector<std::string>{g.monto()};
                for (auto& s : Escenario::conDetalle(tipo, ++idDestino, pre, num, otros)) destino.push_back(s);
            }
            auditar(tipo, id, pre + num);
        }
    }
    for (long id = 1; id <= 25; ++id) {
        const std::string tico = g.probable(50) ? "CD" : "N'C", pre = g.prefijo(), num = g.numero(6);
        std::vector<std::pair<std::string, std::string>> lineas;
        for (int k = g.entre(0, 3); k > 0; --k) lineas.emplace_back(g.monto(), g.monto());
        if (g.probable(90))
            for (auto& s : Escenario::comprobante(id, tico, pre, num, lineas)) origen.push_back(s);
        for (int copias = g.probable(75) ? (g.probable(15) ? 2 : 1) : 0; copias > 0; --copias) {
            auto otras = g.probable(70) ? lineas : std::vector<std::pair<std::string, std::string>>{{g.monto(), g.monto()}};
            for (auto& s : Escenario::comprobante(++idDestino, tico, pre, num, otras)) destino.push_back(s);
        }
        auditar(1, id, "CP" + num);
    }
    // A type without a rule: its rows are walked, nothing is looked up.
    for (long id = 1; id <= 10; ++id) auditar(2, id, "XX" + g.numero(6));
    e.enOrigen(origen);
    e.enDestino(destino);
}

TEST(Diferencial, LotesYFilaAFilaEscribenLosMismosBytes) {
    for (unsigned semilla : {1u, 2u, 3u}) {
        Escenario e;
        llenarAlAzar(e, semilla);
        const std::string referencia = e.dir.str() + "/referencia", lotes = e.dir.str() + "/lotes";
        fs::create_directories(referencia);
        fs::create_directories(lotes);
        for (const char* tipo : {"1", "11", "13", "21", "31", "41", "42", "51", "52", "61", "62"}) {
            auto correr = [&](const std::string& dir, bool filaAFila) {
                std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                              "--destino", e.servidorDestino(), "--compania-destino", "002", "--tipo", tipo,
                                              "--desde", "2016-10-01", "--hasta", "2016-10-31", "--directorio", dir};
                a.push_back("--estadisticas");
                if (filaAFila) a.push_back("--fila-a-fila");
                return prueba::correrLote(a, {{"AUTOREP_REGISTRO", "/nonexistent"}});
            };
            const auto r = correr(referencia, true);
            const auto l = correr(lotes, false);
            const std::string archivo = std::string("/comparacion") + tipo + ".txt";
            ASSERT_NE(r.estado, 2) << "semilla " << semilla << " tipo " << tipo << ": " << r.error;
            EXPECT_EQ(l.estado, r.estado) << "semilla " << semilla << " tipo " << tipo << ": " << l.error;
            auto sinRuta = [](const std::string& s) { return s.substr(0, s.find("reporte: ")); };
            EXPECT_EQ(sinRuta(l.salida), sinRuta(r.salida)) << "semilla " << semilla << " tipo " << tipo;
            EXPECT_EQ(prueba::contenido(lotes + archivo), prueba::contenido(referencia + archivo))
                << "semilla " << semilla << " tipo " << tipo;
            EXPECT_FALSE(prueba::contenido(referencia + archivo).empty()) << "semilla " << semilla << " tipo " << tipo;
            // The batched run really ran in batches: it never falls back to a statement per row here.
            auto sentencias = [](const std::string& error) {
                const auto p = error.find("sentencias: ");
                return p == std::string::npos ? -1L : std::stol(error.substr(p + 12));
            };
            EXPECT_LE(sentencias(l.error), 10) << "semilla " << semilla << " tipo " << tipo << ": " << l.error;
            EXPECT_GT(sentencias(r.error), 20) << "semilla " << semilla << " tipo " << tipo;
        }

        // A revision counts more (duplicates, the tolerance, the headers of
        // types 11 and 13): both ways count alike, and its reports are the
        // single runs' bytes.
        auto revisar = [&](const std::string& dir, bool filaAFila) {
            std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                          "--destino", e.servidorDestino(), "--compania-destino", "002", "--tipo", "todos",
                                          "--desde", "2016-10-01", "--hasta", "2016-10-31", "--directorio", dir,
                                          "--revision", dir + "/revision", "--tolerancia", "0.5"};
            if (filaAFila) a.push_back("--fila-a-fila");
            const auto r = prueba::correrLote(a, {{"AUTOREP_REGISTRO", "/nonexistent"}});
            EXPECT_NE(r.estado, 2) << "semilla " << semilla << ": " << r.error;
            auto j = nlohmann::json::parse(prueba::contenido(dir + "/revision/resumen.json"));
            for (auto& par : j["resultados"]) {
                par.erase("segundos");
                par.erase("reporte");
            }
            return j["resultados"];
        };
        const auto porReferencia = revisar(referencia, true);
        const auto porLotes = revisar(lotes, false);
        EXPECT_EQ(porLotes, porReferencia) << "semilla " << semilla;
        int duplicados = 0, pendientesOFaltantes = 0;
        for (const auto& par : porReferencia) {
            duplicados += par["duplicados"].get<int>();
            pendientesOFaltantes += par["no_encontrados"].get<int>();
            const std::string archivo = "/comparacion" + std::to_string(par["tipo"].get<int>()) + ".txt";
            EXPECT_EQ(prueba::contenido(lotes + "/revision/001" + archivo), prueba::contenido(referencia + archivo))
                << "semilla " << semilla << " " << archivo;
        }
        EXPECT_GT(duplicados, 0) << "the fixture holds duplicates";
        EXPECT_GT(pendientesOFaltantes, 0);
    }
}

}  // namespace

// Schema variants that change what "equal" and "the first row" mean to the
// database: blank-padded and case-insensitive keys, integer numbers compared
// with quoted texts, floating and four-decimal amounts, NULL keys, duplicated
// ids and keys, ties in the audit's order, audit ids and codes the batches
// cannot carry, database errors amid a run, and a run far longer than a
// batch. Each variant runs some types alone and every type in a revision,
// both ways, and both must write, print, count and fail alike.
namespace {

using prueba::Columna;

// What the generated documents hold beyond the plain fixture.
struct Datos {
    // The destination stores some prefixes and voucher types in the other
    // letter case, and some audit codes come in it too.
    bool mayusculas = false;
    // Numbers an integer column reads: always as wide as the type's number,
    // some beginning with a blank instead of a zero.
    bool enteros = false;
    // The document of this id (types 21, 11 and 1) has a number that is not
    // a number: an integer column on the destination cannot compare it.
    long noNumerico = 0;
    // The same for a type 21 document gone from the origin: the rule never
    // looks its number up, a batch that asks for it fails.
    long noNumericoAusente = 0;
    // Four decimals, floating expressions, and detail sums whose floating
    // result depends on the order of the addition.
    bool decimales = false;
    // NULL prefixes and numbers on the destination (beside empty ones), NULL
    // audit codes and times.
    bool nulos = false;
    // Types whose origin table has no key: some ids are there twice.
    std::vector<int> duplicadosOrigen = {};
    // Percent of destination documents that have a second copy.
    int duplicadosDestino = 10;
    // Audit ids written as SQL reads them but not as plain integers ("07",
    // " 8", "0x0B", "(12)", "13+1"): the audit id column is text.
    bool idsTexto = false;
    // A type whose audit holds a row without a document id.
    int idNulo = 0;
    // Type 21's origin ids are text (FACO_ID VARCHAR): every audited
    // document is there with an amount, and after them a row whose id is not
    // a number, which the rule's comparison with a bare integer meets when it
    // reads the rows its query yields.
    bool idOrigenNoNumerico = false;
    // Some audit codes longer than a batch carries in one value (the audit
    // code column is widened for them).
    bool codigosLargos = false;
    // The document of this id (types 11 and 1) has detail lines whose sum
    // overflows NUMERIC(18,2): the rule of type 11 fails at its row, the
    // voucher's rule never sums it because the destination lacks it.
    long sumaDesbordada = 0;
    // The destination holds that voucher too, with sums that do not
    // overflow: its rule fails at its row, on the origin's sum.
    bool desbordadaEnDestino = false;
};

struct Redefinicion {
    bool destino;
    const char* tabla;
    std::vector<Columna> columnas;
};

struct Variante;
using Llenado = void (*)(Escenario&, const Variante&, unsigned);

struct Variante {
    const char* nombre;
    std::vector<Redefinicion> esquema;
    Datos datos;
    // Single runs of these types; the revision reviews `revision`.
    std::vector<const char*> tipos;
    const char* revision = "todos";
    // Types whose reference stops at a database error.
    std::vector<std::string> fallan = {};
    // Whether the batched run keeps to batches (a few statements) on the
    // types that do not fail, and how few.
    bool porLotes = true;
    long maximoSentencias = 10;
    Llenado llenar = nullptr;
    std::vector<unsigned> semillas = {11};
    // Both runs go through the loopback server, the batched one reaching
    // the destination through the delaying proxy, which cuts the first lookup
    // connection (its second) at this round trip.
    std::uint64_t corte = 0;
};

std::string otraCaja(std::string s) {
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 32);
        else if (u >= 'A' && u <= 'Z') c = static_cast<char>(u + 32);
        else if (u == 0xD1) c = static_cast<char>(0xF1);
        else if (u == 0xF1) c = static_cast<char>(0xD1);
    }
    return s;
}

class GeneradorVariante {
public:
    GeneradorVariante(unsigned semilla, const Datos& d) : g(semilla), d_(d) {}
    Generador g;

    std::string prefijo() {
        static const char* prefijos[] = {"AB", "A'B", "", "C,D", "\xD1O", "ZZZZ", "x", "AB ", "ab"};
        return prefijos[g.entre(0, 8)];
    }
    std::string numero(std::size_t ancho) {
        std::string n = g.numero(static_cast<int>(ancho));
        if (!d_.enteros) return n;
        n.insert(0, ancho - std::min(ancho, n.size()), '0');
        if (n[0] == '0' && g.probable(30)) n[0] = ' ';
        return n;
    }
    std::string monto() {
        if (!d_.decimales) return g.monto();
        if (g.probable(8)) return "NULL";
        if (g.probable(20)) {
            static const char* raros[] = {"(0.1e0 + 0.2e0)", "(1e0 / 3)", "-0.0001", "123456789012.3456", "(2e0 / 3)",
                                          "0.00005"};
            return raros[g.entre(0, 5)];
        }
        const int v = g.entre(-5000000, 50000000);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s%d.%04d", v < 0 ? "-" : "", std::abs(v) / 10000, std::abs(v) % 10000);
        return buf;
    }
    // Detail amounts, some whose floating sum changes with the order of the lines.
    std::vector<std::string> montos(bool sumaSensible) {
        if (sumaSensible && d_.decimales && g.probable(30)) {
            std::vector<std::string> m = {"1e16", "1.5", "-1e16", "0.25", "3"};
            for (std::size_t i = m.size() - 1; i > 0; --i)
                std::swap(m[i], m[static_cast<std::size_t>(g.entre(0, static_cast<int>(i)))]);
            return m;
        }
        std::vector<std::string> m;
        for (int k = g.entre(0, 3); k > 0; --k) m.push_back(monto());
        return m;
    }
    std::string idAuditado(long id) {
        if (!d_.idsTexto || g.probable(40)) return std::to_string(id);
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%lX", static_cast<unsigned long>(id));
        const std::string n = std::to_string(id);
        const std::string formas[] = {"0" + n, " " + n, n + " ", "+" + n, hex, "(" + n + ")", std::to_string(id - 1) + "+1"};
        return formas[g.entre(0, 6)];
    }
    // The ids of the copies of one destination document, in the order they
    // are inserted: often the later id first, so that the first row found is
    // not the least id.
    std::vector<long> copias(long& idDestino) {
        std::vector<long> ids;
        for (int c = g.probable(75) ? (g.probable(d_.duplicadosDestino) ? 2 : 1) : 0; c > 0; --c) ids.push_back(++idDestino);
        if (g.probable(50)) std::reverse(ids.begin(), ids.end());
        return ids;
    }

private:
    const Datos& d_;
};

bool en(const std::vector<int>& tipos, int tipo) { return std::find(tipos.begin(), tipos.end(), tipo) != tipos.end(); }

void llenarVariante(Escenario& e, const Variante& v, unsigned semilla) {
    const Datos& d = v.datos;
    GeneradorVariante gv(semilla, d);
    Generador& g = gv.g;
    std::vector<std::string> origen, destino, auditorias;
    long idDestino = 100000;
    auto dia = [&] { return "2016-10-" + std::to_string(g.entre(10, 28)); };
    auto hora = [&] { return "0" + std::to_string(g.entre(0, 9)) + ":00:00"; };
    // One to three audit rows of a document: some at the very moment of the
    // first (ties in the audit's order), some with the code of another
    // document of the type (a renumbered document).
    auto auditar = [&](int tipo, long id, std::optional<std::string> codigo, const std::vector<std::string>& otros) {
        if (d.nulos && g.probable(8)) codigo.reset();
        std::string fecha = dia(), h = hora();
        for (int k = 0, n = g.entre(1, 3); k < n; ++k) {
            if (k > 0 && !g.probable(40)) fecha = dia(), h = hora();
            std::optional<std::string> c = codigo;
            if (k > 0 && !otros.empty() && g.probable(35))
                c = otros[static_cast<std::size_t>(g.entre(0, static_cast<int>(otros.size()) - 1))];
            if (c && d.mayusculas && g.probable(30)) c = otraCaja(*c);
            if (c && d.codigosLargos && g.probable(10)) c = std::string(90, 'Q') + *c;
            const std::optional<std::string> momento = d.nulos && g.probable(5) ? std::nullopt : std::optional(h);
            auditorias.push_back(e.auditoria(fecha, momento, tipo, gv.idAuditado(id),
                                             g.probable(90) ? (g.probable(60) ? 'I' : 'U') : 'D', c));
        }
    };
    auto enDestino = [&](const std::string& pre) { return d.mayusculas && g.probable(50) ? otraCaja(pre) : pre; };
    // NULL keys on the destination: a document whose prefix or number is
    // NULL, beside the documents whose prefix is empty.
    auto anularClaves = [&](const char* tabla, const char* id, const char* prefijo, const char* numero, long doc,
                            bool prefijoVacio) {
        if (!d.nulos) return;
        const std::string donde = std::string(" WHERE ") + id + " = " + std::to_string(doc);
        if (prefijoVacio ? g.probable(50) : g.probable(10))
            destino.push_back(std::string("UPDATE ") + tabla + " SET " + prefijo + " = NULL" + donde);
        else if (g.probable(10))
            destino.push_back(std::string("UPDATE ") + tabla + " SET " + numero + " = NULL" + donde);
    };

    for (int tipo : {21, 31, 41, 42, 51, 52, 61, 62}) {
        const auto& t = prueba::tablaImporte(tipo);
        std::vector<std::string> codigos;
        for (long id = 1; id <= 25; ++id) {
            const std::string pre = gv.prefijo();
            std::string num = gv.numero(t.ancho);
            const bool falla = tipo == 21 && d.noNumerico == id;
            const bool ausente = tipo == 21 && d.noNumericoAusente == id;
            if (falla || ausente) num[0] = 'X';
            const bool todos = tipo == 21 && d.idOrigenNoNumerico;
            std::string monto = gv.monto();
            while (todos && monto == "NULL") monto = gv.monto();
            if (!ausente && (falla || todos || g.probable(90)))
                origen.push_back(Escenario::documento(tipo, id, pre, num, monto));
            if (en(d.duplicadosOrigen, tipo) && g.probable(30))
                origen.push_back(Escenario::documento(tipo, id, gv.prefijo(), gv.numero(t.ancho), gv.monto()));
            if (!falla && !ausente) {
                const std::string preDestino = enDestino(pre);
                if (d.nulos && g.probable(25)) {
                    destino.push_back(Escenario::documento(tipo, ++idDestino, preDestino, num, gv.monto()));
                    anularClaves(t.tabla, t.id, "PREF_PRE", t.numero, idDestino, pre.empty());
                }
                bool primera = true;
                for (long idd : gv.copias(idDestino)) {
                    destino.push_back(Escenario::documento(tipo, idd, preDestino, num,
                                                           primera && g.probable(70) ? monto : gv.monto()));
                    primera = false;
                }
            }
            auditar(tipo, id, pre + num, codigos);
            codigos.push_back(pre + num);
        }
        if (tipo == 21 && d.idOrigenNoNumerico)
            origen.push_back("INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO, FACO_TOTAL) VALUES ('x', 'AB', '000001', 1)");
    }
    for (int tipo : {11, 13}) {
        std::vector<std::string> codigos;
        for (long id = 1; id <= 25; ++id) {
            const std::string pre = gv.prefijo();
            std::string num = gv.numero(6);
            const bool falla = tipo == 11 && d.noNumerico == id;
            if (falla) num[0] = 'X';
            const bool desborda = tipo == 11 && d.sumaDesbordada == id;
            const auto montos = desborda ? std::vector<std::string>{"60000000000000000", "60000000000000000"}
                                         : gv.montos(tipo == 11);
            if (falla || desborda || g.probable(90))
                for (auto& s : Escenario::conDetalle(tipo, id, pre, num, montos)) origen.push_back(s);
            if (!falla) {
                const std::string preDestino = enDestino(pre);
                bool primera = true;
                for (long idd : gv.copias(idDestino)) {
                    const auto otros = primera && g.probable(70) ? montos : gv.montos(tipo == 11);
                    for (auto& s : Escenario::conDetalle(tipo, idd, preDestino, num, otros)) destino.push_back(s);
                    if (primera && tipo == 11) anularClaves("ENTRADAS", "ENTR_ID", "PREF_PRE", "ENTR_NUMERO", idd, pre.empty());
                    primera = false;
                }
            }
            auditar(tipo, id, pre + num, codigos);
            codigos.push_back(pre + num);
        }
    }
    {
        std::vector<std::string> codigos;
        for (long id = 1; id <= 25; ++id) {
            const std::string tico = g.probable(50) ? "CD" : "N'C", pre = gv.prefijo();
            std::string num = gv.numero(6);
            const bool falla = d.noNumerico == id;
            if (falla) num[0] = 'X';
            const bool desborda = d.sumaDesbordada == id;
            std::vector<std::pair<std::string, std::string>> lineas;
            for (int k = g.entre(0, 3); k > 0; --k) lineas.emplace_back(gv.monto(), gv.monto());
            if (desborda) lineas = {{"60000000000000000", "0"}, {"60000000000000000", "0"}};
            if (falla || desborda || g.probable(90)) {
                for (auto& s : Escenario::comprobante(id, tico, pre, num, lineas)) origen.push_back(s);
                if (d.nulos && g.probable(15))
                    origen.push_back("UPDATE COMPROBANTE_ENCABEZADO SET PRCO_PREF = NULL WHERE ENCO_CONSEC = " + std::to_string(id));
            }
            if (en(d.duplicadosOrigen, 1) && g.probable(30))
                for (auto& s : Escenario::comprobante(id, g.probable(50) ? "CD" : "N'C", gv.prefijo(), gv.numero(6),
                                                      {{gv.monto(), gv.monto()}}))
                    origen.push_back(s);
            if (!falla && (!desborda || d.desbordadaEnDestino)) {
                const std::string ticoDestino = enDestino(tico), preDestino = enDestino(pre);
                bool primera = true;
                for (long idd : gv.copias(idDestino)) {
                    // The destination's copy of the overflowing voucher sums well.
                    auto otras = primera && g.probable(70) && !desborda
                                     ? lineas
                                     : std::vector<std::pair<std::string, std::string>>{{gv.monto(), gv.monto()}};
                    for (auto& s : Escenario::comprobante(idd, ticoDestino, preDestino, num, otras)) destino.push_back(s);
                    if (primera)
                        anularClaves("COMPROBANTE_ENCABEZADO", "ENCO_CONSEC", "PRCO_PREF", "ENCO_NUMERO", idd, pre.empty());
                    primera = false;
                }
            }
            auditar(1, id, "CP" + num, codigos);
            codigos.push_back("CP" + num);
        }
    }
    // A type without a rule: its rows are walked, nothing is looked up.
    for (long id = 1; id <= 10; ++id) auditar(2, id, "XX" + g.numero(6), {});
    if (d.idNulo) auditorias.push_back(e.auditoria("2016-10-15", "08:00:00", d.idNulo, std::nullopt, 'I', "AB000001"));
    e.enOrigen(origen);
    e.enDestino(destino);
    e.enOrigen(auditorias);
}

// About twelve thousand audit rows of type 21, far more than one batch:
// documents gone from the origin or missing from the destination, other
// amounts, a second destination copy inserted before the document with a
// higher id and another amount, codes in lower case, a code audited again
// far later, and every tenth document audited twice at the same moment with
// two codes. With `noNumerico`, that document's number is not a number.
void llenarMasivo(Escenario& e, const Variante& v, unsigned) {
    const std::string n = "11000";
    const std::string columnas =
        "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD, "
        "AUDI_ENVIO) VALUES ";
    e.enOrigen({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; DECLARE A INTEGER = 1; DECLARE C VARCHAR(20); "
                "DECLARE F DATE; DECLARE H TIME; BEGIN WHILE (I <= " + n + ") DO BEGIN "
                "C = IIF(MOD(I, 41) = 0 AND I > 7000, 'FC' || LPAD(I - 7000, 6, '0'), "
                "IIF(MOD(I, 53) = 0, 'fc', 'FC') || LPAD(I, 6, '0')); "
                "IF (I = " + std::to_string(v.datos.noNumerico) + ") THEN C = 'FCX' || LPAD(I, 5, '0'); "
                "F = DATEADD(MOD(I, 31) DAY TO DATE '2016-10-01'); H = DATEADD(MOD(I, 3) HOUR TO TIME '08:00:00'); " +
                columnas + "(:A, 'ADMIN', :F, :H, 21, :I, IIF(MOD(:I, 7) = 0, 'U', 'I'), :C, 'N'); A = A + 1; "
                "IF (MOD(I, 10) = 0) THEN BEGIN " + columnas +
                "(:A, 'ADMIN', :F, :H, 21, :I, 'U', 'FC' || LPAD(:I + 1, 6, '0'), 'N'); A = A + 1; END "
                "IF (MOD(I, 50) <> 0) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I, 'FC', LPAD(:I, 6, '0'), :I * 1.25); "
                "I = I + 1; END END"});
    e.enDestino({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= " + n + ") DO BEGIN "
                 "IF (MOD(I, 97) = 0) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I + 300000, 'FC', LPAD(:I, 6, '0'), :I * 1.25 + 7); "
                 "IF (MOD(I, 20) <> 0) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I + 100000, 'FC', LPAD(:I, 6, '0'), "
                 "IIF(MOD(:I, 30) = 0, 1, :I * 1.25)); "
                 "I = I + 1; END END"});
    prueba::refrescarEstadisticas(e);
}

// 3,000 audit rows of a thousand documents, all at the same date and time:
// each document's rows tie in the audit query's order, and the engine's
// sort leaves ties in an order that depends on the columns it carries.
void llenarEmpates(Escenario& e, const Variante&, unsigned) {
    e.enOrigen({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 3000) DO BEGIN "
                "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
                "AUDI_COD, AUDI_ENVIO, AUDI_RAZON) VALUES (:I, 'ADMIN', '2016-10-05', '08:00:00', 21, MOD(:I, 1000) + 1, "
                "IIF(MOD(:I, 3) = 0, 'U', 'I'), 'FC' || LPAD(:I, 6, '0'), 'N', LPAD('', MOD(:I, 200), 'x')); "
                "IF (I <= 1000) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I, 'FC', LPAD(:I, 6, '0'), :I * 1.25); "
                "I = I + 1; END END"});
    e.enDestino({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 3000) DO BEGIN "
                 "IF (MOD(I, 7) <> 0) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I + 100000, 'FC', LPAD(:I, 6, '0'), :I * 1.25); "
                 "I = I + 1; END END"});
    prueba::refrescarEstadisticas(e);
}

// The same ties among vouchers, whose block reads the header without the
// subqueries the plain audit query carries.
void llenarEmpatesComprobante(Escenario& e, const Variante&, unsigned) {
    e.enOrigen({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 3000) DO BEGIN "
                "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
                "AUDI_COD, AUDI_ENVIO, AUDI_RAZON) VALUES (:I, 'ADMIN', '2016-10-05', '08:00:00', 1, MOD(:I, 1000) + 1, "
                "IIF(MOD(:I, 3) = 0, 'U', 'I'), 'CP' || LPAD(:I, 6, '0'), 'N', LPAD('', MOD(:I, 200), 'x')); "
                "IF (I <= 1000) THEN BEGIN "
                "INSERT INTO COMPROBANTE_ENCABEZADO VALUES (:I, 'CD', 'CP', LPAD(:I, 6, '0'), '2016-10-05'); "
                "INSERT INTO COMPROBANTE_DETALLE VALUES (:I, :I, :I * 1.25, :I * 0.5); END "
                "I = I + 1; END END"});
    e.enDestino({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 1000) DO BEGIN "
                 "IF (MOD(I, 7) <> 0) THEN BEGIN "
                 "INSERT INTO COMPROBANTE_ENCABEZADO VALUES (:I + 100000, 'CD', 'CP', LPAD(:I, 6, '0'), '2016-10-05'); "
                 "INSERT INTO COMPROBANTE_DETALLE VALUES (:I + 100000, :I + 100000, :I * 1.25, :I * 0.5); END "
                 "I = I + 1; END END"});
    prueba::refrescarEstadisticas(e);
}

void llenarSinRazon(Escenario& e, const Variante& v, unsigned semilla) {
    e.enOrigen({"ALTER TABLE AUDITORIA DROP AUDI_RAZON"});
    llenarVariante(e, v, semilla);
}

// Twenty-five type 21 documents whose origin amount is computed from the
// number; every tenth id is there twice, the copy after the document with a
// number the amount cannot be computed from.
void llenarCalculado(Escenario& e, const Variante&, unsigned) {
    e.enOrigen({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 25) DO BEGIN "
                "INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (:I, 'FC', LPAD(:I, 6, '0')); "
                "IF (MOD(I, 10) = 0) THEN "
                "INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (:I, 'FC', 'X' || LPAD(:I, 5, '0')); "
                "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
                "AUDI_COD, AUDI_ENVIO) VALUES (:I, 'ADMIN', DATE '2016-10-10', TIME '08:00:00', 21, :I, 'I', "
                "'FC' || LPAD(:I, 6, '0'), 'N'); "
                "I = I + 1; END END"});
    e.enDestino({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 25) DO BEGIN "
                 "INSERT INTO FACTURAS_COMPRA VALUES (:I + 100, 'FC', LPAD(:I, 6, '0'), IIF(MOD(:I, 3) = 0, 1, :I / 100.00)); "
                 "I = I + 1; END END"});
}

// Six thousand type 21 documents whose origin amount is computed from the
// number; document 5001 is there twice, the copy with a number that is no
// number. The audit query fails only after many stretches of lines are out.
void llenarCalculadoTardio(Escenario& e, const Variante&, unsigned) {
    e.enOrigen({"CREATE INDEX FACO_ID_REPETIBLE ON FACTURAS_COMPRA (FACO_ID)",
                "EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 6000) DO BEGIN "
                "INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (:I, 'FC', LPAD(:I, 6, '0')); "
                "IF (I = 5001) THEN "
                "INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (:I, 'FC', 'X' || LPAD(:I, 5, '0')); "
                "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
                "AUDI_COD, AUDI_ENVIO) VALUES (:I, 'ADMIN', DATE '2016-10-10', TIME '08:00:00', 21, :I, 'I', "
                "'FC' || LPAD(:I, 6, '0'), 'N'); "
                "I = I + 1; END END"});
    e.enDestino({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 6000) DO BEGIN "
                 "IF (MOD(I, 7) <> 0) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I + 100000, 'FC', LPAD(:I, 6, '0'), "
                 "IIF(MOD(:I, 3) = 0, 1, :I / 100.00)); "
                 "I = I + 1; END END"});
    prueba::refrescarEstadisticas(e);
}

// Three type 21 documents on both sides; the audit code of the second holds
// a NUL byte, which ends the text of the rule's statement.
void llenarCodigoConNul(Escenario& e, const Variante&, unsigned) {
    std::vector<std::string> origen, destino;
    for (long id = 1; id <= 3; ++id) {
        const std::string num = "00000" + std::to_string(id);
        origen.push_back(Escenario::documento(21, id, "FC", num, std::to_string(id) + ".50"));
        destino.push_back(Escenario::documento(21, id + 100, "FC", num, std::to_string(id) + ".50"));
        origen.push_back(e.auditoria("2016-10-10", "08:00:00", 21, std::to_string(id), 'I', "FC" + num));
    }
    origen.push_back("UPDATE AUDITORIA SET AUDI_COD = 'FC' || ASCII_CHAR(0) || '000002' WHERE AUDI_IDDOC = 2");
    e.enOrigen(origen);
    e.enDestino(destino);
}

const std::string ci = "CHARACTER SET WIN1252 COLLATE WIN_PTBR";

std::vector<Variante> variantes() {
    return {
        {"char",
         {{true, "FACTURAS_COMPRA", {{"PREF_PRE", "CHAR(10)"}, {"FACO_NUMERO", "CHAR(10)"}}},
          {true, "FACTURAS", {{"PREF_PRE", "CHAR(6)"}, {"FACT_NUMERO", "CHAR(8)"}}},
          {true, "RECIBOS_CAJA", {{"PREF_PRE", "CHAR(4)"}}},
          {true, "ENTRADAS", {{"PREF_PRE", "CHAR(10)"}, {"ENTR_NUMERO", "CHAR(10)"}}},
          {true, "COMPROBANTE_ENCABEZADO", {{"PRCO_PREF", "CHAR(10)"}, {"ENCO_NUMERO", "CHAR(10)"}}},
          {false, "COMPROBANTE_ENCABEZADO", {{"PRCO_PREF", "CHAR(10)"}, {"ENCO_NUMERO", "CHAR(10)"}}},
          {false, "FACTURAS_COMPRA", {{"PREF_PRE", "CHAR(10)"}, {"FACO_NUMERO", "CHAR(10)"}}}},
         {.mayusculas = true},
         {"21", "31", "11", "1"}},
        {"mayusculas-win-ptbr",
         {{true, "FACTURAS_COMPRA", {{"PREF_PRE", "VARCHAR(10) " + ci}}},
          {true, "FACTURAS", {{"PREF_PRE", "CHAR(10) " + ci}}},
          {true, "NOTAS_DEBITO_CLIENTES", {{"PREF_PRE", "VARCHAR(10) " + ci}, {"NDCL_NUMERO", "VARCHAR(10) " + ci}}},
          {true, "ENTRADAS", {{"PREF_PRE", "VARCHAR(10) " + ci}}},
          {true, "COMPROBANTE_ENCABEZADO", {{"TICO_COD", "CHAR(3) " + ci}, {"PRCO_PREF", "VARCHAR(10) " + ci}}}},
         {.mayusculas = true, .duplicadosDestino = 25},
         {"21", "41", "1"}},
        {"numeros-enteros",
         {{true, "FACTURAS_COMPRA", {{"FACO_NUMERO", "INTEGER"}}},
          {true, "FACTURAS", {{"FACT_NUMERO", "BIGINT"}}},
          {true, "RECIBOS_CAJA", {{"RECA_NUMERO", "INTEGER"}}},
          {true, "ENTRADAS", {{"ENTR_NUMERO", "INTEGER"}}},
          {true, "COMPROBANTE_ENCABEZADO", {{"ENCO_NUMERO", "INTEGER"}}},
          {false, "COMPROBANTE_ENCABEZADO", {{"ENCO_NUMERO", "INTEGER"}}}},
         {.enteros = true},
         {"21", "31", "1"}},
        {"numero-no-numerico",
         {{true, "FACTURAS_COMPRA", {{"FACO_NUMERO", "INTEGER"}}},
          {true, "ENTRADAS", {{"ENTR_NUMERO", "INTEGER"}}},
          {true, "COMPROBANTE_ENCABEZADO", {{"ENCO_NUMERO", "INTEGER"}}}},
         {.enteros = true, .noNumerico = 13},
         {"21", "11", "1"},
         "todos",
         {"21", "11", "1"}},
        // A batch meets an error the rule never meets: its rows go row by row.
        {"lote-fallido",
         {{true, "FACTURAS_COMPRA", {{"FACO_NUMERO", "INTEGER"}}}},
         {.enteros = true, .noNumericoAusente = 7},
         {"21"},
         "todos",
         {},
         false},
        {"importes",
         {{false, "FACTURAS_COMPRA", {{"FACO_TOTAL", "DOUBLE PRECISION"}}},
          {true, "FACTURAS_COMPRA", {{"FACO_TOTAL", "NUMERIC(18,4)"}}},
          {false, "FACTURAS", {{"FACT_TOTAL", "NUMERIC(18,4)"}}},
          {true, "FACTURAS", {{"FACT_TOTAL", "DOUBLE PRECISION"}}},
          {false, "RECIBOS_CAJA", {{"RECA_MONTO", "NUMERIC(18,4)"}}},
          {true, "RECIBOS_CAJA", {{"RECA_MONTO", "NUMERIC(18,4)"}}},
          {false, "EGRESOS", {{"EGRE_MONTO", "NUMERIC(18,2)"}}},
          {true, "EGRESOS", {{"EGRE_MONTO", "NUMERIC(18,2)"}}},
          {false, "ENTRADAS_DETALLE", {{"ENDE_TOTAL", "DOUBLE PRECISION"}}},
          {true, "ENTRADAS_DETALLE", {{"ENDE_TOTAL", "DOUBLE PRECISION"}}},
          {false, "COMPROBANTE_DETALLE", {{"CODE_DEBITO", "NUMERIC(18,4)"}, {"CODE_CREDITO", "DOUBLE PRECISION"}}},
          {true, "COMPROBANTE_DETALLE", {{"CODE_DEBITO", "DOUBLE PRECISION"}, {"CODE_CREDITO", "NUMERIC(18,4)"}}}},
         {.decimales = true},
         {"21", "31", "11", "1"}},
        {"nulos-y-claves-largas",
         {{false, "AUDITORIA", {{"AUDI_COD", "VARCHAR(120)"}}}},
         {.nulos = true, .idNulo = 31, .codigosLargos = true},
         {"21", "31", "1"},
         "todos",
         {"31"},
         true,
         40},
        {"duplicados",
         {{false, "FACTURAS_COMPRA", {{"FACO_ID", "INTEGER"}}},
          {false, "FACTURAS", {{"FACT_ID", "INTEGER"}}},
          {false, "RECIBOS_CAJA", {{"RECA_ID", "INTEGER"}}},
          {false, "COMPROBANTE_ENCABEZADO", {{"ENCO_CONSEC", "INTEGER"}}},
          {false, "COMPROBANTE_DETALLE", {{"CODE_ID", "INTEGER"}}}},
         {.duplicadosOrigen = {21, 31, 61, 1}, .duplicadosDestino = 50},
         {"21", "1"}},
        {"ids-de-auditoria-en-texto",
         {{false, "AUDITORIA", {{"AUDI_IDDOC", "VARCHAR(20)"}}}},
         {.idsTexto = true},
         {"21", "1"},
         "todos",
         {},
         false},
        // The rule reads every row its origin query yields: a row after the
        // document's that the comparison cannot convert fails the rule.
        {"id-de-origen-no-numerico",
         {{false, "FACTURAS_COMPRA", {{"FACO_ID", "VARCHAR(10)"}}}},
         {.idOrigenNoNumerico = true},
         {"21"},
         "todos",
         {"21"}},
        // The rule reads every row its origin query yields: a second row of
        // the id whose amount cannot be computed fails the rule.
        {"importe-calculado-duplicado",
         {{false, "FACTURAS_COMPRA",
           {{"FACO_ID", "INTEGER"}, {"FACO_TOTAL", "COMPUTED BY (CAST(FACO_NUMERO AS NUMERIC(15,2)) / 100)"}}}},
         {},
         {"21"},
         "21",
         {"21"},
         true,
         10,
         llenarCalculado},
        // The batches hand their lines over as they go: the rows after the
        // audit query's failure are the rules' alone, none written twice.
        {"importe-calculado-tardio",
         {{false, "FACTURAS_COMPRA",
           {{"FACO_ID", "INTEGER"}, {"FACO_TOTAL", "COMPUTED BY (CAST(FACO_NUMERO AS NUMERIC(15,2)) / 100)"}}}},
         {},
         {"21"},
         "21",
         {"21"},
         true,
         100,
         llenarCalculadoTardio},
        {"suma-desbordada",
         {},
         {.sumaDesbordada = 13},
         {"11", "1"},
         "todos",
         {"11"}},
        // The batches read the voucher's origin sums with the audit rows;
        // the overflow stays with its row, which the rule then fails at.
        {"suma-desbordada-en-destino", {}, {.sumaDesbordada = 13, .desbordadaEnDestino = true}, {"1"}, "1", {"1"}},
        {"masivo",
         {{true, "FACTURAS_COMPRA", {{"PREF_PRE", "VARCHAR(10) " + ci}}}},
         {},
         {"21"},
         "21",
         {},
         true,
         100,
         llenarMasivo},
        // The batches' audit row carries fewer columns than the rules': the
        // ties must still come in the rules' order.
        {"empates", {}, {}, {"21"}, "21", {}, true, 10, llenarEmpates},
        {"empates-comprobante", {}, {}, {"1"}, "1", {}, true, 10, llenarEmpatesComprobante},
        // An audit table without a column the rules read: both fail alike.
        {"auditoria-sin-razon", {}, {}, {"21"}, "21", {"21"}, true, 10, llenarSinRazon},
        // The rule's statement ends at the NUL and fails; a batch would
        // carry the code whole as a parameter.
        {"codigo-con-nul", {}, {}, {"21"}, "21", {"21"}, true, 10, llenarCodigoConNul},
        // The rule's select * reads the voucher header's every column; one
        // after the fourth fails for the document whose number is no number.
        {"comprobante-con-columna-fallida",
         {{false, "COMPROBANTE_ENCABEZADO", {{"ENCO_FECHA", "COMPUTED BY (CAST(ENCO_NUMERO AS INTEGER))"}}}},
         {.noNumerico = 13},
         {"1"},
         "1",
         {"1"}},
        // A lookup connection lost amid the run: its stretches go to the
        // others, not to the rules row by row.
        {"conexion-cortada-servidor",
         {{true, "FACTURAS_COMPRA", {{"PREF_PRE", "VARCHAR(10) " + ci}}}},
         {},
         {"21"},
         "21",
         {},
         true,
         100,
         llenarMasivo,
         {11},
         8},
        {"masivo-con-falla",
         {{true, "FACTURAS_COMPRA", {{"FACO_NUMERO", "INTEGER"}}}},
         {.noNumerico = 9001},
         {"21"},
         "21",
         {"21"},
         true,
         100,
         llenarMasivo},
    };
}

void PrintTo(const Variante& v, std::ostream* os) { *os << v.nombre; }

class DiferencialVariantes : public ::testing::TestWithParam<Variante> {};

std::string sinDirectorios(std::string s, const std::vector<std::string>& dirs) {
    for (const auto& d : dirs)
        for (std::size_t p; (p = s.find(d)) != std::string::npos;) s.replace(p, d.size(), "<dir>");
    return s;
}

// The parser's position of an SQL text cut short by a NUL is garbage that
// changes from run to run.
std::string sinPosicion(std::string s) {
    static const std::regex posicion("line [0-9]+, column [0-9]+");
    return std::regex_replace(s, posicion, "line ?, column ?");
}

std::string sinSentencias(const std::string& error) {
    const auto p = error.find("sentencias: ");
    if (p == std::string::npos) return error;
    const auto fin = error.find('\n', p);
    return error.substr(0, p) + (fin == std::string::npos ? "" : error.substr(fin + 1));
}

// Takes out the lines that say a lookup connection retired; how many.
int sinRetiros(std::string& error) {
    int n = 0;
    for (std::size_t p; (p = error.find("Se retiró una conexión")) != std::string::npos; ++n) {
        const auto fin = error.find('\n', p);
        error.erase(p, fin == std::string::npos ? std::string::npos : fin + 1 - p);
    }
    return n;
}

long sentencias(const std::string& error) {
    const auto p = error.find("sentencias: ");
    return p == std::string::npos ? -1L : std::stol(error.substr(p + 12));
}

TEST_P(DiferencialVariantes, LotesYFilaAFilaEscribenCuentanYFallanIgual) {
    const Variante& v = GetParam();
    if (v.corte) {
        prueba::exigirServidor();
        if (HasFatalFailure() || IsSkipped()) return;
    }
    for (unsigned semilla : v.semillas) {
        SCOPED_TRACE(std::string("variante ") + v.nombre + ", semilla " + std::to_string(semilla));
        Escenario e;
        for (const auto& r : v.esquema) {
            if (r.destino) e.redefinirEnDestino(r.tabla, r.columnas);
            else e.redefinirEnOrigen(r.tabla, r.columnas);
        }
        (v.llenar ? v.llenar : llenarVariante)(e, v, semilla);
        const std::string referencia = e.dir.str() + "/referencia", lotes = e.dir.str() + "/lotes";
        fs::create_directories(referencia);
        fs::create_directories(lotes);
        const std::vector<std::string> dirs = {referencia, lotes};
        std::map<std::string, std::string> entorno = {{"AUTOREP_REGISTRO", "/nonexistent"}};
        if (v.corte) entorno["AUTOREP_CLAVE"] = prueba::claveServidor();
        // The batched run's proxy, afresh for each run: the connection it cuts
        // is counted from the run's first.
        std::optional<bench::ProxyRetardo> proxy;
        auto base = [&](const std::string& dir, const char* tipo, bool filaAFila) {
            std::string origen = e.servidorOrigen(), destino = e.servidorDestino();
            if (v.corte) {
                origen = "127.0.0.1:" + origen;
                proxy.reset();
                if (!filaAFila) {
                    proxy.emplace(3050, std::chrono::milliseconds(0));
                    proxy->cortar(1, v.corte);
                }
                destino = (proxy ? "127.0.0.1/" + std::to_string(proxy->puerto()) + ":" : "127.0.0.1:") + destino;
            }
            return std::vector<std::string>{"--origen", origen, "--usuario", v.corte ? prueba::usuarioServidor() : "admin",
                                            "--compania", "001", "--destino", destino, "--compania-destino", "002",
                                            "--tipo", tipo, "--desde", "2016-10-01", "--hasta", "2016-10-31",
                                            "--directorio", dir};
        };
        for (const char* tipo : v.tipos) {
            SCOPED_TRACE(std::string("tipo ") + tipo);
            auto correr = [&](const std::string& dir, bool filaAFila) {
                auto a = base(dir, tipo, filaAFila);
                a.push_back("--estadisticas");
                if (filaAFila) a.push_back("--fila-a-fila");
                return prueba::correrLote(a, entorno);
            };
            const auto r = correr(referencia, true);
            auto l = correr(lotes, false);
            if (v.corte) {
                EXPECT_TRUE(proxy->cortada()) << "the run ended before the proxy cut its connection";
                EXPECT_EQ(sinRetiros(l.error), 1) << l.error;
            }
            const bool falla = std::find(v.fallan.begin(), v.fallan.end(), tipo) != v.fallan.end();
            EXPECT_EQ(r.estado == 2, falla) << r.error;
            EXPECT_EQ(l.estado, r.estado) << l.error;
            auto sinRuta = [](const std::string& s) { return s.substr(0, s.find("reporte: ")); };
            EXPECT_EQ(sinRuta(l.salida), sinRuta(r.salida));
            EXPECT_EQ(sinPosicion(sinDirectorios(sinSentencias(l.error), dirs)),
                      sinPosicion(sinDirectorios(sinSentencias(r.error), dirs)));
            const std::string archivo = std::string("/comparacion") + tipo + ".txt";
            EXPECT_EQ(prueba::contenido(lotes + archivo), prueba::contenido(referencia + archivo));
            if (v.porLotes && !falla) {
                EXPECT_LE(sentencias(l.error), v.maximoSentencias) << "the batched run went row by row: " << l.error;
            }
        }

        auto revisar = [&](const std::string& dir, bool filaAFila) {
            auto a = base(dir, v.revision, filaAFila);
            a.insert(a.end(), {"--revision", dir + "/revision", "--tolerancia", "0.5"});
            if (filaAFila) a.push_back("--fila-a-fila");
            return prueba::correrLote(a, entorno);
        };
        const auto r = revisar(referencia, true);
        const auto l = revisar(lotes, false);
        EXPECT_EQ(l.estado, r.estado) << l.error;
        // The notice of a lookup connection that retired is the batched run's alone.
        auto sinAvisoDeRetiro = [](std::string texto) {
            static const std::regex aviso(".*Se retir\xC3\xB3 una conexi\xC3\xB3n de b\xC3\xBAsqueda.*\n");
            return std::regex_replace(texto, aviso, "");
        };
        EXPECT_EQ(sinAvisoDeRetiro(sinPosicion(sinDirectorios(l.error, dirs))), sinPosicion(sinDirectorios(r.error, dirs)));
        auto resultados = [&](const std::string& dir) {
            auto j = nlohmann::json::parse(prueba::contenido(dir + "/revision/resumen.json"));
            for (auto& par : j["resultados"]) {
                par.erase("segundos");
                if (par["reporte"].is_string()) par["reporte"] = sinDirectorios(par["reporte"].get<std::string>(), dirs);
                if (par["error"].is_string()) par["error"] = sinPosicion(par["error"].get<std::string>());
            }
            return j;
        };
        const auto jr = resultados(referencia), jl = resultados(lotes);
        EXPECT_EQ(jl["resultados"], jr["resultados"]);
        EXPECT_EQ(jl["estado_salida"], jr["estado_salida"]);
        int errores = 0;
        for (const auto& par : jr["resultados"]) {
            errores += par["error"].is_null() ? 0 : 1;
            const std::string archivo = "/revision/001/comparacion" + std::to_string(par["tipo"].get<int>()) + ".txt";
            EXPECT_EQ(prueba::contenido(lotes + archivo), prueba::contenido(referencia + archivo)) << archivo;
        }
        // The pairs that fail are the ones the variant makes fail.
        EXPECT_EQ(errores, static_cast<int>(v.fallan.size())) << jr.dump(1);
    }
}

INSTANTIATE_TEST_SUITE_P(Esquemas, DiferencialVariantes, ::testing::ValuesIn(variantes()),
                         [](const ::testing::TestParamInfo<Variante>& i) {
                             std::string n = i.param.nombre;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

}  // namespace
