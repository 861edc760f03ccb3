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

// The name for the wide file API. A path whose full form reaches the old
// limit (248 characters for a folder, 260 for a file) is made absolute and
// given the \\?\ prefix (\\?\UNC\ for a share), which lifts the limit
// without the system's long-path setting; the prefix also turns off the
// system's clean-up of the name, so '/', '.' and '..' are resolved first.
// Shorter names go as they are.
std::wstring rutaLarga(std::string_view nombre);

}  // namespace autorep::plataforma
