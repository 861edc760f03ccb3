// A revision of two origin companies mapped to two destination companies,
// where every outcome occurs: equal, different, within the tolerance, missing,
// pending, duplicated, gone from the origin, and a pair that cannot complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <regex>
#include <ctime>
#include <functional>
#include <map>

#include "lote/opciones_lote.h"
#include "lote/revision.h"
#include "platform/cp1252.h"
#include "platform/sistema.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

// Records the board's calls, which come from several threads; its terminar
// may ask for a stop.
class TableroGrabador final : public lote::TableroRevision {
public:
    void empezar(const std::string& c, std::int64_t t) override {
        const std::lock_guard<std::mutex> guarda(mutex);
        empezados.push_back(c + "/" + std::to_string(t));
    }
    void avanzar(const std::string&, std::int64_t, conciliacion::Fase, std::size_t, std::size_t) override {}
    void avisar(const std::string&, std::int64_t, const std::string&) override {}
    void terminar(const conciliacion::ParRevision&) override {
        const std::lock_guard<std::mutex> guarda(mutex);
        if (++terminados == detenerTras && interrupcion) interrupcion->pedir();
    }
    std::mutex mutex;
    std::vector<std::string> empezados;
    int terminados = 0;
    int detenerTras = 0;
    conciliacion::Interrupcion* interrupcion = nullptr;
};

class Revision : public ::testing::Test {
protected:
    void SetUp() override {
        // Origin 001 and 002; destination 101 and 102.
        prueba::crearCompania(e.servidorOrigen(), "002");
        destino101 = prueba::crearCompania(e.servidorDestino(), "101");
        destino102 = prueba::crearCompania(e.servidorDestino(), "102");
        auto en101 = [&](std::vector<std::string> s) { prueba::ejecutar(destino101, s); };
        auto en102 = [&](std::vector<std::string> s) { prueba::ejecutar(destino102, s); };
        const std::string origen002 = e.servidorOrigen() + "/datos/002/quorix.fdb";

        // 001, type 21: every outcome of an amount rule.
        e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "10.00"), Escenario::documento(21, 2, "AB", "000002", "20.00"),
                    Escenario::documento(21, 3, "AB", "000003", "30.00"), Escenario::documento(21, 4, "AB", "000004", "40.00"),
                    Escenario::documento(21, 5, "AB", "000005", "50.00"), Escenario::documento(21, 6, "AB", "000006", "60.00"),
                    Escenario::documento(21, 8, "AB", "000008", "80.00")});
        en101({Escenario::documento(21, 91, "AB", "000001", "10.00"),   // equal
               Escenario::documento(21, 92, "AB", "000002", "19.99"),   // within the tolerance of 0.01
               Escenario::documento(21, 93, "AB", "000003", "29.00"),   // different
               Escenario::documento(21, 96, "AB", "000006", "60.00"),   // there twice
               Escenario::documento(21, 97, "AB", "000006", "60.00")});
        e.auditar("2016-10-05", "09:00:00", 21, 1, 'I', "AB000001");
        e.auditar("2016-10-05", "09:00:00", 21, 2, 'I', "AB000002");
        e.auditar("2016-10-05", "09:00:00", 21, 3, 'U', "AB000003");
        e.auditar("2016-10-05", "09:00:00", 21, 4, 'I', "AB000004");  // missing
        e.auditar("2016-10-31", "11:30:00", 21, 5, 'I', "AB000005");  // missing, 30 minutes before the start: pending
        e.auditar("2016-10-05", "09:00:00", 21, 6, 'I', "AB000006");
        e.auditar("2016-10-05", "09:00:00", 21, 7, 'I', "AB000007");  // gone from the origin
        e.auditar("2016-10-31", "12:30:00", 21, 8, 'I', "AB000008");  // missing, dated after the start: no excuse
        // 001, type 31: only a pending document.
        e.enOrigen({Escenario::documento(31, 1, "FV", "00000001", "5")});
        e.auditar("2016-10-31", "11:45:00", 31, 1, 'I', "FV00000001");
        // 001, type 1: a voucher the destination holds twice.
        e.enOrigen(Escenario::comprobante(1, "CD", "CP", "000001", {{"100.50", "0"}, {"0", "100.50"}}));
        en101(Escenario::comprobante(81, "CD", "CP", "000001", {{"100.50", "0"}, {"0", "100.50"}}));
        en101(Escenario::comprobante(82, "CD", "CP", "000001", {{"1", "1"}}));
        e.auditar("2016-10-06", "09:00:00", 1, 1, 'I', "CP000001");
        // 001, type 11: a goods entry whose header the destination lacks (its
        // line still carries a sum, an empty one).
        e.enOrigen(Escenario::conDetalle(11, 1, "EN", "000001", {"7.25", "2.75"}));
        e.auditar("2016-10-07", "09:00:00", 11, 1, 'I', "EN000001");

        // 002 -> 102, type 21 equal; type 31 cannot be read in the destination.
        prueba::ejecutar(origen002, {Escenario::documento(21, 1, "ZZ", "000001", "1.25"),
                                     Escenario::documento(31, 1, "ZZ", "00000001", "2")});
        en102({Escenario::documento(21, 1, "ZZ", "000001", "1.25"), "DROP TABLE FACTURAS"});
        prueba::ejecutar(origen002,
                         {"INSERT INTO AUDITORIA (AUDI_ID, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD) "
                          "VALUES (1, '2016-10-08', '09:00:00', 21, 1, 'I', 'ZZ000001')",
                          "INSERT INTO AUDITORIA (AUDI_ID, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD) "
                          "VALUES (2, '2016-10-08', '09:00:00', 31, 1, 'I', 'ZZ00000001')"});
    }

    lote::OpcionesLote opciones(std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--destino", e.servidorDestino(),
                                      "--margen-minutos", "60", "--tolerancia", "0.01",
                                      "--revision", e.dir.str() + "/revision"};
        a.insert(a.end(), extra.begin(), extra.end());
        // The defaults of the options the test does not name.
        auto falta = [&](const std::string& opcion) {
            return std::none_of(extra.begin(), extra.end(), [&](const std::string& x) { return x.rfind(opcion, 0) == 0; });
        };
        if (falta("--compania")) a.insert(a.end(), {"--compania", "todas", "--compania-destino", "001=101,002=102"});
        if (falta("--desde")) a.insert(a.end(), {"--desde", "2016-10-01", "--hasta", "2016-10-31"});
        if (falta("--tipo")) a.insert(a.end(), {"--tipo", "1,11,21,31"});
        return lote::leerOpcionesLote(a, {2016, 10, 31});
    }
    lote::ResultadoRevision revisar(const lote::OpcionesLote& o) {
        lote::EntornoRevision entorno{regional, reloj, e.aplicacion(), &interrupcion, tablero, std::chrono::seconds(5)};
        // The fixture's audit rows are of October 2016: so is the origin's clock.
        entorno.relojOrigen = [this] { return reloj.ahora(); };
        entorno.publicar = publicar;
        return lote::ejecutarRevision(o, entorno);
    }
    std::function<bool(std::string_view, std::string_view, std::string&)> publicar;

    Escenario e;
    std::string destino101, destino102;
    plataforma::Regional regional = prueba::regionalPrueba();
    plataforma::RelojFijo reloj{{{2016, 10, 31}, {12, 0, 0, 0}}};
    conciliacion::Interrupcion interrupcion;
    TableroGrabador tablero;
};

TEST_F(Revision, ElResumenCuentaCadaDesenlace) {
    const auto r = revisar(opciones());
    EXPECT_EQ(r.carpeta, e.dir.str() + "/revision");
    const auto json = nlohmann::json::parse(prueba::contenido(r.resumen));
    EXPECT_EQ(json["version"], 2);
    EXPECT_TRUE(std::regex_match(json["inicio"].get<std::string>(), std::regex(R"(2016-10-31T12:00:00[+-]\d\d:\d\d)")))
        << json["inicio"];
    EXPECT_EQ(json["origen"], e.servidorOrigen());
    EXPECT_EQ(json["desde"], "2016-10-01");
    EXPECT_EQ(json["hasta"], "2016-10-31");
    EXPECT_EQ(json["margen_minutos"], 60);
    EXPECT_EQ(json["tolerancia"], "0.01");
    EXPECT_EQ(json["estado_salida"], 2) << "a pair could not complete";
    EXPECT_EQ(json["interrumpido"], false);

    struct Esperado {
        const char* compania;
        const char* destino;
        int tipo;
        const char* estado;
        int registros, lineas, iguales, diferentes, noEncontrados, pendientes, duplicados, sinOrigen;
        const char* totalOrigen;
        const char* totalDestino;
    };
    const Esperado esperados[] = {
        {"001", "101", 1, "diferencias", 1, 1, 1, 0, 0, 0, 1, 0, "100.5", "100.5"},  // duplicated voucher
        {"001", "101", 11, "diferencias", 1, 1, 0, 0, 1, 0, 0, 0, "10", "0"},         // header missing
        {"001", "101", 21, "diferencias", 8, 7, 3, 1, 2, 1, 1, 1, "290", "118.99"},
        {"001", "101", 31, "igual", 1, 1, 0, 0, 0, 1, 0, 0, "5", "0"},                // pending only
        {"002", "102", 1, "sin_movimientos", 0, 0, 0, 0, 0, 0, 0, 0, "0", "0"},
        {"002", "102", 11, "sin_movimientos", 0, 0, 0, 0, 0, 0, 0, 0, "0", "0"},
        {"002", "102", 21, "igual", 1, 1, 1, 0, 0, 0, 0, 0, "1.25", "1.25"},
        {"002", "102", 31, "error", 1, 0, 0, 0, 0, 0, 0, 0, "0", "0"},  // fails at its first lookup
    };
    const auto& resultados = json["resultados"];
    ASSERT_EQ(resultados.size(), std::size(esperados));
    for (std::size_t i = 0; i < resultados.size(); ++i) {
        const auto& j = resultados[i];
        const auto& x = esperados[i];
        const std::string que = std::string(x.compania) + "/" + std::to_string(x.tipo);
        EXPECT_EQ(j["compania"], x.compania) << que;
        EXPECT_EQ(j["compania_destino"], x.destino) << que;
        EXPECT_EQ(j["tipo"], x.tipo) << que;
        EXPECT_EQ(j["estado"], x.estado) << que;
        EXPECT_EQ(j["registros"], x.registros) << que;
        EXPECT_EQ(j["lineas"], x.lineas) << que;
        EXPECT_EQ(j["iguales"], x.iguales) << que;
        EXPECT_EQ(j["diferentes"], x.diferentes) << que;
        EXPECT_EQ(j["no_encontrados"], x.noEncontrados) << que;
        EXPECT_EQ(j["pendientes"], x.pendientes) << que;
        EXPECT_EQ(j["duplicados"], x.duplicados) << que;
        EXPECT_EQ(j["sin_origen"], x.sinOrigen) << que;
        EXPECT_EQ(j["total_origen"], x.totalOrigen) << que;
        EXPECT_EQ(j["total_destino"], x.totalDestino) << que;
        if (std::string(x.estado) == "error") {
            EXPECT_NE(j["error"].get<std::string>().find("FACTURAS"), std::string::npos) << j["error"];
        } else {
            EXPECT_TRUE(j["error"].is_null()) << que;
            EXPECT_EQ(j["reporte"], r.carpeta + "/" + x.compania + "/comparacion" + std::to_string(x.tipo) + ".txt");
        }
    }
    // The findings of the summary page, in the rows' order.
    const auto& par = r.revision.pares.at(2).resumen;
    struct {
        const char* codigo;
        bool noEncontrado, diferente, duplicado, pendiente;
    } hallazgos[] = {{"AB000003", false, true, false, false},
                     {"AB000004", true, false, false, false},
                     {"AB000005", false, false, false, true},
                     {"AB000006", false, false, true, false},
                     {"AB000008", true, false, false, false}};
    ASSERT_EQ(par.hallazgos.size(), std::size(hallazgos));
    for (std::size_t i = 0; i < std::size(hallazgos); ++i) {
        const auto& h = par.hallazgos[i];
        EXPECT_EQ(h.codigo, hallazgos[i].codigo);
        EXPECT_EQ(h.noEncontrado, hallazgos[i].noEncontrado) << h.codigo;
        EXPECT_EQ(h.diferente, hallazgos[i].diferente) << h.codigo;
        EXPECT_EQ(h.duplicado, hallazgos[i].duplicado) << h.codigo;
        EXPECT_EQ(h.pendiente, hallazgos[i].pendiente) << h.codigo;
    }
    EXPECT_TRUE(fs::exists(r.carpeta + "/resumen.html"));
    // The report lines are a single run's: the tolerance and the margin only count.
    EXPECT_EQ(prueba::contenido(r.carpeta + "/001/comparacion21.txt"),
              "AB000001,05/10/2016,10,10\r\nAB000002,05/10/2016,20,19.99\r\nAB000003,05/10/2016,30,29\r\n"
              "AB000004,05/10/2016,40,No encontrado\r\nAB000005,31/10/2016,50,No encontrado\r\n"
              "AB000006,05/10/2016,60,60\r\nAB000008,31/10/2016,80,No encontrado\r\n");
    EXPECT_TRUE(json["sin_revisar"].empty());
}

TEST_F(Revision, CadaReporteTieneLosBytesDeUnaCorridaSola) {
    const auto r = revisar(opciones());
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary) << prueba::textoRegistro(e.aplicacion(), "dd/MM/yyyy");
    for (const auto& p : r.revision.pares) {
        if (!p.error.empty()) continue;
        const std::string sola = e.dir.str() + "/sola-" + p.compania + "-" + std::to_string(p.tipo);
        fs::create_directories(sola);
        const auto s = prueba::correrLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", p.compania,
                                           "--destino", e.servidorDestino(), "--compania-destino", p.companiaDestino,
                                           "--tipo", std::to_string(p.tipo), "--desde", "2016-10-01", "--hasta",
                                           "2016-10-31", "--directorio", sola},
                                          {{"AUTOREP_REGISTRO", reg}});
        ASSERT_NE(s.estado, 2) << s.error;
        const std::string archivo = "/comparacion" + std::to_string(p.tipo) + ".txt";
        EXPECT_EQ(prueba::contenido(r.carpeta + "/" + p.compania + archivo), prueba::contenido(sola + archivo))
            << p.compania << " " << p.tipo;
    }
}

TEST_F(Revision, InterrumpidaListaLosParesQueCorrieron) {
    auto o = opciones({"--paralelo", "1"});
    tablero.detenerTras = 2;
    tablero.interrupcion = &interrupcion;
    const auto r = revisar(o);
    EXPECT_TRUE(r.revision.interrumpida);
    EXPECT_EQ(r.revision.estadoSalida, 130);
    EXPECT_EQ(r.revision.pares.size(), 2u) << "only the pairs that ran";
    const auto json = nlohmann::json::parse(prueba::contenido(r.resumen));
    EXPECT_EQ(json["interrumpido"], true);
    EXPECT_EQ(json["estado_salida"], 130);
    EXPECT_EQ(json["resultados"].size(), 2u);
    EXPECT_EQ(json["sin_revisar"].size(), 6u) << "what was never reviewed is named";
    EXPECT_EQ(tablero.empezados, (std::vector<std::string>{"001/1", "001/11"}));
}

TEST_F(Revision, UnTipoSinReglaEsUnErrorYNoUnParIgual) {
    const auto r = revisar(opciones({"--tipo=2,21"}));
    ASSERT_EQ(r.revision.pares.size(), 4u);
    for (const auto& p : r.revision.pares) {
        if (p.tipo == 2) {
            EXPECT_NE(p.error.find("no tiene regla"), std::string::npos) << p.compania;
        } else {
            EXPECT_TRUE(p.error.empty()) << p.compania << ": " << p.error;
        }
    }
    EXPECT_EQ(r.revision.estadoSalida, 2);
}

TEST_F(Revision, ElOrigenContraSiMismoEsUnParConError) {
    const auto o = lote::leerOpcionesLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                          "--destino", e.servidorOrigen(), "--tipo", "21", "--desde", "2016-10-01",
                                          "--hasta", "2016-10-31", "--revision", e.dir.str() + "/revision"},
                                         {2016, 10, 31});
    const auto r = revisar(o);
    ASSERT_EQ(r.revision.pares.size(), 1u);
    EXPECT_NE(r.revision.pares[0].error.find(" es la misma base de la compa\xF1\xED" "a de origen"), std::string::npos)
        << r.revision.pares[0].error;
    EXPECT_EQ(r.revision.estadoSalida, 2);
    EXPECT_FALSE(fs::exists(e.dir.str() + "/revision/001/comparacion21.txt"));
}

TEST_F(Revision, SinDirectorioDeLaAplicacionNoEmpieza) {
    lote::EntornoRevision entorno{regional, reloj, e.dir.str() + "/no-existe", &interrupcion, tablero,
                                 std::chrono::seconds(5)};
    EXPECT_THROW(lote::ejecutarRevision(opciones(), entorno), lote::ErrorRevision);
    EXPECT_FALSE(fs::exists(e.dir.str() + "/no-existe"));
}

TEST_F(Revision, UnaCarpetaQueNoEstaVaciaNoSeMezcla) {
    fs::create_directories(e.dir.str() + "/revision");
    std::ofstream(e.dir.str() + "/revision/otra.txt") << "de antes";
    EXPECT_THROW(revisar(opciones()), lote::ErrorRevision);
    EXPECT_EQ(prueba::contenido(e.dir.str() + "/revision/otra.txt"), "de antes");
}

// The command, its folder, its table and its exit statuses.
TEST_F(Revision, ElLoteEscribeLaCarpetaYSaleConElPeorEstado) {
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary) << prueba::textoRegistro(e.aplicacion(), "dd/MM/yyyy");
    auto lote = [&](std::vector<std::string> extra) {
        std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--destino", e.servidorDestino(),
                                      "--desde", "2016-10-01", "--hasta", "2016-10-31"};
        a.insert(a.end(), extra.begin(), extra.end());
        return prueba::correrLote(a, {{"AUTOREP_REGISTRO", reg}});
    };
    struct {
        std::vector<std::string> extra;
        int estado;
    } casos[] = {
        {{"--compania", "002", "--compania-destino", "102", "--tipo", "21,61"}, 0},
        {{"--compania", "001,002", "--compania-destino", "001=101,002=102", "--tipo", "21"}, 1},
        {{"--compania", "todas", "--compania-destino", "001=101,002=102", "--tipo", "todos"}, 2},
    };
    for (const auto& c : casos) {
        const auto r = lote(c.extra);
        EXPECT_EQ(r.estado, c.estado) << r.salida << r.error;
        const auto p = r.salida.find("resumen: ");
        ASSERT_NE(p, std::string::npos) << r.salida;
        const std::string resumen = r.salida.substr(p + 9, r.salida.find('\n', p) - p - 9);
        EXPECT_EQ(resumen.rfind(e.aplicacion() + "/revisiones/2", 0), 0u) << resumen;
        EXPECT_EQ(nlohmann::json::parse(prueba::contenido(resumen))["estado_salida"], c.estado);
        EXPECT_NE(r.salida.find("compañía destino"), std::string::npos) << "the table";
    }
    // Each revision is a line of the history beside them.
    const std::string historial = prueba::contenido(e.aplicacion() + "/revisiones/historial.jsonl");
    EXPECT_EQ(std::count(historial.begin(), historial.end(), '\n'), 3) << historial;
    // The same pair alone stays a single run, exactly as before.
    const auto sola = lote({"--compania", "002", "--compania-destino", "102", "--tipo", "21"});
    EXPECT_EQ(sola.estado, 0);
    EXPECT_EQ(sola.salida.rfind("registros: 1\nlineas: 1\n", 0), 0u) << sola.salida;
    EXPECT_TRUE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
}

// What a revision concludes: never "complete" about what it did not check.
TEST_F(Revision, ElVeredictoNoDaPorCompletoLoQueNoSeReviso) {
    const std::string general = e.servidorOrigen() + "/datos/general.fdb";
    struct Caso {
        const char* nombre;
        std::vector<std::string> extra;
        bool vaciarCompanias;
        int estado;
        std::vector<std::string> estados;  // each pair's word, in order
        const char* mensaje;               // part of the revision's message; "" when none
    };
    const Caso casos[] = {
        {"no pair read a row", {"--desde", "2020-01-01", "--hasta", "2020-01-31"}, false, 3,
         {"sin_movimientos", "sin_movimientos", "sin_movimientos", "sin_movimientos", "sin_movimientos",
          "sin_movimientos", "sin_movimientos", "sin_movimientos"},
         "ninguna fila de auditor"},
        {"some pairs without rows", {"--compania", "002", "--compania-destino", "102", "--tipo", "1,21"}, false, 0,
         {"sin_movimientos", "igual"}, ""},
        {"no pair at all", {"--compania", "todas"}, true, 2, {}, "nada que revisar"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        fs::remove_all(e.dir.str() + "/revision");
        if (c.vaciarCompanias) prueba::ejecutar(general, {"DELETE FROM COMPANIA"});
        const auto r = revisar(opciones(c.extra));
        EXPECT_EQ(r.revision.estadoSalida, c.estado);
        const auto json = nlohmann::json::parse(prueba::contenido(r.resumen));
        EXPECT_EQ(json["estado_salida"], c.estado);
        std::vector<std::string> estados;
        for (const auto& par : json["resultados"]) estados.push_back(par["estado"]);
        EXPECT_EQ(estados, c.estados);
        if (*c.mensaje) {
            ASSERT_TRUE(json["mensaje"].is_string());
            EXPECT_NE(json["mensaje"].get<std::string>().find(c.mensaje), std::string::npos) << json["mensaje"];
        } else {
            EXPECT_TRUE(json["mensaje"].is_null()) << json["mensaje"];
        }
        EXPECT_EQ(prueba::contenido(r.carpeta + "/resumen.html").find("La réplica está completa") != std::string::npos,
                  c.estado == 0);
    }
}

// A company code is a folder of the revision: one that Windows cannot hold,
// folds into another, or that names a summary is refused before connecting.
TEST_F(Revision, UnCodigoQueNoSirveDeCarpetaEsUnParConError) {
    const auto r = revisar(opciones({"--compania", "CON,nul.txt,resumen.json,ab.,ab ,x1,X1", "--tipo", "21"}));
    const std::map<std::string, std::string> esperado = {
        {"CON", "dispositivo"}, {"nul.txt", "dispositivo"}, {"resumen.json", "resumen"},
        {"ab.", "punto o espacio"}, {"ab ", "punto o espacio"}, {"x1", "mayúsculas"}, {"X1", "mayúsculas"}};
    ASSERT_EQ(r.revision.pares.size(), esperado.size());
    for (const auto& p : r.revision.pares) {
        EXPECT_NE(p.error.find(plataforma::ansi(esperado.at(p.compania))), std::string::npos) << p.compania << ": " << p.error;
        EXPECT_FALSE(fs::is_directory(r.carpeta + "/" + p.compania)) << p.compania;
    }
    EXPECT_EQ(r.revision.estadoSalida, 2);
    EXPECT_TRUE(nlohmann::json::parse(prueba::contenido(r.carpeta + "/resumen.json")).is_object());
}

// The pending window runs on the origin server's clock: this machine's clock,
// years off here, does not move it. A recent update whose amounts differ is
// pending too, not different.
TEST_F(Revision, LoPendienteSeMideConElRelojDelServidor) {
    const std::time_t ahora = std::time(nullptr);
    auto momento = [](std::time_t t, const char* formato) {
        char texto[32];
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(texto, sizeof texto, formato, &local);
        return std::string(texto);
    };
    const std::time_t antes = ahora - 10 * 60;
    e.enOrigen({Escenario::documento(21, 9, "RC", "000009", "9.00"), Escenario::documento(21, 10, "RC", "000010", "10.00")});
    prueba::ejecutar(destino101, {Escenario::documento(21, 10, "RC", "000010", "7.00")});
    e.auditar(momento(antes, "%Y-%m-%d"), momento(antes, "%H:%M:%S"), 21, 9, 'I', "RC000009");
    e.auditar(momento(antes, "%Y-%m-%d"), momento(antes, "%H:%M:%S"), 21, 10, 'U', "RC000010");
    const std::string hoy = momento(antes, "%Y-%m-%d");
    lote::EntornoRevision entorno{regional, reloj, e.aplicacion(), &interrupcion, tablero, std::chrono::seconds(5)};
    const auto r = lote::ejecutarRevision(
        opciones({"--compania", "001", "--compania-destino", "101", "--tipo", "21", "--desde", hoy, "--hasta", hoy}),
        entorno);
    ASSERT_EQ(r.revision.pares.size(), 1u);
    const auto& p = r.revision.pares[0];
    EXPECT_EQ(p.resumen.pendientes, 2u) << p.error;
    EXPECT_EQ(p.resumen.diferentes, 0u);
    EXPECT_EQ(p.resumen.noEncontrados, 0u);
    EXPECT_EQ(r.revision.estadoSalida, 0);
    ASSERT_EQ(p.resumen.hallazgos.size(), 2u);
    EXPECT_TRUE(p.resumen.hallazgos[1].pendiente && p.resumen.hallazgos[1].diferente);
    EXPECT_EQ(p.resumen.hallazgos[1].importeDestino, "7");
    const auto json = nlohmann::json::parse(prueba::contenido(r.resumen));
    EXPECT_EQ(json["ahora_origen"].get<std::string>().substr(0, 10), momento(ahora, "%Y-%m-%d"));
}

// Control totals count each document once, with its last audit row's
// amounts; a voucher the destination lacks adds its origin debit sum.
TEST_F(Revision, LosTotalesCuentanCadaDocumentoUnaVez) {
    const std::string origen002 = e.servidorOrigen() + "/datos/002/quorix.fdb";
    prueba::ejecutar(origen002, Escenario::comprobante(5, "CD", "CP", "000005", {{"70.25", "0"}, {"0", "70.25"}}));
    prueba::ejecutar(origen002,
                     {"INSERT INTO AUDITORIA (AUDI_ID, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD) "
                      "VALUES (3, '2016-10-09', '09:00:00', 21, 1, 'U', 'ZZ000001')",
                      "INSERT INTO AUDITORIA (AUDI_ID, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, AUDI_COD) "
                      "VALUES (4, '2016-10-09', '09:00:00', 1, 5, 'I', 'CP000005')"});
    const auto r = revisar(opciones({"--compania", "002", "--compania-destino", "102", "--tipo", "1,21"}));
    ASSERT_EQ(r.revision.pares.size(), 2u);
    const auto& comprobante = r.revision.pares[0].resumen;
    EXPECT_EQ(comprobante.noEncontrados, 1u);
    EXPECT_EQ(comprobante.totalOrigen.suma.texto(), "70.25") << "the missing voucher's debit";
    EXPECT_EQ(comprobante.totalDestino.suma.texto(), "0");
    ASSERT_EQ(comprobante.hallazgos.size(), 1u);
    EXPECT_EQ(comprobante.hallazgos[0].importeOrigen, "70.25");
    const auto& factura = r.revision.pares[1].resumen;
    EXPECT_EQ(factura.lineas, 2u) << "one line per audit row";
    EXPECT_EQ(factura.totalOrigen.suma.texto(), "1.25") << "the document once";
    EXPECT_EQ(factura.totalDestino.suma.texto(), "1.25");
}

// Summaries that cannot be written: no partial file, and the status says so.
// Beside its revisions, the folder keeps their history; --conservar removes
// nothing after a revision that did not complete (002 type 31 fails here).
TEST_F(Revision, ElHistorialListaLasRevisionesYConservarBorraLasViejas) {
    const std::string padre = e.dir.str() + "/revisiones";
    auto o = opciones();
    o.revision = padre + "/a";
    const auto a = revisar(o);
    ASSERT_FALSE(a.resumen.empty());
    EXPECT_TRUE(a.revision.avisos.empty()) << a.revision.avisos.front();
    o.revision = padre + "/b";
    o.conservar = 1;
    const auto b = revisar(o);
    ASSERT_FALSE(b.resumen.empty());
    ASSERT_EQ(b.revision.estadoSalida, 2);
    std::string avisos;
    for (const auto& aviso : b.revision.avisos) avisos += aviso + "\n";
    EXPECT_NE(avisos.find("--conservar"), std::string::npos) << avisos;

    const auto resumenB = nlohmann::json::parse(prueba::contenido(b.resumen));
    EXPECT_TRUE(fs::exists(padre + "/a/001/comparacion21.txt"));
    std::vector<nlohmann::json> lineas;
    std::ifstream historial(padre + "/historial.jsonl", std::ios::binary);
    for (std::string l; std::getline(historial, l);) lineas.push_back(nlohmann::json::parse(l));
    ASSERT_EQ(lineas.size(), 2u);
    const auto& ultima = lineas.back();
    EXPECT_EQ(ultima["carpeta"], "b");
    EXPECT_EQ(ultima["inicio"], resumenB["inicio"]);
    EXPECT_EQ(ultima["estado_salida"], b.revision.estadoSalida);
    std::size_t pares = 0, errores = 0, noEncontrados = 0, pendientes = 0;
    for (const auto& [estado, n] : ultima["pares"].items()) pares += n.get<std::size_t>();
    for (const auto& p : b.revision.pares) {
        errores += p.estado == conciliacion::ParRevision::Estado::Error;
        noEncontrados += p.resumen.noEncontrados;
        pendientes += p.resumen.pendientes;
    }
    EXPECT_EQ(pares, b.revision.pares.size());
    EXPECT_GT(errores, 0u) << "002 type 31";
    EXPECT_EQ(ultima["pares"]["error"], errores);
    EXPECT_EQ(ultima["hallazgos"]["no_encontrados"], noEncontrados);
    EXPECT_EQ(ultima["hallazgos"]["pendientes"], pendientes);
    EXPECT_NE(prueba::contenido(padre + "/indice.html").find("href=\"b/resumen.html\""), std::string::npos);
}

TEST_F(Revision, UnResumenQueNoSeEscribeEsUnError) {
    for (const char* falla : {"resumen.html", "resumen.json"}) {
        SCOPED_TRACE(falla);
        fs::remove_all(e.dir.str() + "/revision");
        publicar = [falla](std::string_view ruta, std::string_view bytes, std::string& error) {
            if (ruta.ends_with(falla)) {
                error = "No queda espacio en el dispositivo";
                return false;
            }
            std::string e;
            return plataforma::publicarArchivo(ruta, bytes, e);
        };
        const auto r = revisar(opciones({"--compania", "002", "--compania-destino", "102", "--tipo", "21"}));
        EXPECT_EQ(r.revision.estadoSalida, 2);
        EXPECT_NE(r.revision.mensaje.find(falla), std::string::npos) << r.revision.mensaje;
        const std::string json = r.carpeta + "/resumen.json";
        if (std::string(falla) == "resumen.json") {
            EXPECT_FALSE(fs::exists(json));
            EXPECT_TRUE(r.resumen.empty());
            EXPECT_EQ(prueba::contenido(r.carpeta + "/resumen.html").find("La réplica está completa"), std::string::npos);
        } else {
            EXPECT_EQ(nlohmann::json::parse(prueba::contenido(json))["estado_salida"], 2);
        }
        for (const auto& f : fs::directory_iterator(r.carpeta))
            EXPECT_EQ(f.path().string().find(".tmp"), std::string::npos) << f.path();
    }
}

}  // namespace
