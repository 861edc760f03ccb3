// What the loopback server spends on each row a selectable EXECUTE BLOCK
// hands over, against the length of its text parameter and the rows of each
// statement: the block does no work of its own but count and SUSPEND, its rows
// are narrow like the lookups' answers, and the time is the server's handing
// over (the client's share is a few percent).
// It shows why the destination lookups send short texts in statements of a
// few hundred keys. Needs scripts/servidor-prueba.sh.
// Usage: bench_parametros
#include <chrono>
#include <cstdio>
#include <string>

#include "db/conexion.h"
#include "db/error_bd.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"

using namespace autorep;

int main() {
    if (!prueba::servidorEscuchando()) {
        std::fprintf(stderr, "bench_parametros necesita el servidor de prueba (scripts/servidor-prueba.sh start)\n");
        return 1;
    }
    try {
        prueba::Escenario e;
        bd::Conexion c;
        c.ponerParametro("Database", "127.0.0.1:" + e.rutaDestino);
        c.ponerParametro("User_Name", prueba::usuarioServidor());
        c.ponerParametro("Password", prueba::claveServidor());
        c.conectar();
        constexpr long filasEnTotal = 100000;
        std::printf("%12s %14s %16s\n", "texto bytes", "filas/sentencia", "microseg/fila");
        for (int largo : {100, 4000, 8000, 32000}) {
            auto p = c.preparar("EXECUTE BLOCK (S VARCHAR(" + std::to_string(largo) +
                                ") CHARACTER SET NONE = ?, NK BIGINT = ?) RETURNS (K INTEGER, N INTEGER) AS BEGIN K = 0; "
                                "N = 1; WHILE (K < NK) DO BEGIN SUSPEND; K = K + 1; END END");
            for (long filas : {256L, 512L, 2000L}) {
                const std::string texto(static_cast<std::size_t>(largo), 'x');
                long recibidas = 0;
                const auto t0 = std::chrono::steady_clock::now();
                for (long i = 0; i < filasEnTotal / filas; ++i)
                    p->ejecutar({bd::Parametro::deTexto(texto), bd::Parametro::deEntero(filas)},
                                [&](const std::vector<bd::Valor>&) { ++recibidas; });
                const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                std::printf("%12d %14ld %16.1f\n", largo, filas, s * 1e6 / static_cast<double>(recibidas));
                std::fflush(stdout);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
