#pragma once
#include <array>
#include <string>

namespace autorep::app {

// The sign-in values: written at sign-in, never changed afterwards.
struct ValoresIngreso {
    std::string UsuarioOrigen;   // upper-cased (ASCII)
    std::string ClaveOrigen;     // scrambled with Encriptar
    std::string ServidorOrigen;
    std::string UsuarioDestino;  // upper-cased (ASCII)
    std::string ClaveDestino;    // as typed
    std::string ServidorDestino;
};

// The first four command-line arguments after the program name, as program
// text; missing ones are empty. A non-empty fourth selects the unattended start.
using ArgumentosInicio = std::array<std::string, 4>;
ArgumentosInicio argumentosInicio(int argc, const char* const* argv);

}  // namespace autorep::app
