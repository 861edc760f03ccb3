#include "reconcile/decimal.h"

#include <cmath>
#include <cstdio>

namespace autorep::conciliacion {

namespace {

constexpr int escalaMaxima = 30;

__int128 potenciaDeDiez(int n) {
    __int128 r = 1;
    for (int i = 0; i < n; ++i) r *= 10;
    return r;
}

}  // namespace

std::optional<Decimal> Decimal::de(const bd::Valor& v) {
    using T = bd::Valor::Tipo;
    switch (v.tipo()) {
        case T::Entero: return Decimal(v.entero(), -v.escala());
        case T::Real: {
            const double x = v.real();
            if (!std::isfinite(x) || std::fabs(x) >= 1e20) return std::nullopt;
            // Nine decimals hold every amount a floating column can carry exactly enough.
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.9f", x);
            return leer(buf);
        }
        default: return std::nullopt;
    }
}

std::optional<Decimal> Decimal::leer(std::string_view s, std::string_view separador) {
    bool negativo = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negativo = s.front() == '-';
        s.remove_prefix(1);
    }
    __int128 m = 0;
    int escala = 0, cifras = 0;
    bool enFraccion = false;
    for (std::size_t i = 0; i < s.size();) {
        if (!enFraccion && !separador.empty() && s.substr(i, separador.size()) == separador) {
            enFraccion = true;
            i += separador.size();
            continue;
        }
        const char c = s[i++];
        if (c < '0' || c > '9') return std::nullopt;
        if (++cifras > 36) return std::nullopt;
        m = m * 10 + (c - '0');
        if (enFraccion) ++escala;
    }
    if (cifras == 0 || escala > escalaMaxima) return std::nullopt;
    return Decimal(negativo ? -m : m, escala);
}

bool Decimal::igualarEscalas(Decimal& a, Decimal& b) {
    Decimal& menor = a.escala_ < b.escala_ ? a : b;
    const int escala = std::max(a.escala_, b.escala_);
    const __int128 factor = potenciaDeDiez(escala - menor.escala_);
    __int128 m;
    if (__builtin_mul_overflow(menor.mantisa_, factor, &m)) return false;
    menor = Decimal(m, escala);
    return true;
}

std::optional<Decimal> Decimal::mas(const Decimal& otro) const {
    Decimal a = *this, b = otro;
    __int128 m;
    if (!igualarEscalas(a, b) || __builtin_add_overflow(a.mantisa_, b.mantisa_, &m)) return std::nullopt;
    return Decimal(m, a.escala_);
}

std::optional<Decimal> Decimal::menos(const Decimal& otro) const {
    Decimal a = *this, b = otro;
    __int128 m;
    if (!igualarEscalas(a, b) || __builtin_sub_overflow(a.mantisa_, b.mantisa_, &m)) return std::nullopt;
    return Decimal(m, a.escala_);
}

Decimal Decimal::absoluto() const { return Decimal(mantisa_ < 0 ? -mantisa_ : mantisa_, escala_); }

int Decimal::comparar(const Decimal& otro) const {
    if (const auto d = menos(otro)) return d->mantisa_ < 0 ? -1 : d->mantisa_ > 0 ? 1 : 0;
    // At the ends of the range the scales cannot be matched: compare the
    // signs, then the integer parts, then the fractions, each of which fits.
    const int signo = (mantisa_ > 0) - (mantisa_ < 0), otroSigno = (otro.mantisa_ > 0) - (otro.mantisa_ < 0);
    if (signo != otroSigno) return signo < otroSigno ? -1 : 1;
    const __int128 f = potenciaDeDiez(escala_), g = potenciaDeDiez(otro.escala_);
    const __int128 entero = mantisa_ / f, otroEntero = otro.mantisa_ / g;
    if (entero != otroEntero) return entero < otroEntero ? -1 : 1;
    const int escala = std::max(escala_, otro.escala_);
    const __int128 fraccion = (mantisa_ % f) * potenciaDeDiez(escala - escala_);
    const __int128 otraFraccion = (otro.mantisa_ % g) * potenciaDeDiez(escala - otro.escala_);
    return fraccion < otraFraccion ? -1 : fraccion > otraFraccion ? 1 : 0;
}

std::string Decimal::texto() const {
    const bool negativo = mantisa_ < 0;
    unsigned __int128 magnitud = negativo ? -static_cast<unsigned __int128>(mantisa_) : mantisa_;
    std::string cifras;
    do {
        cifras.insert(cifras.begin(), static_cast<char>('0' + static_cast<int>(magnitud % 10)));
        magnitud /= 10;
    } while (magnitud != 0);
    if (static_cast<int>(cifras.size()) <= escala_) cifras.insert(0, escala_ - cifras.size() + 1, '0');
    std::string entera = cifras.substr(0, cifras.size() - escala_);
    std::string fraccion = cifras.substr(cifras.size() - escala_);
    while (!fraccion.empty() && fraccion.back() == '0') fraccion.pop_back();
    std::string r = negativo && (entera != "0" || !fraccion.empty()) ? "-" : "";
    r += entera;
    if (!fraccion.empty()) r += "." + fraccion;
    return r;
}

void Total::sumar(const std::optional<Decimal>& valor, bool esNulo) {
    if (esNulo) return;
    if (!valor) {
        exacto = false;
        return;
    }
    if (const auto s = suma.mas(*valor)) suma = *s;
    else exacto = false;
}

}  // namespace autorep::conciliacion
