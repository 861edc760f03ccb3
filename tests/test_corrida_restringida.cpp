// A run restricted to given audit rows: it reads only their documents and
// writes the lines a run of the whole range writes for those rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/vista_grabadora.h"

using namespace autorep;
using conciliacion::FilaBuscada;
using prueba::Escenario;

namespace {

namespace fs = std::filesystem;

plataforma::FechaHora momento(unsigned dia, unsigned hora, unsigned minuto = 0) {
    return {{2016, 10, dia}, {hora, minuto, 0, 0}};
}

class CorridaRestringida : public ::testing::Test {
protected:
    void SetUp() override {
        principal::configurarConexionCompania(DbCia);
        principal::configurarConexionCompania(DBEnvio);
        DbCia.ponerParametro("Database", e.rutaOrigen);
        entradas.companiaOrigen = "Empresa Uno";
        entradas.companiaDestino = "002";
        entradas.tipo = "21";
        entradas.desde = plataforma::FechaHora{{2016, 10, 1}, {0, 0, 0, 0}};
        entradas.hasta = plataforma::FechaHora{{2016, 10, 31}, {23, 59, 59, 999}};
        entradas.servidorDestino = e.servidorDestino();
        DbCia.ponerObservador([this](const std::string& s) {
            if (s.find(" FROM AUDITORIA ") != std::string::npos) ++lecturasAuditoria;
        });
    }

    struct Salida {
        std::string reporte;
        conciliacion::Resumen resumen;
        std::size_t leidas = 0;
        int lecturas = 0;  // statements on AUDITORIA
    };
    Salida correr(bool filaAFila) {
        const std::string ruta = e.aplicacion() + "/comparacion21.txt";
        fs::remove(ruta);
        lecturasAuditoria = 0;
        entradas.filaAFila = filaAFila;
        Salida s;
        conciliacion::EntornoCorrida entorno{regional, reloj, [this] { return e.aplicacion(); }, avisador, vista};
        entorno.filasAuditoria = &s.leidas;
        s.resumen = conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
        s.reporte = prueba::contenido(ruta);
        s.lecturas = lecturasAuditoria;
        return s;
    }

    Escenario e;
    bd::Conexion DbCia{"DbCia"}, DBEnvio{"DBEnvio"};
    conciliacion::EntradasCorrida entradas;
    plataforma::Regional regional = prueba::regionalPrueba();
    plataforma::RelojFijo reloj{{{2016, 11, 2}, {8, 30, 15, 0}}};
    prueba::AvisadorGrabador avisador;
    prueba::VistaGrabadora vista;
    int lecturasAuditoria = 0;
};

TEST_F(CorridaRestringida, SoloLasFilasNombradasSeBuscanYEscriben) {
    // Document 7 inserted and updated twice, 3 missing from the destination,
    // 5 gone from the origin, 10 and 12 equal on both sides (10 sorts before
    // 3 as text), 4 of another type.
    e.enOrigen({Escenario::documento(21, 7, "AB", "000007", "10.00"), Escenario::documento(21, 3, "AB", "000003", "3.00"),
                Escenario::documento(21, 10, "AB", "000010", "1.00"), Escenario::documento(21, 12, "AB", "000012", "2.00")});
    e.enDestino({Escenario::documento(21, 70, "AB", "000007", "12.00"), Escenario::documento(21, 100, "AB", "000010", "1.00"),
                 Escenario::documento(21, 120, "AB", "000012", "2.00")});
    e.auditar("2016-10-05", "09:00:00", 21, 7, 'I', "AB000007");
    e.auditar("2016-10-09", "07:00:00", 21, 7, 'U', "AB000007");
    e.auditar("2016-10-09", "08:00:00", 21, 7, 'U', "AB000007");
    e.auditar("2016-10-08", "07:00:00", 21, 3, 'I', "AB000003");
    e.auditar("2016-10-06", "07:00:00", 21, 5, 'I', "AB000005");
    e.auditar("2016-10-02", "07:00:00", 21, 10, 'I', "AB000010");
    e.auditar("2016-10-03", "07:00:00", 21, 12, 'I', "AB000012");
    e.auditar("2016-10-03", "07:00:00", 31, 4, 'I', "AB00000004");

    const FilaBuscada i7{"7", "AB000007", "I", momento(5, 9)}, u7{"7", "AB000007", "U", momento(9, 7)},
        f3{"3", "AB000003", "I", momento(8, 7)}, f5{"5", "AB000005", "I", momento(6, 7)},
        f10{"10", "AB000010", "I", momento(2, 7)};
    const std::string linea7I = "AB000007,05/10/2016,10,12\r\n", linea7U = "AB000007,09/10/2016,10,12\r\n",
                      linea3 = "AB000003,08/10/2016,3,No encontrado\r\n", linea10 = "AB000010,02/10/2016,1,1\r\n";
    struct Caso {
        const char* nombre;
        std::vector<FilaBuscada> filas;
        std::size_t idsPorConsulta;
        std::string reporte;
        std::size_t registros, leidas;
        int lecturas;
    };
    const std::vector<Caso> casos = {
        {"one update of a document with I and U rows", {u7}, 1500, linea7U, 1, 3, 1},
        {"a row of a document gone from the origin is counted, not written", {f5}, 1500, "", 1, 1, 1},
        {"several documents, lines in the audit order", {f10, u7, f3, f5, i7}, 1500, linea3 + linea7I + linea7U + linea10, 5, 6, 1},
        {"one id per statement keeps the audit order (10 after 7)", {f10, u7, f3, f5, i7}, 1, linea3 + linea7I + linea7U + linea10, 5, 6, 4},
        {"two ids per statement", {f10, u7, f3, f5}, 2, linea3 + linea7U + linea10, 4, 6, 2},
        {"a row no longer in AUDITORIA is simply absent", {{"8", "AB000008", "I", momento(7, 7)}, f3}, 1500, linea3, 1, 1, 1},
        {"every value must match: another millisecond, code, operation",
         {{"7", "AB000007", "U", {{2016, 10, 9}, {7, 0, 0, 1}}}, {"7", "AB000070", "I", momento(5, 9)},
          {"7", "AB000007", "U", momento(5, 9)}},
         1500, "", 0, 3, 1},
        {"a row of another type or outside the range is not read", {{"4", "AB00000004", "I", momento(3, 7)}}, 1500, "", 0, 0, 1},
        {"the same row named twice is written once", {f3, f3}, 1500, linea3, 1, 1, 1},
        {"an empty list reads nothing", {}, 1500, "", 0, 0, 0},
        {"a row without a document id reads nothing", {{"", "AB000007", "I", momento(5, 9)}}, 1500, "", 0, 0, 0},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        entradas.soloFilas = c.filas;
        entradas.idsPorConsulta = c.idsPorConsulta;
        for (const bool filaAFila : {false, true}) {
            SCOPED_TRACE(filaAFila ? "row by row" : "batched");
            const auto s = correr(filaAFila);
            EXPECT_EQ(s.reporte, c.reporte);
            EXPECT_EQ(s.resumen.registros, c.registros);
            EXPECT_EQ(s.resumen.lineas, static_cast<std::size_t>(std::count(c.reporte.begin(), c.reporte.end(), '\n')));
            EXPECT_EQ(s.leidas, c.leidas);
            EXPECT_EQ(s.lecturas, c.lecturas);
            EXPECT_TRUE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
        }
    }
}

// A text AUDI_IDDOC: the ids go in quoted, and the server orders them as text.
TEST_F(CorridaRestringida, UnIdDeTextoSeBuscaComoTexto) {
    e.redefinirEnOrigen("AUDITORIA", {{"AUDI_IDDOC", "VARCHAR(20)"}});
    e.enOrigen({Escenario::documento(21, 7, "AB", "000007", "7.00"), Escenario::documento(21, 10, "AB", "000010", "1.00")});
    e.auditar("2016-10-05", "09:00:00", 21, 7, 'I', "AB000007");
    e.auditar("2016-10-02", "07:00:00", 21, 10, 'I', "AB000010");
    e.auditar("2016-10-03", "07:00:00", 21, 12, 'I', "AB000012");
    entradas.soloFilas = {{"7", "AB000007", "I", momento(5, 9)}, {"10", "AB000010", "I", momento(2, 7)}};
    for (const std::size_t porConsulta : {1u, 1500u}) {
        entradas.idsPorConsulta = porConsulta;
        for (const bool filaAFila : {false, true}) {
            const auto s = correr(filaAFila);
            EXPECT_EQ(s.reporte, "AB000010,02/10/2016,1,No encontrado\r\nAB000007,05/10/2016,7,No encontrado\r\n");
            EXPECT_EQ(s.leidas, 2u);
        }
    }
}

// Document 4's origin amount is computed, and its second row cannot be: the
// batches of the second statement break off there, after the lines of the
// first statement and of document 3, and the rule meets the error at its
// row. Both runs leave the same lines and end with the same error.
TEST_F(CorridaRestringida, UnaSentenciaQueFallaDejaLasLineasDeLaReferencia) {
    e.redefinirEnOrigen("FACTURAS_COMPRA",
                        {{"FACO_ID", "INTEGER"}, {"FACO_TOTAL", "COMPUTED BY (CAST(FACO_NUMERO AS NUMERIC(15,2)) / 100)"}});
    std::vector<std::string> origen, destino;
    entradas.soloFilas.emplace();
    for (long i = 1; i <= 6; ++i) {
        const std::string numero = "00000" + std::to_string(i), codigo = "FC" + numero;
        origen.push_back("INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (" + std::to_string(i) +
                         ", 'FC', '" + numero + "')");
        if (i == 4) origen.push_back("INSERT INTO FACTURAS_COMPRA (FACO_ID, PREF_PRE, FACO_NUMERO) VALUES (4, 'FC', 'X00004')");
        destino.push_back(Escenario::documento(21, 100 + i, "FC", numero, i == 2 ? "9.99" : "0.0" + std::to_string(i)));
        e.auditar("2016-10-10", "08:00:00", 21, i, 'I', codigo);
        entradas.soloFilas->push_back({std::to_string(i), codigo, "I", momento(10, 8)});
    }
    // A row of document 3 not asked for: read by the batches, neither written nor read again.
    e.auditar("2016-10-11", "08:00:00", 21, 3, 'U', "FC000003");
    e.enOrigen(origen);
    e.enDestino(destino);
    entradas.idsPorConsulta = 2;

    auto correrFallida = [&](bool filaAFila) {
        std::string error;
        try {
            correr(filaAFila);
        } catch (const std::exception& x) {
            error = x.what();
        }
        return std::pair{prueba::contenido(e.aplicacion() + "/comparacion21.txt"), error};
    };
    const auto [referencia, errorReferencia] = correrFallida(true);
    const auto [porLotes, errorPorLotes] = correrFallida(false);
    std::string codigos;
    std::istringstream lineas(referencia);
    for (std::string l; std::getline(lineas, l);) codigos += l.substr(0, l.find(',')) + " ";
    ASSERT_EQ(codigos, "FC000001 FC000002 FC000003 ");
    ASSERT_FALSE(errorReferencia.empty());
    EXPECT_EQ(porLotes, referencia);
    EXPECT_EQ(errorPorLotes, errorReferencia);
}

TEST(ConsultasAuditoria, LasListasDeIdsCabenEnLoQueFirebirdAcepta) {
    const plataforma::Fecha desde{2016, 10, 1}, hasta{2016, 10, 31};
    const std::string cabeza = "SELECT * FROM AUDITORIA WHERE TIDO_COD = 21 AND ((AUDI_OPER = 'I') OR (AUDI_OPER = 'U')) "
                               "AND AUDI_FECHA >= '2016-10-01' AND AUDI_FECHA <= '2016-10-31' AND (";
    const std::string cola = ") ORDER BY AUDI_IDDOC, AUDI_FECHA, AUDI_HORA";
    auto filas = [](std::vector<std::string> ids) {
        std::vector<FilaBuscada> r;
        for (auto& id : ids) r.push_back({std::move(id), "X", "I", {}});
        return r;
    };
    std::vector<std::string> diecisiete;
    std::string dieciseis;
    for (int i = 1; i <= 17; ++i) diecisiete.push_back(std::to_string(i));
    for (int i = 1; i <= 16; ++i) dieciseis += (i == 1 ? "" : ", ") + std::to_string(i);
    struct Caso {
        const char* nombre;
        std::vector<FilaBuscada> filas;
        bool idEntero;
        std::size_t porConsulta;
        std::vector<std::string> condiciones;
    };
    const std::vector<Caso> casos = {
        {"numbers sort as numbers, each id once", filas({"10", "9", "-2", "09", "100"}), true, 1500,
         {"(AUDI_IDDOC BETWEEN -2 AND 100 AND AUDI_IDDOC IN (-2, 9, 10, 100))"}},
        {"sixteen ids to a range", filas(diecisiete), true, 1500,
         {"(AUDI_IDDOC BETWEEN 1 AND 16 AND AUDI_IDDOC IN (" + dieciseis +
          ")) OR (AUDI_IDDOC BETWEEN 17 AND 17 AND AUDI_IDDOC IN (17))"}},
        {"split by the count asked for", filas({"3", "1", "2"}), true, 2,
         {"(AUDI_IDDOC BETWEEN 1 AND 2 AND AUDI_IDDOC IN (1, 2))", "(AUDI_IDDOC BETWEEN 3 AND 3 AND AUDI_IDDOC IN (3))"}},
        {"no row holds an empty id, nor a text in a number column", filas({"", "x", "5"}), true, 1500,
         {"(AUDI_IDDOC BETWEEN 5 AND 5 AND AUDI_IDDOC IN (5))"}},
        {"a text column: quoted, by their bytes, quotes doubled", filas({"b", "a'1", "9", "10"}), false, 1500,
         {"AUDI_IDDOC IN ('10', '9', 'a''1', 'b')"}},
        {"no row, no statement", {}, true, 1500, {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        std::vector<std::string> esperadas;
        for (const auto& l : c.condiciones) esperadas.push_back(cabeza + l + cola);
        EXPECT_EQ(conciliacion::consultasAuditoria("21", desde, hasta, c.filas, c.idEntero, c.porConsulta), esperadas);
    }

    // Many ids: no list beyond Firebird's 1,500 values, no statement near its 64 KB.
    std::vector<std::string> numeros, grandes, textos;
    for (long i = 1; i <= 4000; ++i) {
        numeros.push_back(std::to_string(i));
        grandes.push_back(std::to_string(1000000000000000000L + i * 1000000L));
        textos.push_back(std::string(34, 'x') + std::to_string(1000000 + i));
    }
    struct Muchos {
        const std::vector<std::string>& ids;
        bool idEntero;
        std::size_t sentencias;
    };
    for (const auto& m : {Muchos{numeros, true, 3}, Muchos{grandes, true, 3}, Muchos{textos, false, 4}}) {
        const auto consultas = conciliacion::consultasAuditoria("21", desde, hasta, filas(m.ids), m.idEntero, 100000);
        std::size_t valores = 0;
        for (const auto& c : consultas) {
            std::size_t n = 0;
            for (auto p = c.find("IN ("); p != std::string::npos; p = c.find("IN (", p + 1))
                n += 1 + static_cast<std::size_t>(std::count(c.begin() + p, c.begin() + c.find(')', p), ','));
            EXPECT_LE(n, conciliacion::maximoIdsPorConsulta);
            EXPECT_LE(c.size(), 50u * 1024);
            valores += n;
        }
        EXPECT_EQ(valores, m.ids.size());
        EXPECT_EQ(consultas.size(), m.sentencias);
    }
}

// Over a range of many documents, a few rows scattered among them: only
// their rows are read, and their lines are the whole run's.
TEST_F(CorridaRestringida, PocasFilasDeUnRangoGrandeLeenSoloEsas) {
    const long n = 3000;
    prueba::llenar(e, n, 21);
    entradas.soloFilas.reset();
    const auto completa = correr(false);
    ASSERT_EQ(completa.leidas, static_cast<std::size_t>(n));

    // The bulk fixture's row I: document I, day 1 + I mod 31, 08:00, an
    // update when I is a multiple of 7.
    std::vector<FilaBuscada> filas;
    std::string esperado;
    // 1500 is gone from the origin, 60 missing from the destination, 2970 there with another amount.
    for (const long i : {2801L, 7L, 1500L, 60L, 999L, 2970L}) {
        char codigo[16];
        std::snprintf(codigo, sizeof codigo, "FC%06ld", i);
        filas.push_back({std::to_string(i), codigo, i % 7 == 0 ? "U" : "I",
                         momento(static_cast<unsigned>(1 + i % 31), 8)});
    }
    std::istringstream lineas(completa.reporte);
    for (std::string l; std::getline(lineas, l);)
        for (const auto& f : filas)
            if (l.rfind(f.codigo + ",", 0) == 0) esperado += l + "\n";
    ASSERT_FALSE(esperado.empty());

    entradas.soloFilas = filas;
    entradas.idsPorConsulta = 4;
    const auto porLotes = correr(false), filaAFila = correr(true);
    EXPECT_EQ(porLotes.reporte, esperado);
    EXPECT_EQ(filaAFila.reporte, esperado);
    EXPECT_EQ(porLotes.resumen.registros, 6u);
    EXPECT_EQ(porLotes.leidas, 6u) << "the restricted run read rows beyond its documents";
    EXPECT_EQ(filaAFila.leidas, 6u);
    EXPECT_EQ(porLotes.lecturas, 2);
}

}  // namespace
