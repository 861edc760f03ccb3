#include "platform/texto.h"

#include <cstdio>

namespace autorep::plataforma {

std::string mayusculasAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return r;
}

std::string minusculasAscii(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

bool igualesSinMayusculas(std::string_view a, std::string_view b) {
    return a.size() == b.size() && minusculasAscii(a) == minusculasAscii(b);
}

std::string textoVisible(std::string_view s, bool saltos) {
    std::string r;
    r.reserve(s.size());
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && !(saltos && (c == '\n' || c == '\r' || c == '\t'))) || u == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", u);
            r += esc;
        } else {
            r += c;
        }
    }
    return r;
}

}  // namespace autorep::plataforma
