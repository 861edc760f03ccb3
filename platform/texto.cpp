#include "platform/texto.h"

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

}  // namespace autorep::plataforma
