#include "app/clave.h"

#include <array>

namespace autorep::app {

namespace {

constexpr std::array<std::int32_t, 4> tablaClave = {3, 9, 2, 8};

// Positions 1, 2, 3, 4, ... use the entries 1, 2, 3, 1, ...: the modulus is
// the highest index, so entry 0 is never used.
std::int32_t entrada(std::span<const std::int32_t> clave, int indiceMayor, std::int32_t posicion) {
    const std::int32_t r = posicion % indiceMayor;
    return r > 0 ? clave[static_cast<std::size_t>(r)] : clave[static_cast<std::size_t>(indiceMayor)];
}

std::string desplazar(std::string_view texto, std::span<const std::int32_t> clave, int indiceMayor, int signo) {
    const auto n = static_cast<std::int32_t>(texto.size());
    std::string r;
    r.reserve(texto.size());
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t byte = static_cast<unsigned char>(texto[static_cast<std::size_t>(i - 1)]);
        const std::int32_t suma = byte + signo * (n + i + entrada(clave, indiceMayor, i));
        r += static_cast<char>(static_cast<std::uint32_t>(suma) & 0xFFu);
    }
    return r;
}

}  // namespace

std::string encriptarCon(std::string_view texto, std::span<const std::int32_t> clave, int indiceMayor) {
    return desplazar(texto, clave, indiceMayor, +1);
}

std::string desencriptarCon(std::string_view texto, std::span<const std::int32_t> clave, int indiceMayor) {
    return desplazar(texto, clave, indiceMayor, -1);
}

std::string Encriptar(std::string_view texto) { return encriptarCon(texto, tablaClave, 3); }
std::string Desencriptar(std::string_view texto) { return desencriptarCon(texto, tablaClave, 3); }

}  // namespace autorep::app
