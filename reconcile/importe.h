#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "db/valor.h"
#include "platform/regional.h"

namespace autorep::conciliacion {

// An exact amount, the integer `valor` times ten to `escala` (escala <= 0),
// as plain decimal text: a minus sign for negatives, no leading zeros, no
// grouping, the fraction after `separador` without trailing zeros, no
// separator without a fraction, zero as "0".
std::string textoImporte(std::int64_t valor, int escala, std::string_view separador);
// A floating value in its shortest exact decimal form, without exponent.
std::string textoReal(double valor, std::string_view separador);

// A column value as the report and the record text write it: NULL empty,
// numbers as amounts, texts as stored, dates in the short date format.
std::string textoCampo(const bd::Valor& valor, const plataforma::Regional& regional);

}  // namespace autorep::conciliacion
