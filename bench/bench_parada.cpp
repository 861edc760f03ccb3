// How long autorep-lote takes to stop after Ctrl-C, on embedded databases of
// N audit rows of type 21 run in batches: the signal is sent at several
// moments after the start (reading the audit rows, looking up a window of
// rows, writing lines), and the time from the signal to the process's end is
// printed with its exit status.
// Usage: bench_parada [N] [segundos ...]   (default 1000000 and 1 2 4 8)
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;

int main(int argc, char** argv) {
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    std::vector<double> momentos;
    for (int i = 2; i < argc; ++i) momentos.push_back(std::atof(argv[i]));
    if (momentos.empty()) momentos = {1, 2, 4, 8};

    std::fprintf(stderr, "creando %ld filas...\n", n);
    prueba::Escenario e;
    prueba::llenar(e, n, 21);
    std::printf("%10s %14s %16s %8s %14s\n", "N", "señal a los s", "parada en s", "estado", "líneas escritas");
    for (double momento : momentos) {
        std::filesystem::remove(e.aplicacion() + "/comparacion21.txt");
        prueba::Proceso lote(AUTOREP_LOTE,
                             {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001", "--destino",
                              e.servidorDestino(), "--compania-destino", "002", "--desde", "2016-10-01", "--hasta",
                              "2016-10-31", "--directorio", e.aplicacion()},
                             {{"AUTOREP_REGISTRO", "/nonexistent"}});
        std::this_thread::sleep_for(std::chrono::duration<double>(momento));
        const auto senal = std::chrono::steady_clock::now();
        lote.senal(SIGINT);
        lote.esperar(600);
        const double parada = std::chrono::duration<double>(std::chrono::steady_clock::now() - senal).count();
        const std::string reporte = prueba::contenido(e.aplicacion() + "/comparacion21.txt");
        std::size_t lineas = 0;
        for (std::size_t p = 0; (p = reporte.find("\r\n", p)) != std::string::npos; p += 2) ++lineas;
        std::printf("%10ld %14.1f %16.2f %8d %14zu\n", n, momento, parada, lote.estado(), lineas);
        std::fflush(stdout);
    }
}
