// The server list on arbitrary bytes: entries of at most 255 characters, no NUL.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ctrlaccesoautorep/lista_servidores.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const auto lista = autorep::acceso::leerListaServidores(std::string_view(reinterpret_cast<const char*>(datos), largo));
    for (const auto& s : lista)
        if (s.size() > 255 || s.find('\0') != std::string::npos) std::abort();
    return 0;
}
