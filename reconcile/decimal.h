#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "db/valor.h"

namespace autorep::conciliacion {

// An exact decimal number: an integer times ten to the power -escala. Wide
// enough (128 bits) for the sum of a million amounts of eighteen digits, so
// control totals never go through floating point.
class Decimal {
public:
    Decimal() = default;

    // The amount of a column value: integers and NUMERIC exactly, floating
    // values rounded to nine decimals; nothing for NULL, texts and values
    // beyond 10^20.
    static std::optional<Decimal> de(const bd::Valor& valor);
    // "12", "-0.5", "3,25" with separador ","; nothing for anything else.
    static std::optional<Decimal> leer(std::string_view texto, std::string_view separador = ".");

    // Nothing when the result would not fit.
    std::optional<Decimal> mas(const Decimal& otro) const;
    std::optional<Decimal> menos(const Decimal& otro) const;
    Decimal absoluto() const;
    bool esCero() const { return mantisa_ == 0; }
    int comparar(const Decimal& otro) const;  // -1, 0, 1

    // Plain decimal text with '.': no grouping, no trailing zeros, "0" for zero.
    std::string texto() const;

private:
    Decimal(__int128 mantisa, int escala) : mantisa_(mantisa), escala_(escala) {}
    // Both at the larger scale; false when that does not fit.
    static bool igualarEscalas(Decimal& a, Decimal& b);
    __int128 mantisa_ = 0;
    int escala_ = 0;
};

// A sum that says whether every value could be added exactly.
struct Total {
    Decimal suma;
    bool exacto = true;
    void sumar(const std::optional<Decimal>& valor, bool esNulo);
};

}  // namespace autorep::conciliacion
