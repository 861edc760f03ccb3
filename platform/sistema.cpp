#include "platform/sistema.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef _WIN32
#include <langinfo.h>
#endif

#include "platform/cp1252.h"

namespace autorep::plataforma {

namespace {

bool esUtf8Valido(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 && b >= 0xC2 ? 2 : (b & 0xF0) == 0xE0 ? 3
                                                          : (b & 0xF8) == 0xF0 && b <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

}  // namespace

#ifdef _WIN32
std::string aSistema(std::string_view texto) { return std::string(texto); }
std::string deSistema(std::string_view texto) { return std::string(texto); }
#else
std::string aSistema(std::string_view texto) { return cp1252AUtf8(texto); }
std::string deSistema(std::string_view texto) {
    return esUtf8Valido(texto) ? utf8ACp1252(texto) : std::string(texto);
}
#endif

bool representable(std::string_view texto) { return !esUtf8Valido(texto) || aSistema(deSistema(texto)) == texto; }

std::FILE* abrirArchivo(std::string_view nombre, const char* modo) {
    return std::fopen(aSistema(nombre).c_str(), modo);
}

bool crearCarpeta(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::create_directory(aSistema(nombre), ec);
}

bool crearCarpetas(std::string_view nombre) {
    std::error_code ec;
    std::filesystem::create_directories(aSistema(nombre), ec);
    return std::filesystem::is_directory(aSistema(nombre), ec);
}

bool existe(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::exists(aSistema(nombre), ec);
}

std::string rutaAbsoluta(std::string_view nombre) {
    std::error_code ec;
    auto absoluta = std::filesystem::absolute(aSistema(nombre), ec).lexically_normal();
    if (ec) return std::string(nombre);
    if (!absoluta.has_filename() && absoluta.has_parent_path() && absoluta != absoluta.root_path())
        absoluta = absoluta.parent_path();
    return deSistema(absoluta.string());
}

bool carpetaVacia(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::is_empty(aSistema(nombre), ec) && !ec;
}

bool escribirArchivo(std::string_view nombre, std::string_view contenido) {
    std::FILE* f = abrirArchivo(nombre, "wb");
    if (!f) return false;
    const bool escrito = std::fwrite(contenido.data(), 1, contenido.size(), f) == contenido.size();
    return std::fclose(f) == 0 && escrito;
}

bool leerArchivo(std::string_view nombre, std::string& contenido) {
    std::FILE* f = abrirArchivo(nombre, "rb");
    if (!f) return false;
    contenido.clear();
    char trozo[65536];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, f)) > 0) contenido.append(trozo, n);
    const bool bien = !std::ferror(f);
    std::fclose(f);
    return bien;
}

void usarCaracteresDelSistema() {
#ifndef _WIN32
    const char* actual = std::setlocale(LC_CTYPE, "");
    if (actual && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
    std::setlocale(LC_CTYPE, "C.UTF-8");
#endif
}

}  // namespace autorep::plataforma
