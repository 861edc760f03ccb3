// Logs that the threads of a revision append to at once: every record whole.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/log_texto.h"
#include "platform/sistema.h"
#include "tests/apoyo/base_prueba.h"

using namespace autorep;

namespace {

TEST(LogHilos, DosHilosAgreganSinPisarseNiCortarse) {
    // Short records, and records longer than the C library's buffer, which it
    // would write in pieces.
    const struct {
        const char* que;
        std::size_t relleno;
        int registros;
    } casos[] = {{"registros cortos", 40, 3000}, {"registros de 6000 bytes", 6000, 400}};
    for (const auto& c : casos) {
        prueba::DirectorioTemporal dir;
        const std::string log = dir.str() + "/ERRORES.TXT";
        auto agregar = [&](char hilo) {
            for (int i = 0; i < c.registros; ++i)
                app::agregarRegistro(log, {std::string(1, hilo), std::to_string(i), std::string(c.relleno, hilo)});
        };
        std::thread a(agregar, 'a'), b(agregar, 'b');
        a.join();
        b.join();

        std::string texto;
        ASSERT_TRUE(plataforma::leerArchivo(log, texto)) << c.que;
        std::set<std::string> vistos;
        std::size_t desde = 0, malos = 0;
        while (desde < texto.size()) {
            const auto fin = texto.find("\r\n", desde);
            ASSERT_NE(fin, std::string::npos) << c.que << ": the last record has no line end";
            const std::string linea = texto.substr(desde, fin - desde);
            desde = fin + 2;
            const auto coma = linea.find(',', 2);
            const char hilo = linea.empty() ? '?' : linea[0];
            if (linea.size() < 4 || linea[1] != ',' || coma == std::string::npos ||
                linea.substr(coma + 1) != std::string(c.relleno, hilo) || !vistos.insert(linea.substr(0, coma)).second)
                ++malos;
        }
        EXPECT_EQ(malos, 0u) << c.que;
        EXPECT_EQ(vistos.size(), 2u * c.registros) << c.que;
        EXPECT_EQ(texto.size(), desde) << c.que;
    }
}

}  // namespace
