#pragma once
#include <cstdint>
#include <string>

#include "platform/fecha.h"

namespace autorep::bd {

// One column value of a fetched row. Texts are the stored bytes, CHAR values
// with their trailing blanks; NUMERIC/DECIMAL are exact scaled integers.
class Valor {
public:
    enum class Tipo : std::uint8_t { Nulo, Entero, Real, Texto, Fecha, Hora, FechaHora, Booleano };

    static Valor nulo() { return Valor{}; }
    static Valor entero(std::int64_t v, int escala = 0);
    static Valor real(double v);
    static Valor texto(std::string bytes);
    static Valor fecha(const plataforma::Fecha& f);
    static Valor hora(const plataforma::Hora& h);
    static Valor fechaHora(const plataforma::FechaHora& fh);
    static Valor booleano(bool v);

    Tipo tipo() const { return tipo_; }
    bool esNulo() const { return tipo_ == Tipo::Nulo; }

    // The value is entero() times ten to the power escala() (escala <= 0).
    std::int64_t entero() const { return entero_; }
    int escala() const { return escala_; }
    double real() const { return real_; }
    const std::string& bytes() const { return texto_; }
    const plataforma::FechaHora& momento() const { return momento_; }

    // The value as an integer: integers as they are, scaled values truncated,
    // texts holding a whole number parsed; NULL is 0. Anything else raises
    // ErrorBaseDatos.
    std::int64_t comoEntero() const;

private:
    Tipo tipo_ = Tipo::Nulo;
    std::int8_t escala_ = 0;
    std::int64_t entero_ = 0;
    double real_ = 0;
    std::string texto_;
    plataforma::FechaHora momento_{};
};

}  // namespace autorep::bd
