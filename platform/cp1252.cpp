#include "platform/cp1252.h"

namespace autorep::plataforma {

namespace {
// 0x80 to 0x9F; the five holes of the code page map to themselves, as Windows does.
constexpr char32_t tabla80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char32_t cp1252ACodigo(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return tabla80[byte - 0x80];
    return byte;
}

char codigoACp1252(char32_t codigo) {
    if (codigo < 0x80 || (codigo >= 0xA0 && codigo <= 0xFF)) return static_cast<char>(codigo);
    for (unsigned i = 0; i < 32; ++i)
        if (tabla80[i] == codigo) return static_cast<char>(0x80 + i);
    return '?';
}

void agregarUtf8(std::string& d, char32_t c) {
    if (c < 0x80) {
        d += static_cast<char>(c);
    } else if (c < 0x800) {
        d += static_cast<char>(0xC0 | (c >> 6));
        d += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        d += static_cast<char>(0xE0 | (c >> 12));
        d += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        d += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        d += static_cast<char>(0xF0 | (c >> 18));
        d += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        d += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        d += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string cp1252AUtf8(std::string_view bytes) {
    std::string r;
    r.reserve(bytes.size());
    for (unsigned char b : bytes) agregarUtf8(r, cp1252ACodigo(b));
    return r;
}

std::string utf8ACp1252(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t c = 0;
        std::size_t n = 0;
        if (b < 0x80) { c = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { c = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { c = b & 0x0F; n = 3; }
        else if ((b & 0xF8) == 0xF0) { c = b & 0x07; n = 4; }
        else { r += '?'; ++i; continue; }
        if (i + n > s.size()) { r += '?'; break; }
        bool valido = true;
        for (std::size_t k = 1; k < n; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) { valido = false; break; }
            c = (c << 6) | (cb & 0x3F);
        }
        if (!valido) { r += '?'; ++i; continue; }
        r += codigoACp1252(c);
        i += n;
    }
    return r;
}

}  // namespace autorep::plataforma
