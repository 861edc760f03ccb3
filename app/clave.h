#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The reversible scrambling of the origin password: a position-dependent byte
// shift with a small key table. It hides the password from a casual look at
// memory; it is not encryption.
namespace autorep::app {

std::string encriptarCon(std::string_view texto, std::span<const std::int32_t> clave, int indiceMayor);
std::string desencriptarCon(std::string_view texto, std::span<const std::int32_t> clave, int indiceMayor);

// Over the built-in table 3, 9, 2, 8 with highest index 3. Texts are
// length-counted bytes: a scrambled text may hold NUL bytes.
std::string Encriptar(std::string_view texto);
std::string Desencriptar(std::string_view texto);

}  // namespace autorep::app
