#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace autorep::acceso {

// The server list of "\SERVIDORES.cfg", read byte by byte: CR or LF ends a
// line (a CR swallows the byte after it), a NUL cuts the entry, blanks are
// kept, a last line without a line end is dropped, and a line longer than
// 255 characters is cut at 255.
std::vector<std::string> leerListaServidores(std::string_view contenido);

// The file's entries; an absent file gives an empty list.
std::vector<std::string> cargarListaServidores(const std::string& ruta);

}  // namespace autorep::acceso
