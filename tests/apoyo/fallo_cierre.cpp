#include "tests/apoyo/fallo_cierre.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace autorep::prueba {

namespace {
std::string& rutaQueFalla() {
    static std::string r;
    return r;
}
}  // namespace

void fallarCierreDe(const std::string& ruta) { rutaQueFalla() = std::filesystem::weakly_canonical(ruta).string(); }

}  // namespace autorep::prueba

extern "C" int __real_fclose(std::FILE* f);

extern "C" int __wrap_fclose(std::FILE* f) {
    auto& ruta = autorep::prueba::rutaQueFalla();
    bool fallar = false;
    if (f && !ruta.empty()) {
        std::error_code ec;
        const auto abierto = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fileno(f)), ec);
        fallar = !ec && abierto.string() == ruta;
    }
    const int r = __real_fclose(f);
    if (!fallar) return r;
    ruta.clear();
    errno = EIO;
    return EOF;
}
