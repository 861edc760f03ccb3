#include "db/valor.h"

#include <charconv>

#include "db/error_bd.h"

namespace autorep::bd {

Valor Valor::entero(std::int64_t v, int escala) {
    Valor r;
    r.tipo_ = Tipo::Entero;
    r.entero_ = v;
    r.escala_ = static_cast<std::int8_t>(escala);
    return r;
}

Valor Valor::real(double v) {
    Valor r;
    r.tipo_ = Tipo::Real;
    r.real_ = v;
    return r;
}

Valor Valor::texto(std::string bytes) {
    Valor r;
    r.tipo_ = Tipo::Texto;
    r.texto_ = std::move(bytes);
    return r;
}

Valor Valor::fecha(const plataforma::Fecha& f) {
    Valor r;
    r.tipo_ = Tipo::Fecha;
    r.momento_.fecha = f;
    return r;
}

Valor Valor::hora(const plataforma::Hora& h) {
    Valor r;
    r.tipo_ = Tipo::Hora;
    r.momento_.hora = h;
    return r;
}

Valor Valor::fechaHora(const plataforma::FechaHora& fh) {
    Valor r;
    r.tipo_ = Tipo::FechaHora;
    r.momento_ = fh;
    return r;
}

Valor Valor::booleano(bool v) {
    Valor r;
    r.tipo_ = Tipo::Booleano;
    r.entero_ = v ? 1 : 0;
    return r;
}

std::int64_t Valor::comoEntero() const {
    switch (tipo_) {
        case Tipo::Nulo: return 0;
        case Tipo::Entero:
        case Tipo::Booleano: {
            std::int64_t v = entero_;
            for (int i = escala_; i < 0; ++i) v /= 10;
            return v;
        }
        case Tipo::Texto: {
            std::string_view s = texto_;
            while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
            while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
            std::int64_t v = 0;
            const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
            if (ec == std::errc{} && p == s.data() + s.size() && !s.empty()) return v;
            throw ErrorBaseDatos("'" + texto_ + "' is not a valid integer value");
        }
        default: throw ErrorBaseDatos("Invalid variant type conversion");
    }
}

}  // namespace autorep::bd
