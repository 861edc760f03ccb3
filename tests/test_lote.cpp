// autorep-lote end to end on embedded databases.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <filesystem>
#include <fstream>

#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

class Lote : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(e.dir.str() + "/registro.reg", std::ios::binary) << prueba::textoRegistro(e.aplicacion(), "dd/MM/yyyy");
        // Both sides are company 001 here: the destination company defaults to the origin's.
        prueba::crearCompania(e.servidorDestino(), "001");
        rutaDestino001 = e.servidorDestino() + "/datos/001/quorix.fdb";
    }
    // The run over October 2016 unless the extra options give dates of their own.
    prueba::SalidaLote lote(std::vector<std::string> extra, std::map<std::string, std::string> entorno = {}) {
        std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--destino", e.servidorDestino()};
        bool fechas = false, compania = false;
        for (const auto& x : extra) {
            fechas = fechas || x.rfind("--desde", 0) == 0 || x.rfind("--hasta", 0) == 0;
            compania = compania || x == "--compania";
        }
        if (!compania) a.insert(a.end(), {"--compania", "001"});
        if (!fechas) a.insert(a.end(), {"--desde", "2016-10-01", "--hasta", "2016-10-31"});
        a.insert(a.end(), extra.begin(), extra.end());
        entorno["AUTOREP_REGISTRO"] = e.dir.str() + "/registro.reg";
        return prueba::correrLote(a, entorno);
    }
    std::string resumen(int registros, int lineas, int iguales, int diferentes, int noEncontrados, int sinOrigen,
                        const std::string& tipo = "21") {
        return "registros: " + std::to_string(registros) + "\nlineas: " + std::to_string(lineas) +
               "\niguales: " + std::to_string(iguales) + "\ndiferentes: " + std::to_string(diferentes) +
               "\nno_encontrados: " + std::to_string(noEncontrados) + "\nsin_origen: " + std::to_string(sinOrigen) +
               "\nreporte: " + e.aplicacion() + "/comparacion" + tipo + ".txt\n";
    }
    Escenario e;
    std::string rutaDestino001;
};

TEST_F(Lote, TodoIgualSaleConCero) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "12.50")});
    prueba::ejecutar(rutaDestino001, {Escenario::documento(21, 9, "AB", "000001", "12.5")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    const auto r = lote({});
    EXPECT_EQ(r.estado, 0) << r.error;
    EXPECT_EQ(r.salida, resumen(1, 1, 1, 0, 0, 0));
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), "AB000001,05/10/2016,12.5,12.5\r\n");
}

TEST_F(Lote, DiferenciasFaltantesYSinOrigenSalenConUno) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "12.50"), Escenario::documento(21, 2, "AB", "000002", "3")});
    prueba::ejecutar(rutaDestino001, {Escenario::documento(21, 9, "AB", "000001", "12.4")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    e.auditar("2016-10-05", "10:00:00", 21, 2, 'I', "AB000002");
    e.auditar("2016-10-05", "10:00:00", 21, 3, 'I', "AB000003");
    const auto r = lote({"--tipo", "21"});
    EXPECT_EQ(r.estado, 1) << r.error;
    EXPECT_EQ(r.salida, resumen(3, 2, 0, 1, 1, 1));
}

TEST_F(Lote, SoloFaltantesSaleConUno) {
    e.enOrigen({Escenario::documento(21, 2, "AB", "000002", "3")});
    e.auditar("2016-10-05", "10:00:00", 21, 2, 'I', "AB000002");
    const auto r = lote({});
    EXPECT_EQ(r.estado, 1);
    EXPECT_EQ(r.salida, resumen(1, 1, 0, 0, 1, 0));
}

// A single run that checks nothing never passes: a type without a rule and
// reversed dates are refused before connecting, and a run that read no audit
// row has its own status, 3.
TEST_F(Lote, LoQueNoSeCompruebaNoPasa) {
    e.auditar("2016-10-05", "10:00:00", 21, 2, 'I', "AB000002");
    prueba::ejecutar(e.rutaGeneral, {"INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('SN', NULL)"});
    prueba::crearCompania(e.servidorOrigen(), "SN");
    prueba::crearCompania(e.servidorDestino(), "SN");
    struct {
        std::vector<std::string> extra;
        int estado;
        const char* mensaje;
        bool reporte;  // whether the run got as far as its report
    } casos[] = {
        {{"--desde=2016-10-31", "--hasta=2016-10-01"}, 2, "posterior", false},
        {{"--tipo", "2"}, 2, "no tiene regla", false},
        {{"--tipo", "99"}, 2, "no tiene regla", false},
        {{"--tipo", "-21"}, 2, "no tiene regla", false},
        {{"--tipo", "31"}, 3, "ninguna fila de auditoría", true},
        {{"--desde", "2020-01-01", "--hasta", "2020-01-31"}, 3, "ninguna fila de auditoría", true},
        // A company whose name is NULL exists all the same.
        {{"--compania", "SN", "--tipo", "61"}, 3, "ninguna fila de auditoría", true},
    };
    for (const auto& c : casos) {
        fs::remove_all(e.aplicacion());
        fs::create_directories(e.aplicacion());
        const auto r = lote(c.extra);
        EXPECT_EQ(r.estado, c.estado) << c.extra[0] << " " << c.extra[1] << ": " << r.error;
        EXPECT_NE(r.error.find(c.mensaje), std::string::npos) << r.error;
        bool hayReporte = false;
        for (const auto& f : fs::directory_iterator(e.aplicacion()))
            hayReporte = hayReporte || f.path().filename().string().rfind("comparacion", 0) == 0;
        EXPECT_EQ(hayReporte, c.reporte) << c.extra[1];
    }
}

TEST_F(Lote, OpcionesMalasNoConectanNiEscriben) {
    for (std::vector<std::string> malas : std::vector<std::vector<std::string>>{
             {"--nada"}, {"--desde", "2016-02-30"}, {"--tipo", "21 OR 1=1"}, {"--tipo"}, {"--hasta", "ayer"}}) {
        const auto r = lote(malas);
        EXPECT_EQ(r.estado, 2) << malas[0];
        EXPECT_NE(r.error.find(malas[0].substr(0, malas[0].find('='))), std::string::npos) << r.error;
        EXPECT_TRUE(r.salida.empty());
    }
    EXPECT_TRUE(fs::is_empty(e.aplicacion()));
}

TEST_F(Lote, CompaniaDesconocidaOEnOtrasMayusculas) {
    prueba::ejecutar(e.rutaGeneral, {"INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('AbC', 'Mixta')"});
    for (const char* codigo : {"999", "abc", "0'1"}) {
        auto a = std::vector<std::string>{"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", codigo,
                                          "--destino", e.servidorDestino()};
        const auto r = prueba::correrLote(a, {{"AUTOREP_REGISTRO", e.dir.str() + "/registro.reg"}});
        EXPECT_EQ(r.estado, 2) << codigo;
        EXPECT_NE(r.error.find(std::string("La compañía \"") + codigo + "\" no existe"), std::string::npos) << r.error;
    }
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
    EXPECT_TRUE(fs::exists(e.aplicacion() + "/ERRORES.TXT")) << "errors are logged as the window logs them";
}

TEST_F(Lote, DestinoInalcanzable) {
    const auto r = lote({"--compania-destino", "777"});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("No se pudo conectar con el servidor de destino " + e.servidorDestino() + "/datos/777/quorix.fdb"),
              std::string::npos) << r.error;
    const auto log = prueba::contenido(e.aplicacion() + "/errorenvio.txt");
    EXPECT_NE(log.find(",No se pudo conectar con el servidor " + e.servidorDestino() + "/datos/777/quorix.fdb\r\n"),
              std::string::npos)
        << log;
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
}

TEST_F(Lote, ElOrigenContraSiMismoEsUnError) {
    e.auditar("2016-10-05", "10:00:00", 21, 2, 'I', "AB000002");
    const auto r = prueba::correrLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                       "--destino", e.servidorOrigen(), "--desde", "2016-10-01", "--hasta", "2016-10-31"},
                                      {{"AUTOREP_REGISTRO", e.dir.str() + "/registro.reg"}});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("La base de destino " + e.servidorOrigen() +
                           "/datos/001/quorix.fdb es la misma base de la compañía de origen"),
              std::string::npos)
        << r.error;
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/errorenvio.txt"));
}

TEST_F(Lote, AyudaYVersion) {
    const auto ayuda = prueba::correrLote({"--ayuda"});
    EXPECT_EQ(ayuda.estado, 0);
    EXPECT_NE(ayuda.salida.find("Uso: autorep-lote"), std::string::npos);
    const auto version = prueba::correrLote({"--version"});
    EXPECT_EQ(version.estado, 0);
    EXPECT_EQ(version.salida.rfind("autorep-lote ", 0), 0u);
}

TEST_F(Lote, SinRegistroNiDirectorioEsUnError) {
    const auto r = prueba::correrLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                       "--destino", e.servidorDestino()},
                                      {{"AUTOREP_REGISTRO", e.dir.str() + "/no-esta.reg"}});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("--directorio"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(e.dir.str() + "/no-esta.reg"), std::string::npos) << "the missing file is named: " << r.error;
}

}  // namespace

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/apoyo/datos_masivos.h"

namespace {

TEST(LoteInterrumpido, CtrlCCierraElReporteConLineasEnterasYSaleCon130) {
    prueba::Escenario e;
    prueba::llenar(e, 20000);
    const std::string reporte = e.aplicacion() + "/comparacion21.txt";
    const pid_t hijo = fork();
    if (hijo == 0) {
        const std::string registro = "AUTOREP_REGISTRO=/nonexistent";
        putenv(const_cast<char*>(registro.c_str()));
        execl(AUTOREP_LOTE, AUTOREP_LOTE, "--origen", e.servidorOrigen().c_str(), "--usuario", "admin", "--compania", "001",
              "--destino", e.servidorDestino().c_str(), "--compania-destino", "002", "--desde", "2016-10-01", "--hasta",
              "2016-10-31", "--directorio", e.aplicacion().c_str(), "--fila-a-fila", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupt once some lines are on disk; row by row, the run is still
    // writing for a while then (batched, the lines follow each other in a
    // few milliseconds).
    for (int i = 0; i < 2000 && prueba::contenido(reporte).size() < 200; ++i) usleep(5000);
    kill(hijo, SIGINT);
    int estado = 0;
    waitpid(hijo, &estado, 0);
    ASSERT_TRUE(WIFEXITED(estado));
    EXPECT_EQ(WEXITSTATUS(estado), 130);
    const std::string lineas = prueba::contenido(reporte);
    ASSERT_FALSE(lineas.empty());
    EXPECT_EQ(lineas.substr(lineas.size() - 2), "\r\n") << "no half line";
    std::size_t cuenta = 0;
    for (std::size_t p = 0; (p = lineas.find("\r\n", p)) != std::string::npos; p += 2) ++cuenta;
    EXPECT_LT(cuenta, 4000u) << "the run stopped before its end";
}

}  // namespace

namespace {

// One document to reconcile, and its report held locked by another program.
class ReporteAjeno : public ::testing::Test {
protected:
    void SetUp() override {
        e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1")});
        e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
        otro = open(reporte.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        ASSERT_EQ(flock(otro, LOCK_EX), 0);
    }
    void TearDown() override { soltar(); }
    void soltar() {
        if (otro >= 0) close(otro);
        otro = -1;
    }
    std::vector<std::string> argumentos(std::vector<std::string> extra = {}) const {
        std::vector<std::string> a = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                      "--destino", e.servidorDestino(), "--compania-destino", "002", "--desde",
                                      "2016-10-01", "--hasta", "2016-10-31", "--directorio", e.aplicacion()};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }
    prueba::Escenario e;
    const std::string reporte = e.aplicacion() + "/comparacion21.txt";
    int otro = -1;
};

TEST_F(ReporteAjeno, OcupadoDemasiadoTiempoEsUnError) {
    const auto r = prueba::correrLote(argumentos({"--espera-reporte", "1"}), {{"AUTOREP_REGISTRO", "/nonexistent"}});
    soltar();
    EXPECT_EQ(r.estado, 2) << r.error;
    EXPECT_NE(r.error.find("Esperando a que otra corrida termine con el reporte " + reporte), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("sigue en uso por otra corrida"), std::string::npos) << r.error;
    EXPECT_EQ(prueba::contenido(reporte), "");
}

TEST(LoteInterrumpido, CadaSenalDeTerminacionCortaLosLotesConLineasEnteras) {
    prueba::Escenario e;
    // Vouchers alone: a fifth of a mix of this size is read in less time
    // than the signal waits.
    prueba::llenar(e, 60000, 1);
    const std::string reporte = e.aplicacion() + "/comparacion1.txt";
    for (int senal : {SIGINT, SIGTERM, SIGHUP}) {
        std::filesystem::remove(reporte);
        prueba::Proceso lote(AUTOREP_LOTE,
                             {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001", "--destino",
                              e.servidorDestino(), "--compania-destino", "002", "--tipo", "1", "--desde", "2016-10-01",
                              "--hasta", "2016-10-31", "--directorio", e.aplicacion()},
                             {{"AUTOREP_REGISTRO", "/nonexistent"}});
        // While the audit rows and their lookups arrive: the report is opened
        // only after them, and its lines then take too short a time to aim at.
        usleep(300000);
        lote.senal(senal);
        ASSERT_TRUE(lote.esperar(60)) << "signal " << senal;
        EXPECT_EQ(lote.estado(), 130) << "signal " << senal << ": " << lote.error();
        const std::string lineas = prueba::contenido(reporte);
        if (!lineas.empty()) {
            EXPECT_EQ(lineas.substr(lineas.size() - 2), "\r\n") << "no half line";
        }
        EXPECT_TRUE(lote.salida().empty()) << "no summary of a run cut short";
    }
}

TEST(LoteRegistro, LoQueTengaElRegistroTerminaEnUnMensajeYNoEnUnAborto) {
    prueba::DirectorioTemporal dir;
    const std::string reg = dir.str() + "/registro.reg";
    struct {
        const char* que;
        std::string contenido;
        const char* mensaje;
    } casos[] = {
        {"un DWORD", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=dword:00000001\r\n",
         "Invalid data type for 'Directorio'"},
        {"binario", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=hex:41,42\r\n",
         "Invalid data type for 'Directorio'"},
        {"mal formado", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\r\n", "Archivo de registro"},
        {"sin encabezado", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n", "Archivo de registro"},
    };
    for (const auto& c : casos) {
        std::ofstream(reg, std::ios::binary | std::ios::trunc) << c.contenido;
        const auto r = prueba::correrLote({"--origen", dir.str(), "--usuario", "admin", "--compania", "001", "--destino",
                                           dir.str()},
                                          {{"AUTOREP_REGISTRO", reg}});
        EXPECT_EQ(r.estado, 2) << c.que;
        EXPECT_NE(r.error.find(c.mensaje), std::string::npos) << c.que << ": " << r.error;
        EXPECT_EQ(r.error.find("terminate"), std::string::npos) << c.que << ": " << r.error;
    }
}

}  // namespace

namespace {

// A hang-up the parent told the program to ignore (nohup) stays ignored.
TEST_F(ReporteAjeno, UnaSenalQueElPadreIgnoraSigueIgnorada) {
    // The run waits for the report the test holds: a known moment to signal it.
    std::vector<std::string> a = {"-c", "trap '' HUP; exec \"$0\" \"$@\"", AUTOREP_LOTE};
    for (const auto& x : argumentos()) a.push_back(x);
    prueba::Proceso lote("/bin/sh", a, {{"AUTOREP_REGISTRO", "/nonexistent"}});
    for (int i = 0; i < 2000 && lote.error().find("Esperando") == std::string::npos; ++i) usleep(5000);
    ASSERT_NE(lote.error().find("Esperando"), std::string::npos) << lote.error();
    lote.senal(SIGHUP);
    usleep(300000);
    soltar();
    ASSERT_TRUE(lote.esperar(60));
    EXPECT_EQ(lote.estado(), 1) << "it ran to its end: " << lote.error();
    const std::string lineas = prueba::contenido(reporte);
    EXPECT_EQ(lineas.rfind("AB000001,", 0), 0u) << lineas;
    EXPECT_EQ(lineas.substr(lineas.find(",1,")), ",1,No encontrado\r\n") << lineas;
}

TEST(LoteSenales, UnArgumentoQueWindows1252NoTieneNoSeCambiaPorOtro) {
    const auto r = prueba::correrLote({"--origen", "/srv/\xD0\x94\xD0\xBE\xD0\xBA", "--usuario", "a", "--compania", "1",
                                       "--destino", "d"});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("no puede representar"), std::string::npos) << r.error;
}

}  // namespace
