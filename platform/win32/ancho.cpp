#include "platform/win32/ancho.h"

#include <windows.h>

#include "platform/cp1252.h"

namespace autorep::plataforma {

std::wstring ancho(std::string_view texto) {
    std::wstring r;
    r.reserve(texto.size());
    // Every Windows-1252 letter lies in the Basic Multilingual Plane: one unit each.
    for (unsigned char b : texto) r += static_cast<wchar_t>(cp1252ACodigo(b));
    return r;
}

std::string deAncho(std::wstring_view texto) {
    std::string r;
    r.reserve(texto.size());
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char32_t u = static_cast<char16_t>(texto[i]);
        // A surrogate pair names a letter beyond the code page: one '?'.
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < texto.size() && texto[i + 1] >= 0xDC00 && texto[i + 1] < 0xE000) ++i;
        r += codigoACp1252(u);
    }
    return r;
}

std::wstring rutaLarga(std::string_view nombre) {
    std::wstring ruta = ancho(nombre);
    if (ruta.starts_with(LR"(\\?\)") || ruta.starts_with(LR"(\\.\)")) return ruta;
    const DWORD n = GetFullPathNameW(ruta.c_str(), 0, nullptr, nullptr);
    if (n == 0) return ruta;
    std::wstring completa(n, L'\0');
    completa.resize(GetFullPathNameW(ruta.c_str(), n, completa.data(), nullptr));
    if (completa.size() < MAX_PATH - 12) return ruta;
    if (completa.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + completa.substr(2);
    return LR"(\\?\)" + completa;
}

}  // namespace autorep::plataforma
