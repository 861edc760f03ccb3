// Two revisions of one replica, the destination changed in between: what is
// new, what persists and what was resolved; and where the earlier revision
// comes from, or why there is none.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>

#include "lote/opciones_lote.h"
#include "lote/revision.h"
#include "platform/reloj.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

class TableroMudo final : public lote::TableroRevision {
public:
    void empezar(const std::string&, std::int64_t) override {}
    void avanzar(const std::string&, std::int64_t, conciliacion::Fase, std::size_t, std::size_t) override {}
    void avisar(const std::string&, std::int64_t, const std::string&) override {}
    void terminar(const conciliacion::ParRevision&) override {}
};

class Comparacion : public ::testing::Test {
protected:
    void SetUp() override {
        // Type 21 of company 001 against destination 002: AB1 equal, AB2
        // missing, AB3 different, AB4 missing, AB5 equal; type 31 all equal.
        for (int i = 1; i <= 5; ++i) {
            const std::string n = "00000" + std::to_string(i);
            e.enOrigen({Escenario::documento(21, i, "AB", n, std::to_string(i * 10) + ".00")});
            e.auditar("2016-10-0" + std::to_string(i), "09:00:00", 21, i, 'I', "AB" + n);
        }
        e.enDestino({Escenario::documento(21, 91, "AB", "000001", "10.00"),
                     Escenario::documento(21, 93, "AB", "000003", "29.00"),
                     Escenario::documento(21, 95, "AB", "000005", "50.00")});
        e.enOrigen({Escenario::documento(31, 1, "FV", "00000001", "7")});
        e.enDestino({Escenario::documento(31, 1, "FV", "00000001", "7")});
        e.auditar("2016-10-02", "10:00:00", 31, 1, 'I', "FV00000001");
    }

    std::string carpeta(const std::string& nombre) const { return e.dir.str() + "/revisiones/" + nombre; }

    lote::OpcionesLote opciones(const std::string& revision, std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {"--origen",           e.servidorOrigen(), "--usuario", "admin",
                                      "--destino",          e.servidorDestino(), "--compania", "001",
                                      "--compania-destino", "002",               "--tipo",    "21,31",
                                      "--desde",            "2016-10-01",        "--hasta",   "2016-10-31",
                                      "--revision",         carpeta(revision)};
        a.insert(a.end(), extra.begin(), extra.end());
        return lote::leerOpcionesLote(a, {2016, 10, 31});
    }

    // Each revision starts a minute after the one before it.
    lote::ResultadoRevision revisar(const lote::OpcionesLote& o) {
        plataforma::RelojFijo reloj{{{2016, 10, 31}, {12, minuto++, 0, 0}}};
        lote::EntornoRevision entorno{regional, reloj, e.aplicacion(), nullptr, tablero, std::chrono::seconds(5)};
        entorno.relojOrigen = [&] { return reloj.ahora(); };
        return lote::ejecutarRevision(o, entorno);
    }

    static nlohmann::json resumen(const lote::ResultadoRevision& r) {
        return nlohmann::json::parse(prueba::contenido(r.carpeta + "/resumen.json"));
    }
    static const nlohmann::json& par(const nlohmann::json& j, int tipo) {
        for (const auto& p : j["resultados"])
            if (p["tipo"] == tipo) return p;
        throw std::runtime_error("sin par del tipo " + std::to_string(tipo));
    }

    // The first revision; then AB2 arrives, AB3 is corrected, AB5 goes missing.
    void cambiarDestino() {
        e.enDestino({Escenario::documento(21, 92, "AB", "000002", "20.00"),
                     "UPDATE FACTURAS_COMPRA SET FACO_TOTAL = 30 WHERE FACO_NUMERO = '000003'",
                     "DELETE FROM FACTURAS_COMPRA WHERE FACO_NUMERO = '000005'"});
    }

    Escenario e;
    plataforma::Regional regional = prueba::regionalPrueba();
    TableroMudo tablero;
    unsigned minuto = 0;
};

TEST_F(Comparacion, NuevosPersistentesYResueltosEnElResumenYLaPagina) {
    const auto a = revisar(opciones("a"));
    ASSERT_EQ(a.revision.estadoSalida, 1);
    const auto ja = resumen(a);
    EXPECT_TRUE(ja["comparada_con"].is_null()) << "nothing before the first revision";
    EXPECT_TRUE(par(ja, 21)["nuevos"].is_null());
    EXPECT_EQ(par(ja, 21)["hallazgos"], "001/hallazgos21.jsonl");

    cambiarDestino();
    const auto b = revisar(opciones("b"));
    ASSERT_EQ(b.revision.estadoSalida, 1);
    const auto jb = resumen(b);
    EXPECT_EQ(jb["comparada_con"], a.carpeta);
    struct Caso {
        int tipo;
        int nuevos, persistentes, resueltos;
    };
    for (const Caso c : {Caso{21, 1, 1, 2}, Caso{31, 0, 0, 0}}) {
        SCOPED_TRACE(c.tipo);
        const auto& p = par(jb, c.tipo);
        EXPECT_EQ(p["nuevos"], c.nuevos);
        EXPECT_EQ(p["persistentes"], c.persistentes);
        EXPECT_EQ(p["resueltos"], c.resueltos);
    }

    // The listed documents carry their word, the persistent one first.
    const std::string pagina = prueba::contenido(b.carpeta + "/resumen.html");
    const auto ab4 = pagina.find(">AB000004<"), ab5 = pagina.find(">AB000005<");
    ASSERT_NE(ab4, std::string::npos);
    ASSERT_NE(ab5, std::string::npos);
    EXPECT_LT(ab4, ab5) << "persistent findings come first";
    EXPECT_NE(pagina.find("etiqueta-persistente", ab4), std::string::npos);
    EXPECT_LT(pagina.find("etiqueta-persistente", ab4), ab5);
    EXPECT_NE(pagina.find("etiqueta-nuevo", ab5), std::string::npos);
    EXPECT_NE(pagina.find("1 nuevo · 1 persistente · 2 resueltos"), std::string::npos);
    EXPECT_NE(pagina.find(a.carpeta), std::string::npos) << "the page names the revision compared with";
}

// Which earlier revision is compared with, and a warning, never an error,
// when it cannot be.
TEST_F(Comparacion, LaRevisionAnteriorYCuandoNoLaHay) {
    const auto a = revisar(opciones("a"));
    ASSERT_EQ(a.revision.estadoSalida, 1);
    // Written by an older version: it keeps no findings.
    fs::create_directories(carpeta("vieja"));
    std::ofstream(carpeta("vieja") + "/resumen.json")
        << R"({"version": 1, "inicio": "2016-10-31T11:00:00+00:00", "origen": ")" << e.servidorOrigen()
        << R"(", "destino": ")" << e.servidorDestino() << R"(", "desde": "2016-10-01", "hasta": "2016-10-31", "resultados": []})";
    // A file cut short, and a revision a stop cut short: neither is compared
    // with, though the second began later than `a`.
    fs::create_directories(carpeta("cortada"));
    std::ofstream(carpeta("cortada") + "/resumen.json") << R"({"version": 2, "inicio": "2016-10-31T12:)";
    fs::copy(a.carpeta, carpeta("parada"), fs::copy_options::recursive);
    auto parada = resumen(a);
    parada["inicio"] = "2016-10-31T12:00:30+00:00";
    parada["interrumpido"] = true;
    std::ofstream(carpeta("parada") + "/resumen.json", std::ios::trunc) << parada.dump();
    const std::string hallazgosA = a.carpeta + "/001/hallazgos21.jsonl";

    struct Caso {
        const char* nombre;
        std::vector<std::string> extra;
        std::function<void()> antes;
        std::string comparadaCon;  // empty: not compared
        std::string aviso;         // a part of the warning expected, if any
    };
    const std::vector<Caso> casos = {
        {"la última con los mismos servidores", {}, {}, a.carpeta, "cortada"},
        {"sin comparar", {"--sin-comparar"}, {}, "", ""},
        {"una que no existe", {"--comparar-con", carpeta("nada")}, {}, "", "no hay resumen.json"},
        {"una de otra versión", {"--comparar-con", carpeta("vieja")}, {}, "", "no guarda la lista de sus hallazgos"},
        {"la lista de hallazgos de un par cortada",
         {"--comparar-con", a.carpeta},
         [&] { std::ofstream(hallazgosA, std::ios::app) << R"({"codigo":"AB0)"; },
         a.carpeta,
         "cortado"},
    };
    int n = 0;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        if (c.antes) c.antes();
        const auto r = revisar(opciones("c" + std::to_string(n++), c.extra));
        EXPECT_EQ(r.revision.estadoSalida, 1) << "a comparison that cannot be made does not fail the revision";
        const auto j = resumen(r);
        EXPECT_EQ(j["comparada_con"].is_null() ? std::string() : j["comparada_con"].get<std::string>(), c.comparadaCon);
        std::string avisos;
        for (const auto& x : j["avisos"]) avisos += x.get<std::string>() + "\n";
        if (c.aviso.empty()) EXPECT_EQ(avisos, "");
        else EXPECT_NE(avisos.find(c.aviso), std::string::npos) << avisos;
        // A pair whose earlier list cannot be read is not compared; the others are.
        const bool cortada = std::string(c.nombre).find("cortada") != std::string::npos;
        EXPECT_EQ(par(j, 21)["persistentes"].is_null(), c.comparadaCon.empty() || cortada);
        EXPECT_EQ(par(j, 31)["persistentes"].is_null(), c.comparadaCon.empty());
    }
}

// A re-check reads only the first revision's findings, and passes once the
// replica has caught up with every one.
TEST_F(Comparacion, ReverificarSoloLosHallazgos) {
    // More rows that are no finding: a re-check must not read them.
    for (int i = 6; i <= 40; ++i) {
        const std::string n = (i < 10 ? "00000" : "0000") + std::to_string(i);
        e.enOrigen({Escenario::documento(21, i, "AB", n, "1.00")});
        e.enDestino({Escenario::documento(21, 100 + i, "AB", n, "1.00")});
        e.auditar("2016-10-10", "09:00:00", 21, i, 'I', "AB" + n);
    }
    // AB3 audited again: the finding is the I row and the U row.
    e.auditar("2016-10-20", "09:00:00", 21, 3, 'U', "AB000003");
    const auto a = revisar(opciones("a"));
    ASSERT_EQ(a.revision.estadoSalida, 1);

    struct Caso {
        const char* nombre;
        std::vector<std::string> cambio;  // on the destination before the re-check
        int estado;
        int persistentes, resueltos;
        std::string lineas;  // the type 21 report
        std::vector<std::string> enOrigen = {};
        int sinVerificar = 0;
        std::size_t filas = 4;  // audit rows read
    };
    const std::vector<Caso> casos = {
        {"nada cambió", {}, 1, 3, 0,
         "AB000002,02/10/2016,20,No encontrado\r\nAB000003,03/10/2016,30,29\r\nAB000003,20/10/2016,30,29\r\n"
         "AB000004,04/10/2016,40,No encontrado\r\n"},
        {"la réplica se puso al día en parte",
         {Escenario::documento(21, 92, "AB", "000002", "20.00"),
          "UPDATE FACTURAS_COMPRA SET FACO_TOTAL = 30 WHERE FACO_NUMERO = '000003'",
          "DELETE FROM FACTURAS_COMPRA WHERE FACO_NUMERO = '000005'"},
         1, 1, 2,
         "AB000002,02/10/2016,20,20\r\nAB000003,03/10/2016,30,30\r\nAB000003,20/10/2016,30,30\r\n"
         "AB000004,04/10/2016,40,No encontrado\r\n"},
        {"la réplica se puso al día del todo", {Escenario::documento(21, 94, "AB", "000004", "40.00")}, 0, 0, 3,
         "AB000002,02/10/2016,20,20\r\nAB000003,03/10/2016,30,30\r\nAB000003,20/10/2016,30,30\r\n"
         "AB000004,04/10/2016,40,40\r\n"},
        // A finding whose audit row is gone was not checked: not resolved, and no pass.
        {"la fila de auditoría de un hallazgo ya no está", {}, 2, 0, 2,
         "AB000002,02/10/2016,20,20\r\nAB000003,03/10/2016,30,30\r\nAB000003,20/10/2016,30,30\r\n",
         {"DELETE FROM AUDITORIA WHERE AUDI_IDDOC = 4"}, 1, 3},
    };
    int n = 0;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        e.enDestino(c.cambio);
        e.enOrigen(c.enOrigen);
        auto o = lote::leerOpcionesLote(
            {"--reverificar", a.carpeta, "--usuario", "admin", "--revision", carpeta("r" + std::to_string(n++))},
            {2016, 10, 31});
        const auto r = revisar(o);
        EXPECT_EQ(r.revision.estadoSalida, c.estado) << r.revision.mensaje;
        EXPECT_EQ(r.filasAuditoria, c.filas) << "only the findings' audit rows are read";
        const auto j = resumen(r);
        EXPECT_EQ(j["reverificacion_de"], a.carpeta);
        EXPECT_EQ(j["comparada_con"], a.carpeta);
        ASSERT_EQ(j["resultados"].size(), 1u) << "type 31 had no finding: it is not checked again";
        const auto& p = par(j, 21);
        EXPECT_EQ(p["persistentes"], c.persistentes);
        EXPECT_EQ(p["resueltos"], c.resueltos);
        EXPECT_EQ(p["nuevos"], 0);
        EXPECT_EQ(p["sin_verificar"], c.sinVerificar);
        EXPECT_EQ(prueba::contenido(r.carpeta + "/001/comparacion21.txt"), c.lineas);
    }

    // A pair that did not complete in the revision checked again was never
    // checked: the re-check cannot pass for it.
    fs::copy(a.carpeta, carpeta("con-error"), fs::copy_options::recursive);
    auto conError = resumen(a);
    for (auto& p : conError["resultados"])
        if (p["tipo"] == 31) {
            p["estado"] = "error";
            p["hallazgos"] = nullptr;
        }
    std::ofstream(carpeta("con-error") + "/resumen.json", std::ios::trunc) << conError.dump();
    const auto r = revisar(lote::leerOpcionesLote(
        {"--reverificar", carpeta("con-error"), "--usuario", "admin", "--revision", carpeta("r-error")}, {2016, 10, 31}));
    EXPECT_EQ(r.revision.estadoSalida, 2);
    EXPECT_EQ(par(resumen(r), 31)["estado"], "error");

    // What cannot be checked again is an error of the re-check.
    fs::create_directories(carpeta("vieja"));
    std::ofstream(carpeta("vieja") + "/resumen.json")
        << R"({"version": 1, "inicio": "2016-10-31T11:00:00+00:00", "origen": "o", "destino": "d", )"
        << R"("desde": "2016-10-01", "hasta": "2016-10-31", "resultados": []})";
    for (const auto& dir : {carpeta("vieja"), carpeta("ninguna")}) {
        SCOPED_TRACE(dir);
        const auto o = lote::leerOpcionesLote({"--reverificar", dir, "--usuario", "admin"}, {2016, 10, 31});
        EXPECT_THROW(revisar(o), lote::ErrorRevision);
    }
}

// Old revisions go only after a revision that completed.
TEST_F(Comparacion, ConservarNoBorraTrasUnaRevisionFallida) {
    const auto a = revisar(opciones("a"));
    ASSERT_EQ(a.revision.estadoSalida, 1);
    // A destination company that does not exist: every pair fails.
    auto o = opciones("b", {"--conservar", "1"});
    o.destinos["001"] = o.companiaDestino = "999";
    const auto b = revisar(o);
    ASSERT_EQ(b.revision.estadoSalida, 2);
    EXPECT_TRUE(fs::exists(a.carpeta + "/resumen.json"));
    const auto c = revisar(opciones("c", {"--conservar", "1"}));
    ASSERT_EQ(c.revision.estadoSalida, 1);
    EXPECT_EQ(resumen(c)["comparada_con"], b.carpeta);
    EXPECT_TRUE(fs::exists(b.carpeta)) << "the revision compared with stays";
    EXPECT_FALSE(fs::exists(a.carpeta)) << "beyond the newest one, after a revision that completed";
}

}  // namespace
