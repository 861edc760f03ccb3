// Against the loopback Firebird server of scripts/servidor-prueba.sh.
#include <gtest/gtest.h>

#include "ctrlaccesoautorep/traduccion.h"
#include "db/consulta.h"
#include "db/error_bd.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

class Servidor : public ::testing::Test {
protected:
    void SetUp() override {
        prueba::exigirServidor();
        if (HasFatalFailure() || IsSkipped()) return;
        prueba::crearGeneral(dir.str());
    }
    std::string mensajeAlConectar(const std::string& ruta, const std::string& usuario, const std::string& clave) {
        bd::Conexion c("C");
        c.ponerParametro("Database", ruta);
        c.ponerParametro("User_Name", usuario);
        c.ponerParametro("Password", clave);
        try {
            c.conectar();
        } catch (const bd::ErrorBaseDatos& e) {
            EXPECT_FALSE(c.conectada());
            return e.what();
        }
        return {};
    }
    prueba::DirectorioTemporal dir;
};

TEST_F(Servidor, ClaveEquivocada) {
    const auto m = mensajeAlConectar("localhost:" + dir.str() + "/datos/general.fdb", prueba::usuarioServidor(), "mala");
    EXPECT_NE(m.find("Your user name and password are not defined"), std::string::npos) << m;
    EXPECT_EQ(acceso::traducirMensaje(m), "El nombre de Usuario o la clave son incorrectas.");
}

TEST_F(Servidor, PuertoSinNadieEscuchando) {
    const auto m = mensajeAlConectar("127.0.0.1/3059:" + dir.str() + "/datos/general.fdb", prueba::usuarioServidor(),
                                     prueba::claveServidor());
    EXPECT_NE(m.find("Unable to complete network request to host"), std::string::npos) << m;
    EXPECT_EQ(acceso::traducirMensaje(m), "No se encontr\xF3 el equipo servidor con nombre 127.0.0.1");
}

TEST_F(Servidor, ArchivoInexistente) {
    const std::string ruta = dir.str() + "/datos/no-existe.fdb";
    const auto m = mensajeAlConectar("localhost:" + ruta, prueba::usuarioServidor(), prueba::claveServidor());
    EXPECT_NE(m.find("I/O error"), std::string::npos) << m;
    EXPECT_NE(m.find("\"" + ruta + "\""), std::string::npos) << m;
}

TEST_F(Servidor, ConexionCorrectaLee) {
    bd::Conexion c("C");
    c.ponerParametro("Database", "localhost:" + dir.str() + "/datos/general.fdb");
    c.ponerParametro("User_Name", prueba::usuarioServidor());
    c.ponerParametro("Password", prueba::claveServidor());
    bd::Consulta q(c, "Q");
    q.ponerTexto("select CURRENT_USER from RDB$DATABASE");
    q.abrir();
    EXPECT_EQ(q.campo(0).bytes().substr(0, 7), "AUTOREP");
}

}  // namespace
