// autorep-lote through the loopback server: the password really is checked.
#include <gtest/gtest.h>

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
    EXPECT_EQ(bien.estado, 0) << bien.error;
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

}  // namespace
