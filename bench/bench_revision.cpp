// A whole installation in one command: autorep-lote --compania todas --tipo
// todos on embedded databases where company 001 has N audit rows of a mix of
// types (the bulk fixture of the other benches) and company 002 none, with
// one company at a time and with the default (one per core). Prints wall
// time, pairs, audit rows, rows per second, exit status and peak memory.
// Usage: bench_revision [N ...]   (default 100000 1000000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

int main(int argc, char** argv) {
    std::vector<long> tamanios;
    for (int i = 1; i < argc; ++i) tamanios.push_back(std::atol(argv[i]));
    if (tamanios.empty()) tamanios = {100000, 1000000};
    std::printf("%10s %9s %10s %6s %12s %12s %7s %9s\n", "N", "paralelo", "segundos", "pares", "filas", "filas/s",
                "estado", "pico MiB");
    for (long n : tamanios) {
        prueba::Escenario e;
        prueba::llenar(e, n);
        // 002 is an empty company of the origin, replicated into the same destination.
        prueba::crearCompania(e.servidorOrigen(), "002");
        for (const char* paralelo : {"1", ""}) {
            const std::string carpeta = e.dir.str() + "/revision" + paralelo;
            std::vector<std::string> a = {AUTOREP_LOTE, "--origen", e.servidorOrigen(), "--usuario", "admin",
                                          "--compania", "todas", "--tipo", "todos", "--destino", e.servidorDestino(),
                                          "--compania-destino", "001=002,002=002", "--desde", "2016-10-01", "--hasta",
                                          "2016-10-31", "--directorio", e.aplicacion(), "--revision", carpeta};
            if (*paralelo) a.insert(a.end(), {"--paralelo", paralelo});
            std::fflush(stdout);  // the child would print what is still buffered
            const auto inicio = std::chrono::steady_clock::now();
            const pid_t hijo = fork();
            if (hijo == 0) {
                setenv("AUTOREP_REGISTRO", "/nonexistent", 1);
                if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(127);
                std::vector<char*> v;
                for (auto& x : a) v.push_back(x.data());
                v.push_back(nullptr);
                execv(AUTOREP_LOTE, v.data());
                _exit(127);
            }
            int estado = 0;
            rusage uso{};
            wait4(hijo, &estado, 0, &uso);
            const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
            long filas = 0, pares = 0;
            try {
                const auto j = nlohmann::json::parse(prueba::contenido(carpeta + "/resumen.json"));
                for (const auto& p : j["resultados"]) {
                    filas += p["registros"].get<long>();
                    ++pares;
                }
            } catch (const std::exception&) {
            }
            std::printf("%10ld %9s %10.2f %6ld %12ld %12.0f %7d %9ld\n", n, *paralelo ? paralelo : "núcleos", segundos,
                        pares, filas, filas / segundos, WIFEXITED(estado) ? WEXITSTATUS(estado) : -1,
                        uso.ru_maxrss / 1024);
            std::fflush(stdout);
        }
    }
}
