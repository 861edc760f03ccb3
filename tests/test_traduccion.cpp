#include <gtest/gtest.h>

#include <filesystem>

#include "ctrlaccesoautorep/enomanejada.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

TEST(Traduccion, TablaDeMensajes) {
    const std::string noDef = "Your user name and password are not defined. Ask your database administrator";
    struct {
        std::string mensaje, mostrado;
    } casos[] = {
        {noDef, "El nombre de Usuario o la clave son incorrectas."},
        {"I/O error for file \"/srv/datos/001/quorix.fdb\"\r\nError while trying to open file",
         "No se encontr\xF3 el archivo o la ruta /srv/datos/001/quorix.fdb"},
        {"Unable to complete network request to host \"srv9\".\r\nFailed to locate host machine.",
         "No se encontr\xF3 el equipo servidor con nombre srv9"},
        {"I/O error for file sin comillas", "No se encontr\xF3 el archivo o la ruta "},
        {"I/O error for file \"una sola", "No se encontr\xF3 el archivo o la ruta "},
        {"I/O error for file \"\" juntas", "No se encontr\xF3 el archivo o la ruta "},
        {"antes \"primero\" Unable to complete network request to host \"h\"",
         "No se encontr\xF3 el equipo servidor con nombre primero"},
        {noDef + " Unable to complete network request", "El nombre de Usuario o la clave son incorrectas."},
        {"Unable to complete network request \"h\" and I/O error for file \"f\"",
         "No se encontr\xF3 el archivo o la ruta h"},
        {"your user name and password are not defined", "Se presento el siguiente error: your user name and password are not defined"},
        {"I/O error during \"open\" operation for file \"/x.fdb\"",
         "Se presento el siguiente error: I/O error during \"open\" operation for file \"/x.fdb\""},
        {"", "Se presento el siguiente error: "},
    };
    for (const auto& c : casos) EXPECT_EQ(acceso::traducirMensaje(c.mensaje), c.mostrado) << c.mensaje;
}

class Manejador : public ::testing::Test {
protected:
    prueba::DirectorioTemporal dir;
    prueba::AvisadorGrabador avisador;
    plataforma::Regional regional = prueba::regionalPrueba();
    plataforma::RelojFijo reloj{{{2016, 10, 7}, {9, 5, 3, 0}}};
    std::string usuario;
    acceso::ENoManejada ENoManejada{avisador, regional, reloj, [this] { return dir.str(); }, [this] { return usuario; }};
};

TEST_F(Manejador, RegistraYMuestraCadaErrorEnOrden) {
    ENoManejada("primero");
    usuario = "ADMIN";
    ENoManejada("Your user name and password are not defined\r\nsegunda linea");
    EXPECT_EQ(prueba::contenido(dir.str() + "/ERRORES.TXT"),
              "07/10/2016,09:05:03,,primero\r\n"
              "07/10/2016,09:05:03,ADMIN,Your user name and password are not defined\r\nsegunda linea\r\n");
    ASSERT_EQ(avisador.mensajes.size(), 2u);
    EXPECT_EQ(avisador.mensajes[0], "Se presento el siguiente error: primero");
    EXPECT_EQ(avisador.mensajes[1], "El nombre de Usuario o la clave son incorrectas.");
}

TEST_F(Manejador, SinPoderEscribirElLogMuestraElMensajeIgual) {
    acceso::ENoManejada sinCarpeta{avisador, regional, reloj, [this] { return dir.str() + "/no/existe"; },
                                   [] { return std::string(); }};
    sinCarpeta("uno");
    acceso::ENoManejada registroRoto{avisador, regional, reloj,
                                     []() -> std::string { throw std::runtime_error("registro mal formado"); },
                                     [] { return std::string(); }};
    registroRoto("dos");
    ASSERT_EQ(avisador.mensajes.size(), 2u);
    EXPECT_EQ(avisador.mensajes[1], "Se presento el siguiente error: dos");
}

}  // namespace
