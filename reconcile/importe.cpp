#include "reconcile/importe.h"

#include <charconv>
#include <cmath>

namespace autorep::conciliacion {

std::string textoImporte(std::int64_t valor, int escala, std::string_view separador) {
    const bool negativo = valor < 0;
    // The magnitude as unsigned, so that the most negative value has one too.
    const std::uint64_t magnitud = negativo ? 0 - static_cast<std::uint64_t>(valor) : static_cast<std::uint64_t>(valor);
    std::string cifras = std::to_string(magnitud);
    std::string entera = cifras, fraccion;
    if (escala < 0) {
        const auto lugares = static_cast<std::size_t>(-escala);
        if (cifras.size() <= lugares) cifras.insert(0, lugares - cifras.size() + 1, '0');
        entera = cifras.substr(0, cifras.size() - lugares);
        fraccion = cifras.substr(cifras.size() - lugares);
        while (!fraccion.empty() && fraccion.back() == '0') fraccion.pop_back();
    } else {
        entera.append(static_cast<std::size_t>(escala), '0');
        if (magnitud == 0) entera = "0";
    }
    std::string r;
    if (negativo && magnitud != 0) r += '-';
    r += entera;
    if (!fraccion.empty()) {
        r += separador;
        r += fraccion;
    }
    return r;
}

std::string textoReal(double valor, std::string_view separador) {
    if (std::isnan(valor)) return "NAN";
    if (std::isinf(valor)) return valor < 0 ? "-INF" : "INF";
    if (valor == 0) return "0";
    char buf[400];
    const auto [fin, ec] = std::to_chars(buf, buf + sizeof buf, valor, std::chars_format::fixed);
    std::string r(buf, ec == std::errc{} ? fin : buf);
    const auto punto = r.find('.');
    if (punto != std::string::npos) r.replace(punto, 1, separador);
    return r;
}

std::string textoCampo(const bd::Valor& v, const plataforma::Regional& regional) {
    using T = bd::Valor::Tipo;
    switch (v.tipo()) {
        case T::Nulo: return {};
        case T::Entero: return textoImporte(v.entero(), v.escala(), regional.separadorDecimal);
        case T::Real: return textoReal(v.real(), regional.separadorDecimal);
        case T::Texto: return v.bytes();
        case T::Fecha: return plataforma::textoFecha(v.momento().fecha, regional);
        case T::Hora: return plataforma::textoHora(v.momento().hora, regional);
        case T::FechaHora: {
            const auto& h = v.momento().hora;
            std::string r = plataforma::textoFecha(v.momento().fecha, regional);
            if (h.hora || h.minuto || h.segundo || h.milisegundo) r += " " + plataforma::textoHora(h, regional);
            return r;
        }
        case T::Booleano: return v.entero() ? "True" : "False";
    }
    return {};
}

}  // namespace autorep::conciliacion
