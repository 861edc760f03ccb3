// The .reg reader on arbitrary bytes: a clear error or a registry, never a crash.
#include <cstdint>
#include <string>

#include "platform/registro.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    using namespace autorep::plataforma;
    try {
        const auto r = RegistroArchivo::desdeTexto(std::string(reinterpret_cast<const char*>(datos), largo), "fuzz.reg");
        try {
            leerCadena(r, RaizRegistro::LocalMachine, "\\Software\\Vorlan\\QuorixERP2016", "Directorio");
        } catch (const std::runtime_error&) {
        }
    } catch (const ErrorRegistro&) {
    }
    return 0;
}
