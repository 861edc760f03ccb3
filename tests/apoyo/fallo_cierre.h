#pragma once
// A close that fails, as on a full disk or a lost network share, for the
// test programs linked with -Wl,--wrap=fclose: every fclose of the program's
// own code passes through here.
#include <string>

namespace autorep::prueba {

// The next fclose of the file at `ruta` closes it and then reports EIO.
void fallarCierreDe(const std::string& ruta);

}  // namespace autorep::prueba
