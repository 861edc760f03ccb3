#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/log_texto.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/privilegios.h"

using namespace autorep;
namespace fs = std::filesystem;

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

// The two cases below run as an ordinary user (see sinPrivilegios): root would
// write anyway. Each first checks the permission really is missing for it, so
// that neither can pass without meeting the failure it is about.

TEST(Logs, UnaCarpetaSinPermisoPierdeElRegistroEnSilencio) {
    prueba::DirectorioTemporal dir;
    EXPECT_NO_THROW(app::agregarRegistro(dir.str() + "/no/existe/ERRORES.TXT", {"x"}));
    const auto soloLectura = dir.ruta() / "ro";
    fs::create_directory(soloLectura);
    // Readable and searchable by anyone, writable by no one.
    fs::permissions(soloLectura, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string ruta = (soloLectura / "ERRORES.TXT").string();
    EXPECT_EQ(prueba::sinPrivilegios([&]() -> std::string {
                  if (access(soloLectura.c_str(), X_OK) != 0) return "the folder cannot be reached";
                  if (access(soloLectura.c_str(), W_OK) == 0) return "the folder is writable";
                  app::agregarRegistro(ruta, {"x"});  // an exception ends up in the result
                  return {};
              }),
              "");
    EXPECT_FALSE(fs::exists(ruta));
}

TEST(Logs, UnArchivoQueNoSePuedeLeerNoSeVacia) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/errorenvio.txt";
    std::ofstream(ruta, std::ios::binary) << "anterior\r\n";
    fs::permissions(ruta, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    EXPECT_EQ(prueba::sinPrivilegios([&]() -> std::string {
                  if (access(ruta.c_str(), R_OK) == 0) return "the file is readable";
                  if (access(ruta.c_str(), W_OK) != 0) return "the file is not writable";
                  app::agregarRegistro(ruta, {"nuevo"});
                  return {};
              }),
              "");
    fs::permissions(ruta, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(prueba::contenido(ruta), "anterior\r\nnuevo\r\n");
}

}  // namespace
