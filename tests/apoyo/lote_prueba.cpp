#include "tests/apoyo/lote_prueba.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

namespace {
std::string citarShell(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += "'\\''";
        else r += c;
    }
    return r + "'";
}
}  // namespace

SalidaLote correrLote(const std::vector<std::string>& argumentos, const std::map<std::string, std::string>& entorno) {
    DirectorioTemporal dir;
    std::string comando = "env -u AUTOREP_CLAVE -u AUTOREP_CLAVE_DESTINO";
    for (const auto& [k, v] : entorno) comando += " " + k + "=" + citarShell(v);
    comando += " " + citarShell(AUTOREP_LOTE);
    for (const auto& a : argumentos) comando += " " + citarShell(a);
    comando += " >" + citarShell(dir.str() + "/salida") + " 2>" + citarShell(dir.str() + "/error") + " </dev/null";
    const int crudo = std::system(comando.c_str());
    SalidaLote r;
    r.estado = WIFEXITED(crudo) ? WEXITSTATUS(crudo) : -1;
    r.salida = leerArchivo(dir.ruta() / "salida");
    r.error = leerArchivo(dir.ruta() / "error");
    return r;
}

}  // namespace autorep::prueba
