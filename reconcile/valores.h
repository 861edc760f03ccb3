#pragma once
#include <cstdint>
#include <vector>

#include "db/valor.h"

namespace autorep::conciliacion {

// Fetched values kept for later in 16 bytes each: whole and scaled numbers,
// reals and NULL in place, anything else aside in full. A run of a million
// rows keeps its amounts here.
class ValoresCompactos {
public:
    void agregar(const bd::Valor& v);
    void poner(std::size_t i, const bd::Valor& v);
    void redimensionar(std::size_t n) { celdas_.resize(n); }
    bd::Valor operator[](std::size_t i) const;
    std::size_t size() const { return celdas_.size(); }

private:
    struct Celda {
        union {
            std::int64_t entero;
            double real;
            std::uint64_t aparte;
        };
        bd::Valor::Tipo tipo = bd::Valor::Tipo::Nulo;
        std::int8_t escala = 0;
        Celda() : entero(0) {}
    };
    Celda celda(const bd::Valor& v);
    std::vector<Celda> celdas_;
    std::vector<bd::Valor> aparte_;
};

}  // namespace autorep::conciliacion
