// A run restricted to a few audit rows against the run of the whole range,
// through the loopback server: N audit rows of type 21 (the bulk fixture),
// the full run, then a run of K rows scattered over the range, without and
// with an index on AUDI_IDDOC. Prints wall time, audit rows read, lines and
// statements. Needs scripts/servidor-prueba.sh.
// Usage: bench_restringida [N [K]]   (default 1000000 1000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "tests/apoyo/datos_masivos.h"
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

double ahora() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (!prueba::servidorEscuchando()) {
        std::fprintf(stderr, "bench_restringida: no hay servidor Firebird en 127.0.0.1:3050 (scripts/servidor-prueba.sh)\n");
        return 2;
    }
    const long n = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long k = argc > 2 ? std::atol(argv[2]) : 1000;

    prueba::Escenario e;
    double t0 = ahora();
    prueba::llenar(e, n, 21);
    std::printf("datos de prueba: %ld filas en %.1f s\n", n, ahora() - t0);

    // The bulk fixture's row I: document I, day 1 + I mod 31, 08:00, an
    // update when I is a multiple of 7; its code holds I in six digits.
    std::vector<conciliacion::FilaBuscada> filas;
    for (long j = 0; j < k; ++j) {
        const long i = 1 + j * (std::min(n, 999999L) / k);
        char codigo[32];
        std::snprintf(codigo, sizeof codigo, "FC%06ld", i);
        filas.push_back({std::to_string(i), codigo, i % 7 == 0 ? "U" : "I",
                         {{2016, 10, static_cast<unsigned>(1 + i % 31)}, {8, 0, 0, 0}}});
    }

    const plataforma::Regional regional = prueba::regionalPrueba();
    const plataforma::RelojSistema reloj;
    prueba::AvisadorGrabador avisador;
    VistaMuda vista;
    std::printf("%10s %28s %9s %15s %9s %9s %11s\n", "N", "corrida", "segundos", "filas_auditoria", "registros",
                "lineas", "sentencias");
    auto correr = [&](const char* nombre, bool restringida) {
        bd::Conexion DbCia("DbCia"), DBEnvio("DBEnvio");
        principal::configurarConexionCompania(DbCia);
        principal::configurarConexionCompania(DBEnvio);
        DbCia.ponerParametro("Database", "127.0.0.1:" + e.rutaOrigen);
        DbCia.ponerParametro("User_Name", prueba::usuarioServidor());
        DbCia.ponerParametro("Password", prueba::claveServidor());
        conciliacion::EntradasCorrida entradas{"Empresa Uno", "002", "21",
                                               plataforma::FechaHora{{2016, 10, 1}, {}},
                                               plataforma::FechaHora{{2016, 10, 31}, {23, 59, 59, 999}},
                                               "127.0.0.1:" + e.servidorDestino(), prueba::usuarioServidor(),
                                               prueba::claveServidor()};
        if (restringida) entradas.soloFilas = filas;
        std::size_t leidas = 0;
        conciliacion::EntornoCorrida entorno{regional, reloj, [&] { return e.aplicacion(); }, avisador, vista};
        entorno.filasAuditoria = &leidas;
        const double inicio = ahora();
        const auto r = conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
        std::printf("%10ld %28s %9.2f %15zu %9zu %9zu %11llu\n", n, nombre, ahora() - inicio, leidas, r.registros,
                    r.lineas, static_cast<unsigned long long>(DbCia.sentenciasEjecutadas() + DBEnvio.sentenciasEjecutadas()));
        std::fflush(stdout);
    };
    correr("completa", false);
    const std::string restringida = std::to_string(k) + " filas";
    correr(restringida.c_str(), true);
    // The server has let the databases go: the index goes in embedded.
    e.enOrigen({"CREATE INDEX IX_AUDITORIA_IDDOC ON AUDITORIA (AUDI_IDDOC)"});
    prueba::refrescarEstadisticas(e);
    correr((restringida + ", indice AUDI_IDDOC").c_str(), true);
    correr("completa, indice AUDI_IDDOC", false);
}
