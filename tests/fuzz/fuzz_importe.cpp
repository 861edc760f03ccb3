// The amount text on arbitrary values: it reads back as the same exact value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reconcile/importe.h"

namespace {
// Parses the text back into digits and a scale, to compare with the input.
bool mismoValor(const std::string& texto, std::int64_t valor, int escala) {
    std::string s = texto;
    const bool negativo = !s.empty() && s[0] == '-';
    if (negativo) s.erase(0, 1);
    const auto punto = s.find('.');
    std::string entera = s.substr(0, punto), fraccion = punto == std::string::npos ? "" : s.substr(punto + 1);
    if (entera.empty() || (entera.size() > 1 && entera[0] == '0')) return false;
    if (!fraccion.empty() && fraccion.back() == '0') return false;
    // Same digits as the value at its scale, with the trailing zeros dropped.
    std::string cifras = entera + fraccion;
    const int lugares = -escala;
    cifras.append(static_cast<std::size_t>(lugares - static_cast<int>(fraccion.size())), '0');
    while (cifras.size() > 1 && cifras[0] == '0') cifras.erase(0, 1);
    const std::uint64_t magnitud = valor < 0 ? 0 - static_cast<std::uint64_t>(valor) : static_cast<std::uint64_t>(valor);
    return cifras == std::to_string(magnitud) && (negativo == (valor < 0)) ;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo < 9) return 0;
    std::int64_t valor;
    std::memcpy(&valor, datos, 8);
    const int escala = -static_cast<int>(datos[8] % 19);
    const std::string texto = autorep::conciliacion::textoImporte(valor, escala, ".");
    if (!mismoValor(texto, valor, escala)) std::abort();
    if (largo >= 17) {
        double d;
        std::memcpy(&d, datos + 9, 8);
        const std::string r = autorep::conciliacion::textoReal(d, ",");
        if (r.empty() || r.find('e') != std::string::npos || r.find('E') != std::string::npos) std::abort();
    }
    return 0;
}
