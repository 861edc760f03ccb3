// The reconciliation run over embedded origin and destination databases.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "app/inicio.h"
#include "db/error_bd.h"
#include "platform/cp1252.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "reconcile/reglas.h"
#include "tests/apoyo/entorno_prueba.h"
#include "reconcile/reporte.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/fallo_cierre.h"
#include "tests/apoyo/vista_grabadora.h"

using namespace autorep;
using conciliacion::Resumen;
using prueba::Escenario;

namespace {

namespace fs = std::filesystem;

class Corrida : public ::testing::Test {
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
        DBEnvio.ponerObservador([this](const std::string&) { ++sentenciasDestino; });
        DbCia.ponerObservador([this](const std::string& s) { sentenciasOrigen.push_back(s); });
    }

    Resumen correr() {
        conciliacion::EntornoCorrida entorno{regional, reloj, [this] { return e.aplicacion(); }, avisador, vista,
                                             &interrupcion, espera};
        return conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
    }
    // What a run cut short must leave: the run display hidden, both companies disconnected.
    void esperarLimpieza() {
        ASSERT_GE(vista.eventos.size(), 2u);
        EXPECT_EQ(vista.eventos.end()[-2], "ocultarRegistro");
        EXPECT_EQ(vista.eventos.back(), "ocultarEstado");
        EXPECT_FALSE(DbCia.conectada());
        EXPECT_FALSE(DBEnvio.conectada());
    }
    std::string reporte(const std::string& tipo = "21") { return prueba::contenido(e.aplicacion() + "/comparacion" + tipo + ".txt"); }
    bool existe(const std::string& nombre) { return fs::exists(e.aplicacion() + "/" + nombre); }

    Escenario e;
    bd::Conexion DbCia{"DbCia"}, DBEnvio{"DBEnvio"};
    conciliacion::EntradasCorrida entradas;
    plataforma::Regional regional = prueba::regionalPrueba();
    plataforma::RelojFijo reloj{{{2016, 11, 2}, {8, 30, 15, 0}}};
    prueba::AvisadorGrabador avisador;
    prueba::VistaGrabadora vista;
    int sentenciasDestino = 0;
    std::vector<std::string> sentenciasOrigen;
    conciliacion::Interrupcion interrupcion;
    std::chrono::milliseconds espera{5000};
};

TEST_F(Corrida, SinCompaniaSoloElMensaje) {
    entradas.companiaOrigen.clear();
    EXPECT_EQ(correr().fin, Resumen::Fin::SinCompania);
    EXPECT_EQ(avisador.mensajes, (std::vector<std::string>{"Debe indicar la compa\xF1\xED" "a de origen."}));
    EXPECT_TRUE(vista.eventos.empty());
    EXPECT_FALSE(DBEnvio.conectada());
    EXPECT_TRUE(fs::is_empty(e.aplicacion()));
}

TEST_F(Corrida, DestinoInalcanzableUnaLineaEnErrorenvioYNingunReporte) {
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    entradas.companiaDestino = "999";
    try {
        correr();
        FAIL() << "the run ended as if it had found nothing";
    } catch (const conciliacion::ErrorDestino& error) {
        const std::string m = error.what();
        EXPECT_EQ(m.rfind("No se pudo conectar con el servidor de destino " + e.servidorDestino() + "/datos/999/quorix.fdb: ", 0), 0u) << m;
        EXPECT_NE(m.find("I/O error"), std::string::npos) << m;
    }
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/errorenvio.txt"),
              "02/11/2016,08:30:15,No se pudo conectar con el servidor " + e.servidorDestino() + "/datos/999/quorix.fdb\r\n");
    EXPECT_FALSE(existe("comparacion21.txt"));
    EXPECT_TRUE(avisador.mensajes.empty());
    EXPECT_EQ(vista.eventos, (std::vector<std::string>{"estado:Revisando informaci\xF3n ... ", "ocultarEstado"}));
    EXPECT_TRUE(sentenciasOrigen.empty()) << "the origin is left as it was";
}

// The login's default puts the origin's server in the destination box too:
// with the origin's own company code the run refuses before it connects,
// logs or writes anything.
TEST_F(Corrida, ElOrigenContraSiMismoSeRechazaSinEscribir) {
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    entradas.servidorDestino = e.servidorOrigen();
    entradas.companiaDestino = "001";
    try {
        correr();
        FAIL() << "the origin was compared with itself";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "La base de destino " + e.servidorOrigen() +
                      "/datos/001/quorix.fdb es la misma base de la compa\xF1\xED" "a de origen: no hay nada que comparar.");
    }
    EXPECT_FALSE(DBEnvio.conectada());
    EXPECT_EQ(sentenciasDestino, 0);
    EXPECT_TRUE(sentenciasOrigen.empty());
    EXPECT_TRUE(vista.eventos.empty());
    EXPECT_TRUE(avisador.mensajes.empty());
    EXPECT_TRUE(fs::is_empty(e.aplicacion())) << "no report, no errorenvio.txt";
}

TEST_F(Corrida, SinFilasDeAuditoriaCreaElReporteVacio) {
    const auto r = correr();
    EXPECT_EQ(r.fin, Resumen::Fin::Completa);
    EXPECT_TRUE(existe("comparacion21.txt"));
    EXPECT_EQ(reporte(), "");
    EXPECT_EQ(vista.eventos, (std::vector<std::string>{"estado:Revisando informaci\xF3n ... ", "progreso:0", "mostrarRegistro",
                                                       "ocultarRegistro", "ocultarEstado"}));
    EXPECT_FALSE(DbCia.conectada());
    EXPECT_FALSE(DBEnvio.conectada());
}

TEST_F(Corrida, UnTipoSinReglaRecorreLasFilasSinEscribir) {
    e.auditar("2016-10-05", "10:00:00", 2, 1, 'I', "AB000001");
    e.auditar("2016-10-06", "10:00:00", 2, 2, 'U', "AB000002");
    entradas.tipo = "2";
    correr();
    EXPECT_EQ(vista.pasos, 2u);
    EXPECT_TRUE(existe("comparacion2.txt"));
    EXPECT_EQ(reporte("2"), "");
}

TEST_F(Corrida, UnDocumentoInsertadoYActualizadoDosVecesDaTresLineasEnOrden) {
    e.enOrigen({Escenario::documento(21, 7, "AB", "000007", "10.00"), Escenario::documento(21, 3, "AB", "000003", "3.00")});
    e.enDestino({Escenario::documento(21, 70, "AB", "000007", "10.00")});
    e.auditar("2016-10-09", "08:00:00", 21, 7, 'U', "AB000007");
    e.auditar("2016-10-05", "09:00:00", 21, 7, 'I', "AB000007");
    e.auditar("2016-10-09", "07:00:00", 21, 7, 'U', "AB000007");
    e.auditar("2016-10-08", "07:00:00", 21, 3, 'D', "AB000003");  // deletions are not audited here
    e.auditar("2016-10-08", "07:00:00", 21, 3, 'I', "AB000003");
    e.auditar("2016-10-08", "07:00:00", 31, 3, 'I', "AB000003");  // another type
    const auto r = correr();
    EXPECT_EQ(reporte(), "AB000003,08/10/2016,3,No encontrado\r\n"
                         "AB000007,05/10/2016,10,10\r\n"
                         "AB000007,09/10/2016,10,10\r\n"
                         "AB000007,09/10/2016,10,10\r\n");
    EXPECT_EQ(r.registros, 4u);
    EXPECT_EQ(r.lineas, 4u);
    EXPECT_EQ(r.iguales, 3u);
    EXPECT_EQ(r.noEncontrados, 1u);
    const std::vector<std::string> avances(vista.eventos.begin() + 3, vista.eventos.begin() + 7);
    EXPECT_EQ(avances, (std::vector<std::string>{"avanzar:21,I,08/10/2016", "avanzar:21,I,05/10/2016",
                                                 "avanzar:21,U,09/10/2016", "avanzar:21,U,09/10/2016"}));
}

TEST_F(Corrida, DosCorridasSeguidasAcumulanYElOrigenSeReconecta) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1.00")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    correr();
    EXPECT_FALSE(DbCia.conectada());
    correr();
    EXPECT_EQ(reporte(), "AB000001,05/10/2016,1,No encontrado\r\nAB000001,05/10/2016,1,No encontrado\r\n");
}

TEST_F(Corrida, LaConsultaDeAuditoriaUsaFechasIsoYLeeBienConFormatoDiaPrimero) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1.00"), Escenario::documento(21, 2, "AB", "000002", "2.00"),
                Escenario::documento(21, 3, "AB", "000003", "3.00")});
    e.auditar("2016-10-01", "00:00:00", 21, 1, 'I', "AB000001");
    e.auditar("2016-10-31", "23:59:59", 21, 2, 'I', "AB000002");
    e.auditar("2016-01-10", "10:00:00", 21, 3, 'I', "AB000003");  // 01/10 read month first
    correr();
    EXPECT_EQ(reporte(), "AB000001,01/10/2016,1,No encontrado\r\nAB000002,31/10/2016,2,No encontrado\r\n");
    ASSERT_FALSE(sentenciasOrigen.empty());
    // The batched run widens the select list with its origin lookups and
    // reads the query inside a block that packs its rows; the rows it asks
    // for are the audit query's own.
    const std::string condicion =
        " FROM AUDITORIA WHERE TIDO_COD = 21 AND ((AUDI_OPER = 'I') OR (AUDI_OPER = 'U')) AND AUDI_FECHA "
        ">= '2016-10-01' AND AUDI_FECHA <= '2016-10-31' ORDER BY AUDI_IDDOC, AUDI_FECHA, AUDI_HORA";
    const auto leida = std::find_if(sentenciasOrigen.begin(), sentenciasOrigen.end(),
                                    [](const std::string& s) { return s.find(" FROM AUDITORIA ") != std::string::npos; });
    ASSERT_NE(leida, sentenciasOrigen.end());
    const std::string& auditoria = *leida;
    const std::size_t consulta = auditoria.find("FOR SELECT AUDITORIA.*, ");
    ASSERT_NE(consulta, std::string::npos) << auditoria;
    EXPECT_NE(auditoria.find(condicion + "\nINTO ", consulta), std::string::npos) << auditoria;
}

TEST_F(Corrida, InicioDespuesDelFinNoDaFilas) {
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    entradas.desde = plataforma::FechaHora{{2016, 10, 31}, {}};
    entradas.hasta = plataforma::FechaHora{{2016, 10, 1}, {}};
    EXPECT_EQ(correr().registros, 0u);
    EXPECT_EQ(reporte(), "");
}

TEST_F(Corrida, UnTipoQueNoEsNumeroEnteroNoConectaNiEscribe) {
    for (const char* tipo : {"", "abc", "21 OR 1=1", "99999999999999999999999", "2 1", "21;", "../x", "1.5"}) {
        entradas.tipo = tipo;
        try {
            correr();
            ADD_FAILURE() << "'" << tipo << "' accepted";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()),
                      std::string("El tipo a revisar \"") + tipo + "\" no es un n\xFAmero entero.");
        }
    }
    EXPECT_EQ(sentenciasDestino, 0);
    EXPECT_FALSE(DBEnvio.conectada());
    EXPECT_TRUE(sentenciasOrigen.empty());
    EXPECT_TRUE(fs::is_empty(e.aplicacion()));
    EXPECT_TRUE(vista.eventos.empty());
}

TEST_F(Corrida, UnTipoConBlancosVaAsiAlNombreDelArchivo) {
    entradas.tipo = " 21";
    correr();
    EXPECT_TRUE(existe("comparacion 21.txt"));
}

TEST_F(Corrida, UnaFechaVaciaEsUnErrorClaro) {
    entradas.hasta.reset();
    try {
        correr();
        FAIL() << "an empty date was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), plataforma::ansi("La fecha final está vacía: indique una fecha."));
    }
    EXPECT_FALSE(DBEnvio.conectada());
    EXPECT_EQ(vista.eventos.back(), "ocultarEstado");
}

TEST_F(Corrida, UnErrorEnMedioDejaEnDiscoLasLineasAnteriores) {
    e.enOrigen(Escenario::comprobante(30, "CD", "CP", "000030", {{"1", "1"}}));
    e.enOrigen(Escenario::comprobante(31, "CD", "CP", "000031", {{"2", "2"}}));
    e.enDestino(Escenario::comprobante(700, "CD", "CP", "000031", {{"2", "2"}}));
    e.enDestino({"DROP TABLE COMPROBANTE_DETALLE"});
    e.auditar("2016-10-05", "10:00:00", 1, 30, 'I', "CP000030");
    e.auditar("2016-10-05", "10:00:00", 1, 31, 'I', "CP000031");
    entradas.tipo = "1";
    Resumen cuenta;
    try {
        conciliacion::EntornoCorrida entorno{regional, reloj, [this] { return e.aplicacion(); }, avisador, vista};
        conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno, cuenta);
        FAIL() << "the missing table went unnoticed";
    } catch (const bd::ErrorBaseDatos& error) {
        EXPECT_NE(std::string(error.what()).find("COMPROBANTE_DETALLE"), std::string::npos) << error.what();
    }
    EXPECT_EQ(reporte("1"), "CP000030,05/10/2016,30,CD ,No encontrado,No encontrado\r\n");
    EXPECT_EQ(cuenta.lineas, 1u) << "what was counted before the fault stays counted";
    EXPECT_EQ(cuenta.noEncontrados, 1u);
    EXPECT_EQ(cuenta.reporte, e.aplicacion() + "/comparacion1.txt");
    EXPECT_EQ(vista.eventos.end()[-2], "ocultarRegistro");
    EXPECT_EQ(vista.eventos.back(), "ocultarEstado");
    EXPECT_FALSE(DbCia.conectada());
    EXPECT_FALSE(DBEnvio.conectada());
}

TEST_F(Corrida, UnReporteQueNoSePuedeAbrirTerminaConUnErrorQueLoNombra) {
    fs::create_directory(e.aplicacion() + "/comparacion21.txt");  // a folder where the file should be
    try {
        correr();
        FAIL() << "the report's loss went unnoticed";
    } catch (const conciliacion::ErrorReporte& error) {
        EXPECT_NE(std::string(error.what()).find(e.aplicacion() + "/comparacion21.txt"), std::string::npos);
    }
    EXPECT_FALSE(DBEnvio.conectada());
}

TEST_F(Corrida, UnCierreFallidoDelReporteTambienLimpia) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1.00")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    prueba::fallarCierreDe(e.aplicacion() + "/comparacion21.txt");
    try {
        correr();
        FAIL() << "the failed close went unnoticed";
    } catch (const conciliacion::ErrorReporte& error) {
        EXPECT_NE(std::string(error.what()).find("No se pudo cerrar el reporte " + e.aplicacion() + "/comparacion21.txt"),
                  std::string::npos)
            << error.what();
    }
    esperarLimpieza();
}

TEST_F(Corrida, EsperaElReporteQueOtraCorridaEscribe) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1.00")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    const std::string ruta = e.aplicacion() + "/comparacion21.txt";
    const std::string esperando = "espera:Esperando a que otra corrida termine con el reporte " + ruta + " ...";
    {
        // The other run keeps the report longer than this one waits.
        conciliacion::Reporte otra(ruta);
        otra.escribirLinea({"OTRA"});
        espera = std::chrono::milliseconds(300);
        try {
            correr();
            FAIL() << "the run wrote into a report another run holds";
        } catch (const conciliacion::ErrorReporte& error) {
            EXPECT_NE(std::string(error.what()).find("sigue en uso por otra corrida"), std::string::npos) << error.what();
        }
        EXPECT_NE(std::find(vista.eventos.begin(), vista.eventos.end(), esperando), vista.eventos.end());
        esperarLimpieza();
        EXPECT_EQ(reporte(), "OTRA\r\n");
    }
    {
        // The other run ends while this one waits: its lines come after the other's.
        auto otra = std::make_unique<conciliacion::Reporte>(ruta);
        otra->escribirLinea({"OTRA"});
        std::thread termina([&otra] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            otra->escribirLinea({"FIN"});
            otra.reset();
        });
        vista.eventos.clear();
        espera = std::chrono::seconds(20);
        const auto r = correr();
        termina.join();
        EXPECT_EQ(r.lineas, 1u);
        EXPECT_EQ(reporte(), "OTRA\r\nOTRA\r\nFIN\r\nAB000001,05/10/2016,1,No encontrado\r\n");
        const auto paso = std::find(vista.eventos.begin(), vista.eventos.end(), esperando);
        ASSERT_NE(paso, vista.eventos.end());
        EXPECT_EQ(paso[1], "estado:Revisando informaci\xF3n ... ") << "back to the usual caption once it has the report";
    }
}

TEST_F(Corrida, UnaInterrupcionSeOyeEntreSentenciasDeLosLotes) {
    prueba::llenar(e, 12000, 21);
    std::size_t bloquesOrigen = 0, bloquesDestino = 0;
    // The stop is asked for while the first batch statement of the origin runs.
    DbCia.ponerObservador([&](const std::string& sql) {
        if (sql.rfind("EXECUTE BLOCK", 0) == 0 && ++bloquesOrigen == 1) interrupcion.pedir();
    });
    DBEnvio.ponerObservador([&](const std::string& sql) { bloquesDestino += sql.rfind("EXECUTE BLOCK", 0) == 0; });
    EXPECT_THROW(correr(), conciliacion::CorridaInterrumpida);
    EXPECT_EQ(bloquesOrigen, 1u) << "no statement after the stop";
    EXPECT_EQ(bloquesDestino, 0u);
    EXPECT_EQ(reporte(), "");
    esperarLimpieza();
}

TEST_F(Corrida, UnaInterrupcionAntesDeEmpezarNoEscribeNada) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1.00")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    interrupcion.pedir();
    EXPECT_THROW(correr(), conciliacion::CorridaInterrumpida);
    EXPECT_FALSE(existe("comparacion21.txt"));
    EXPECT_TRUE(vista.eventos.empty()) << "nothing began";
    EXPECT_FALSE(DBEnvio.conectada());
}

}  // namespace
