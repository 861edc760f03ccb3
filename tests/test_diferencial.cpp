// The batched run against the row-by-row reference, over randomized
// fixtures: every type, documents missing on either side, duplicated in the
// destination, quotes, commas and high bytes in codes, NULL amounts and sums,
// several audit rows per document. Both must write the same bytes and the
// same summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>

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
        for (const char* tipo : {"1", "2", "11", "13", "21", "31", "41", "42", "51", "52", "61", "62"}) {
            const bool conRegla = std::string(tipo) != "2";
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
            EXPECT_EQ(prueba::contenido(referencia + archivo).empty(), !conRegla) << "semilla " << semilla << " tipo " << tipo;
            // The batched run really ran in batches: it never falls back to a statement per row here.
            auto sentencias = [](const std::string& error) {
                const auto p = error.find("sentencias: ");
                return p == std::string::npos ? -1L : std::stol(error.substr(p + 12));
            };
            EXPECT_LE(sentencias(l.error), 10) << "semilla " << semilla << " tipo " << tipo << ": " << l.error;
            if (conRegla) {
                EXPECT_GT(sentencias(r.error), 20) << "semilla " << semilla << " tipo " << tipo;
            }
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
