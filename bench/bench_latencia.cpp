// The reconciliation over a slow link: origin and destination served by the
// loopback Firebird server through a delay proxy of our own, autorep-lote run
// at 0 ms and 10 ms one-way delay, batched and row by row. Prints wall time,
// rows per second, statements, round trips counted at the proxy and peak
// memory. Needs scripts/servidor-prueba.sh.
// Usage: bench_latencia [--rapido | --enlace [N ...]]
//   --rapido  only N = 1,000 and 10,000
//   --enlace  the slow link's targets: the batched run of 10,000 and 1,000,000
//             rows direct and at 10 ms one way (a 20 ms round trip), with the
//             ratio and the round trips' worth of time the link adds
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/lote_medido.h"
#include "bench/proxy_retardo.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

// Statements the run reports with --estadisticas.
long sentencias(const std::string& error) {
    const auto p = error.find("sentencias: ");
    return p == std::string::npos ? -1 : std::stol(error.substr(p + 12));
}

}  // namespace

int main(int argc, char** argv) {
    if (!prueba::servidorEscuchando()) {
        std::fprintf(stderr, "bench_latencia: no hay servidor Firebird en 127.0.0.1:3050 (scripts/servidor-prueba.sh)\n");
        return 2;
    }
    const bool rapido = argc > 1 && std::strcmp(argv[1], "--rapido") == 0;
    const bool enlace = argc > 1 && std::strcmp(argv[1], "--enlace") == 0;
    struct Caso {
        long n;
        int retardo;
        bool filaAFila;
    };
    std::vector<Caso> casos = {{1000, 0, false}, {1000, 0, true},   {1000, 10, false}, {1000, 10, true},
                               {10000, 0, false}, {10000, 0, true}, {10000, 10, false}};
    if (enlace) {
        std::vector<long> tamanios;
        for (int i = 2; i < argc; ++i) tamanios.push_back(std::atol(argv[i]));
        if (tamanios.empty()) tamanios = {10000, 1000000};
        casos.clear();
        for (long n : tamanios) {
            casos.push_back({n, 0, false});
            casos.push_back({n, 10, false});
        }
    }
    else if (!rapido) {
        casos.push_back({100000, 0, false});
        casos.push_back({100000, 0, true});
        casos.push_back({1000000, 0, false});
    }
    std::printf("%9s %8s %12s %9s %10s %11s %11s %13s %9s\n", "N", "retardo", "modo", "segundos", "filas/s", "sentencias",
                "idas+vuelta", "iv/1000 filas", "pico MiB");
    long nActual = 0;
    double directo = 0;
    std::unique_ptr<prueba::Escenario> e;
    for (const auto& c : casos) {
        if (c.n != nActual) {
            e = std::make_unique<prueba::Escenario>();
            prueba::llenar(*e, c.n, 21);
            nActual = c.n;
        }
        bench::ProxyRetardo proxy(3050, std::chrono::milliseconds(c.retardo));
        const std::string via = "127.0.0.1/" + std::to_string(proxy.puerto()) + ":";
        std::vector<std::string> a = {"--origen", via + e->servidorOrigen(), "--usuario", prueba::usuarioServidor(),
                                      "--compania", "001", "--destino", via + e->servidorDestino(), "--compania-destino",
                                      "002", "--tipo", "21", "--desde", "2016-10-01", "--hasta", "2016-10-31",
                                      "--directorio", e->aplicacion(), "--estadisticas"};
        if (c.filaAFila) a.push_back("--fila-a-fila");
        const bench::Medida m = bench::correrLote(a, e->dir.str() + "/salida");
        if (m.estado != 0 && m.estado != 1) {
            std::fprintf(stderr, "autorep-lote terminó con %d:\n%s", m.estado, prueba::leerArchivo(e->dir.str() + "/salida.err").c_str());
            return 1;
        }
        const double iv = static_cast<double>(proxy.idasYVueltas());
        std::printf("%9ld %6d ms %12s %9.2f %10.0f %11ld %11.0f %13.1f %9ld\n", c.n, c.retardo,
                    c.filaAFila ? "fila a fila" : "por lotes", m.segundos, c.n / m.segundos, sentencias(m.error), iv,
                    iv * 1000.0 / static_cast<double>(c.n), m.memoriaMiB);
        if (enlace && c.retardo == 0) directo = m.segundos;
        else if (enlace)
            std::printf("# %ld filas: %.2f veces la corrida directa; el enlace suma %.1f idas y vueltas de 20 ms\n", c.n,
                        m.segundos / directo, (m.segundos - directo) / 0.020);
        std::fflush(stdout);
    }
}
