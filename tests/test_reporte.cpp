// The report file: appended, never truncated, never silently lost.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <memory>

#include "reconcile/reporte.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;
using conciliacion::ErrorReporte;
using conciliacion::Reporte;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const std::string separador = "\\";
#else
const std::string separador = "/";
#endif

TEST(Reporte, NombreYCuatroFormasDeLinea) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = Reporte::nombreArchivo(dir.str(), "21");
    EXPECT_EQ(ruta, dir.str() + separador + "comparacion21.txt");
    std::ofstream(ruta, std::ios::binary) << "anterior\r\n";
    {
        Reporte r(ruta);
        r.escribirLinea({"AB000123", "07/10/2016", "12.5", "12.5"});
        r.escribirLinea({"AB000124", "07/10/2016", "99", "No encontrado"});
        r.escribirLinea({"CP000030", "07/10/2016", "100", "100", "100", "90"});
        r.escribirLinea({"CP000031", "07/10/2016", "31", "CD ", "No encontrado", "No encontrado"});
        r.escribirLinea({"A,B", "07/10/2016", "12,5", ""});
        r.cerrar();
        EXPECT_EQ(r.lineas(), 5u);
    }
    EXPECT_EQ(prueba::contenido(ruta),
              "anterior\r\nAB000123,07/10/2016,12.5,12.5\r\nAB000124,07/10/2016,99,No encontrado\r\n"
              "CP000030,07/10/2016,100,100,100,90\r\nCP000031,07/10/2016,31,CD ,No encontrado,No encontrado\r\n"
              "A,B,07/10/2016,12,5,\r\n");
}

TEST(Reporte, NoSePuedeAbrir) {
    prueba::DirectorioTemporal dir;
    for (const std::string& ruta : {dir.str() + "/no/existe/comparacion21.txt", dir.str()}) {
        try {
            Reporte r(ruta);
            ADD_FAILURE() << "opened " << ruta;
        } catch (const ErrorReporte& e) {
            EXPECT_NE(std::string(e.what()).find("No se pudo abrir el reporte " + ruta), std::string::npos) << e.what();
        }
    }
}

#ifndef _WIN32
// A full disk and a file size limit, as Linux gives them.
TEST(Reporte, DiscoLlenoEsUnErrorQueNombraElArchivo) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/comparacion21.txt";
    fs::create_symlink("/dev/full", ruta);
    Reporte r(ruta);
    try {
        r.escribirLinea({"AB000123", "07/10/2016", "12.5", "12.5"});
        FAIL() << "a full disk went unnoticed";
    } catch (const ErrorReporte& e) {
        EXPECT_NE(std::string(e.what()).find("No se pudo escribir el reporte " + ruta), std::string::npos) << e.what();
    }
}

TEST(Reporte, UnaLineaQueNoCabeEnteraNoQuedaAMedias) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/comparacion21.txt";
    const pid_t hijo = fork();
    if (hijo == 0) {
        // The file may not grow past 100 bytes: the fourth line crosses that limit.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limite{100, 100};
        setrlimit(RLIMIT_FSIZE, &limite);
        try {
            Reporte r(ruta);
            for (int i = 0; i < 10; ++i) r.escribirLinea({"AB00012" + std::to_string(i), "07/10/2016", "12.5", "12.5"});
            r.cerrar();
            _exit(1);
        } catch (const ErrorReporte&) {
            _exit(0);
        }
    }
    int estado = 0;
    waitpid(hijo, &estado, 0);
    ASSERT_TRUE(WIFEXITED(estado));
    EXPECT_EQ(WEXITSTATUS(estado), 0) << "the write failure raised an error";
    const std::string linea = "AB000120,07/10/2016,12.5,12.5\r\n";
    EXPECT_EQ(prueba::contenido(ruta).size(), 3 * linea.size()) << "three whole lines, nothing of the fourth";
}
#endif

}  // namespace

namespace {

TEST(Reporte, SoloUnaCorridaALaVezTieneElReporte) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/comparacion21.txt";
    auto primero = std::make_unique<Reporte>(ruta);
    ASSERT_TRUE(primero->bloqueado());
    Reporte segundo(ruta);
    EXPECT_FALSE(segundo.bloqueado());
    EXPECT_FALSE(segundo.bloquear());
    EXPECT_THROW(segundo.escribirLinea({"X"}), ErrorReporte) << "no line without the lock";
    primero->escribirLinea({"A1"});
    primero->escribirLinea({"A2"});
    primero.reset();
    ASSERT_TRUE(segundo.bloquear()) << "closing releases the lock";
    segundo.escribirLinea({"B1"});
    segundo.cerrar();
    EXPECT_EQ(prueba::contenido(ruta), "A1\r\nA2\r\nB1\r\n");
}

}  // namespace
