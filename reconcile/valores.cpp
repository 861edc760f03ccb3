#include "reconcile/valores.h"

namespace autorep::conciliacion {

using Tipo = bd::Valor::Tipo;

ValoresCompactos::Celda ValoresCompactos::celda(const bd::Valor& v) {
    Celda c;
    c.tipo = v.tipo();
    switch (v.tipo()) {
        case Tipo::Nulo: break;
        case Tipo::Entero:
            c.entero = v.entero();
            c.escala = static_cast<std::int8_t>(v.escala());
            break;
        case Tipo::Real: c.real = v.real(); break;
        default:
            c.aparte = aparte_.size();
            aparte_.push_back(v);
    }
    return c;
}

void ValoresCompactos::agregar(const bd::Valor& v) { celdas_.push_back(celda(v)); }

void ValoresCompactos::poner(std::size_t i, const bd::Valor& v) { celdas_.at(i) = celda(v); }

bd::Valor ValoresCompactos::operator[](std::size_t i) const {
    const Celda& c = celdas_.at(i);
    switch (c.tipo) {
        case Tipo::Nulo: return bd::Valor::nulo();
        case Tipo::Entero: return bd::Valor::entero(c.entero, c.escala);
        case Tipo::Real: return bd::Valor::real(c.real);
        default: return aparte_.at(c.aparte);
    }
}

}  // namespace autorep::conciliacion
