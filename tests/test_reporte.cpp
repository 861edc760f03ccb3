// The report file: appended, never truncated, never silently lost.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>

#include "platform/win32/ancho.h"
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/sistema.h"
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

namespace {

// Grows a file to `tamanio` bytes with a hole, without writing them; false
// where the file system cannot.
bool crecerDisperso(const std::string& ruta, std::int64_t tamanio) {
#ifdef _WIN32
    const HANDLE h = CreateFileW(plataforma::ancho(ruta).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const bool disperso = DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &n, nullptr);
    LARGE_INTEGER fin;
    fin.QuadPart = tamanio;
    const bool bien = disperso && SetFilePointerEx(h, fin, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return bien;
#else
    return ::truncate(ruta.c_str(), tamanio) == 0;
#endif
}

// The last `n` bytes of a file, read at a 64-bit offset.
std::string cola(const std::string& ruta, std::size_t n) {
    std::FILE* f = plataforma::abrirArchivo(ruta, "rb");
    if (!f) return {};
    const std::int64_t tamanio = plataforma::irAlFinal(f);
    std::string r(n, '\0');
#ifdef _WIN32
    const bool movido = _fseeki64(f, tamanio - static_cast<std::int64_t>(n), SEEK_SET) == 0;
#else
    const bool movido = fseeko(f, tamanio - static_cast<off_t>(n), SEEK_SET) == 0;
#endif
    r.resize(movido ? std::fread(r.data(), 1, n, f) : 0);
    std::fclose(f);
    return r;
}

// A year of audit rows appended takes a report past 2 GiB, beyond a 32-bit
// offset: each run still finds its end and appends there.
TEST(Reporte, PasadosLosDosGiBSeSigueAgregandoAlFinal) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = Reporte::nombreArchivo(dir.str(), "21");
    const std::int64_t grande = (std::int64_t{1} << 31) + 4093;  // past 2 GiB, and not a multiple of 4 KiB
    std::error_code ec;
    if (fs::space(dir.ruta(), ec).available < (std::uint64_t{3} << 30) || ec)
        GTEST_SKIP() << "the file system has no room for a 2 GiB file if it cannot keep it sparse";
    ASSERT_TRUE(plataforma::escribirArchivo(ruta, "anterior\r\n"));
    if (!crecerDisperso(ruta, grande)) GTEST_SKIP() << "the file system cannot hold a sparse file";

    const std::string primera = "AB000001,07/10/2016,12.5,12.5\r\n", segunda = "AB000002,07/10/2016,99,No encontrado\r\n";
    {
        Reporte r(ruta);
        r.escribirLinea({"AB000001", "07/10/2016", "12.5", "12.5"});
        r.cerrar();
    }
    {
        Reporte r(ruta);
        r.escribirLinea({"AB000002", "07/10/2016", "99", "No encontrado"});
        r.cerrar();
    }
    EXPECT_EQ(fs::file_size(dir.ruta() / "comparacion21.txt"), static_cast<std::uintmax_t>(grande) + primera.size() + segunda.size());
    EXPECT_EQ(cola(ruta, primera.size() + segunda.size()), primera + segunda);
}

}  // namespace
