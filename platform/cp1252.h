#pragma once
#include <string>
#include <string_view>

// The Windows-1252 code page of the program's texts. Files and SQL keep the
// bytes; these conversions are for what is shown on screen or typed in.
namespace autorep::plataforma {

char32_t cp1252ACodigo(unsigned char byte);
// Returns the byte for a code point, or '?' when Windows-1252 has none.
char codigoACp1252(char32_t codigo);

std::string cp1252AUtf8(std::string_view bytes);
std::string utf8ACp1252(std::string_view utf8);
// Appends one code point as UTF-8.
void agregarUtf8(std::string& destino, char32_t codigo);

}  // namespace autorep::plataforma

namespace autorep::plataforma {
// The program's own Spanish texts are written in UTF-8 in the sources and
// turned into Windows-1252 bytes, the form every text takes at run time.
inline std::string ansi(std::string_view utf8) { return utf8ACp1252(utf8); }
}  // namespace autorep::plataforma
