// autorep-lote through the loopback server: the password really is checked.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"

using namespace autorep;

namespace {

class LoteServidor : public ::testing::Test {
protected:
    void SetUp() override {
        prueba::exigirServidor();
        if (HasFatalFailure() || IsSkipped()) return;
    }
    prueba::SalidaLote lote(std::map<std::string, std::string> entorno, std::vector<std::string> extra = {}) {
        std::vector<std::string> a = {"--origen", "localhost:" + e.servidorOrigen(), "--usuario", prueba::usuarioServidor(),
                                      "--compania", "001", "--destino", "localhost:" + e.servidorDestino(),
                                      "--compania-destino", "002", "--directorio", e.aplicacion()};
        a.insert(a.end(), extra.begin(), extra.end());
        return prueba::correrLote(a, entorno);
    }
    prueba::Escenario e;
};

TEST_F(LoteServidor, LaClaveDelEntorno) {
    const auto bien = lote({{"AUTOREP_CLAVE", prueba::claveServidor()}});
    EXPECT_EQ(bien.estado, 3) << "signed in, with no audit row this month: " << bien.error;
    const auto mal = lote({{"AUTOREP_CLAVE", "otra"}});
    EXPECT_EQ(mal.estado, 2);
    EXPECT_NE(mal.error.find("El nombre de Usuario o la clave son incorrectas."), std::string::npos) << mal.error;
}

TEST_F(LoteServidor, LaClaveDeDestinoEquivocadaVaAErrorenvio) {
    const auto r = lote({{"AUTOREP_CLAVE", prueba::claveServidor()}, {"AUTOREP_CLAVE_DESTINO", "mala"}});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("El nombre de Usuario o la clave son incorrectas."), std::string::npos) << r.error;
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/errorenvio.txt").find("No se pudo conectar con el servidor localhost:"),
              std::string::npos);
}

// Two runs of one type at once, as the window and a scheduled batch may be:
// the second waits for the first, and each run's lines stay together.
TEST_F(LoteServidor, DosCorridasSobreElMismoReporteNoMezclanSusLineas) {
    prueba::llenar(e, 6000, 21);
    auto argumentos = [&](const char* desde, const char* hasta) {
        return std::vector<std::string>{"--origen", "localhost:" + e.servidorOrigen(), "--usuario", prueba::usuarioServidor(),
                                        "--compania", "001", "--destino", "localhost:" + e.servidorDestino(),
                                        "--compania-destino", "002", "--directorio", e.aplicacion(), "--desde", desde,
                                        "--hasta", hasta, "--fila-a-fila"};
    };
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary) << prueba::textoRegistro(e.aplicacion(), "dd/MM/yyyy");
    const std::map<std::string, std::string> entorno = {{"AUTOREP_CLAVE", prueba::claveServidor()},
                                                        {"AUTOREP_REGISTRO", reg}};
    const std::string reporte = e.aplicacion() + "/comparacion21.txt";
    // The first half of the month, then, while it writes, the second half.
    prueba::Proceso a(AUTOREP_LOTE, argumentos("2016-10-01", "2016-10-15"), entorno);
    for (int i = 0; i < 6000 && prueba::contenido(reporte).empty(); ++i) usleep(5000);
    prueba::Proceso b(AUTOREP_LOTE, argumentos("2016-10-16", "2016-10-31"), entorno);
    ASSERT_TRUE(a.esperar(300));
    ASSERT_TRUE(b.esperar(300));
    EXPECT_EQ(a.estado(), 1) << a.error();
    EXPECT_EQ(b.estado(), 1) << b.error();
    EXPECT_NE(b.error().find("Esperando a que otra corrida termine con el reporte " + reporte), std::string::npos)
        << "the second run says that it waits: " << b.error();

    std::vector<std::string> lineas;
    const std::string todo = prueba::contenido(reporte);
    for (std::size_t p = 0, q; (q = todo.find("\r\n", p)) != std::string::npos; p = q + 2) lineas.push_back(todo.substr(p, q - p));
    auto cuenta = [](const std::string& salida) {
        const auto p = salida.find("lineas: ");
        return p == std::string::npos ? 0UL : std::stoul(salida.substr(p + 8));
    };
    const std::size_t deA = cuenta(a.salida()), deB = cuenta(b.salida());
    ASSERT_GT(deA, 100u);
    ASSERT_GT(deB, 100u);
    ASSERT_EQ(lineas.size(), deA + deB) << "every line of both runs, each whole";
    // Run A's lines are those of the first half of October (code,dd/MM/yyyy,...).
    for (std::size_t i = 0; i < lineas.size(); ++i) {
        const int dia = std::stoi(lineas[i].substr(lineas[i].find(',') + 1, 2));
        EXPECT_EQ(dia <= 15, i < deA) << "line " << i << ": " << lineas[i];
    }
}

}  // namespace
