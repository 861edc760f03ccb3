#pragma once
#include <string>
#include <string_view>

namespace autorep::plataforma {

// Plain ASCII case mapping: a-z and A-Z only; every other byte, accented
// letters included, stays as it is.
std::string mayusculasAscii(std::string_view s);
std::string minusculasAscii(std::string_view s);
bool igualesSinMayusculas(std::string_view a, std::string_view b);
// Text from a database made safe for a terminal: control characters (an
// escape sequence could rewrite the screen) shown as \xNN; line ends kept
// when `saltos` (a multi-line server message).
std::string textoVisible(std::string_view s, bool saltos = false);

}  // namespace autorep::plataforma
