#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/log_texto.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;

namespace {

TEST(Logs, RegistrosAgregadosAlFinal) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/ERRORES.TXT";
    app::agregarRegistro(ruta, {"07/10/2016", "10:00:00", "", "uno"});
    EXPECT_EQ(prueba::contenido(ruta), "07/10/2016,10:00:00,,uno\r\n") << "a new file is created";
    app::agregarRegistro(ruta, {"a", "dos\r\nlineas"});
    app::agregarRegistro(ruta, {"b", "con, coma"});
    EXPECT_EQ(prueba::contenido(ruta),
              "07/10/2016,10:00:00,,uno\r\na,dos\r\nlineas\r\nb,con, coma\r\n");
}

TEST(Logs, UnaCarpetaSinPermisoPierdeElRegistroEnSilencio) {
    prueba::DirectorioTemporal dir;
    EXPECT_NO_THROW(app::agregarRegistro(dir.str() + "/no/existe/ERRORES.TXT", {"x"}));
    const auto soloLectura = dir.ruta() / "ro";
    std::filesystem::create_directory(soloLectura);
    std::filesystem::permissions(soloLectura, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_NO_THROW(app::agregarRegistro((soloLectura / "ERRORES.TXT").string(), {"x"}));
}

TEST(Logs, UnArchivoQueNoSePuedeLeerNoSeVacia) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/errorenvio.txt";
    std::ofstream(ruta, std::ios::binary) << "anterior\r\n";
    std::filesystem::permissions(ruta, std::filesystem::perms::owner_write);
    app::agregarRegistro(ruta, {"nuevo"});
    std::filesystem::permissions(ruta, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(prueba::contenido(ruta), "anterior\r\nnuevo\r\n");
}

}  // namespace
