// Speed of the reconciliation on embedded databases: for each N, creates an
// origin and a destination with N audit rows of a mix of types, runs every
// type once, batched and row by row, and prints rows per second, statements
// executed and peak memory.
// Usage: bench_corrida [N ...]   (default 1000 10000 100000)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/apoyo/datos_masivos.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

class VistaMuda final : public conciliacion::VistaCorrida {
public:
    void mostrarEstado(const std::string&) override {}
    void ocultarEstado() override {}
    void iniciarProgreso(std::size_t) override {}
    void mostrarRegistro() override {}
    void ocultarRegistro() override {}
    void avanzar(const std::string&) override {}
    void avisarEspera(const std::string&) override {}
};

long memoriaPicoMiB() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> tamanios;
    for (int i = 1; i < argc; ++i) tamanios.push_back(std::atol(argv[i]));
    if (tamanios.empty()) tamanios = {1000, 10000, 100000};

    std::printf("%10s %12s %10s %12s %12s %14s %10s\n", "N", "modo", "filas", "segundos", "filas/s", "sentencias",
                "pico MiB");
    std::vector<std::pair<long, bool>> casos;
    for (long n : tamanios) {
        casos.emplace_back(n, false);
        casos.emplace_back(n, true);
    }
    for (const auto& [n, filaAFila] : casos) {
        prueba::Escenario e;
        prueba::llenar(e, n);
        bd::Conexion DbCia("DbCia"), DBEnvio("DBEnvio");
        principal::configurarConexionCompania(DbCia);
        principal::configurarConexionCompania(DBEnvio);
        DbCia.ponerParametro("Database", e.rutaOrigen);
        const plataforma::Regional regional = prueba::regionalPrueba();
        const plataforma::RelojSistema reloj;
        prueba::AvisadorGrabador avisador;
        VistaMuda vista;
        conciliacion::EntornoCorrida entorno{regional, reloj, [&] { return e.aplicacion(); }, avisador, vista};

        std::size_t filas = 0;
        const auto inicio = std::chrono::steady_clock::now();
        for (const char* tipo : {"21", "31", "61", "11", "1"}) {
            const conciliacion::EntradasCorrida entradas{"Empresa Uno", "002", tipo,
                                                         plataforma::FechaHora{{2016, 10, 1}, {}},
                                                         plataforma::FechaHora{{2016, 10, 31}, {23, 59, 59, 999}},
                                                         e.servidorDestino(), "", "", filaAFila};
            const auto t0 = std::chrono::steady_clock::now();
            filas += conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno).registros;
            if (std::getenv("AUTOREP_BENCH_DETALLE"))
                std::fprintf(stderr, "  tipo %s: %.2f s\n", tipo,
                             std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            std::fflush(stderr);
        }
        const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        std::printf("%10ld %12s %10zu %12.2f %12.0f %14llu %10ld\n", n, filaAFila ? "fila a fila" : "por lotes", filas,
                    segundos, filas / segundos,
                    static_cast<unsigned long long>(DbCia.sentenciasEjecutadas() + DBEnvio.sentenciasEjecutadas()),
                    memoriaPicoMiB());
        std::fflush(stdout);
    }
}
