#pragma once
#include <string>
#include <string_view>

// Windows only: program text (Windows-1252 bytes) and the UTF-16 of the wide
// API, converted by the program's own table, so that a file or registry name
// means the same letters whatever the machine's ANSI code page is.
namespace autorep::plataforma {

std::wstring ancho(std::string_view texto);
// A letter Windows-1252 lacks becomes '?'.
std::string deAncho(std::wstring_view texto);

}  // namespace autorep::plataforma
