// A whole installation in one command: autorep-lote --compania todas --tipo
// todos on embedded databases where company 001 has N audit rows of a mix of
// types (the bulk fixture of the other benches) and company 002 none, with
// one company at a time and with the default (one per core). Prints wall
// time, pairs, audit rows, rows per second, exit status and peak memory.
// Usage: bench_revision [N ...]   (default 100000 1000000)
//        bench_revision --instalacion
//   A whole installation through the loopback server: ten companies of
//   100,000 rows of the mix each (one fixture copied ten times) against one
//   company of the same 1,000,000 rows, each revised with --tipo todos on the
//   default parallelism; prints both times and their ratio.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench/lote_medido.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

// The revision of `companias` (origin code=destination code, ...) through
// the loopback server: seconds, audit rows read, pairs and exit status.
struct Revisada {
    bench::Medida medida;
    long filas = 0, pares = 0;
};
Revisada revisarPorServidor(const prueba::Escenario& e, const std::string& compania, const std::string& companias,
                            const std::string& carpeta) {
    const std::string via = "127.0.0.1:";
    Revisada r;
    r.medida = bench::correrLote({"--origen", via + e.servidorOrigen(), "--usuario", prueba::usuarioServidor(), "--compania",
                                  compania, "--tipo", "todos", "--destino", via + e.servidorDestino(), "--compania-destino",
                                  companias, "--desde", "2016-10-01", "--hasta", "2016-10-31", "--directorio",
                                  e.aplicacion(), "--revision", carpeta},
                                 carpeta + "-salida");
    try {
        const auto j = nlohmann::json::parse(prueba::contenido(carpeta + "/resumen.json"));
        for (const auto& p : j["resultados"]) {
            r.filas += p["registros"].get<long>();
            ++r.pares;
        }
    } catch (const std::exception&) {
    }
    return r;
}

int instalacion() {
    namespace fs = std::filesystem;
    if (!prueba::servidorEscuchando()) {
        std::fprintf(stderr, "bench_revision: no hay servidor Firebird en 127.0.0.1:3050 (scripts/servidor-prueba.sh)\n");
        return 2;
    }
    std::printf("%14s %10s %6s %12s %7s %9s\n", "instalación", "segundos", "pares", "filas", "estado", "pico MiB");
    auto linea = [](const char* nombre, const Revisada& r) {
        std::printf("%14s %10.2f %6ld %12ld %7d %9ld\n", nombre, r.medida.segundos, r.pares, r.filas, r.medida.estado,
                    r.medida.memoriaMiB);
        std::fflush(stdout);
    };
    double una = 0;
    {
        prueba::Escenario e;
        prueba::llenar(e, 1000000);
        const Revisada r = revisarPorServidor(e, "001", "001=002", e.dir.str() + "/revision");
        linea("1 x 1000000", r);
        una = r.medida.segundos;
    }
    prueba::Escenario e;
    prueba::llenar(e, 100000);
    const fs::path origen = fs::path(e.servidorOrigen()) / "datos", destino = fs::path(e.servidorDestino()) / "datos";
    std::string companias;
    std::vector<std::string> altas;
    for (int i = 1; i <= 10; ++i) {
        char o[8], d[8];
        std::snprintf(o, sizeof o, "%03d", i);
        std::snprintf(d, sizeof d, "%03d", 200 + i);
        if (i > 1) {
            fs::create_directories(origen / o);
            fs::copy_file(origen / "001" / "quorix.fdb", origen / o / "quorix.fdb", fs::copy_options::overwrite_existing);
        }
        if (i > 2) altas.push_back(std::string("INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('") + o + "', 'Empresa " + o + "')");
        fs::create_directories(destino / d);
        fs::copy_file(destino / "002" / "quorix.fdb", destino / d / "quorix.fdb", fs::copy_options::overwrite_existing);
        companias += (companias.empty() ? "" : ",") + std::string(o) + "=" + d;
    }
    for (const auto& p : fs::recursive_directory_iterator(e.base())) fs::permissions(p.path(), fs::perms::all);
    prueba::ejecutar(e.rutaGeneral, altas);
    const Revisada r = revisarPorServidor(e, "todas", companias, e.dir.str() + "/revision");
    linea("10 x 100000", r);
    std::printf("# diez compañías: %.2f veces una compañía de las mismas filas\n", r.medida.segundos / una);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--instalacion") return instalacion();
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
