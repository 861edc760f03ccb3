#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Numbers, durations and moments as the revision's pages and files show and
// read them (UTF-8 texts).
namespace autorep::conciliacion {

// Counts of five digits or more grouped by thousands with a narrow no-break
// space, the Spanish way that cannot be mistaken for a decimal separator.
std::string miles(std::uint64_t n);
// "1 hallazgo", "12 hallazgos".
std::string plural(std::uint64_t n, std::string_view singular, std::string_view varios);
// "4.2 s", "12 s", "3 min 05 s", "2 h 10 min".
std::string duracion(double segundos);

// An ISO 8601 moment as the program writes them, 2026-12-10T02:00:00-03:00,
// possibly with fractions of a second or Z.
struct MomentoIso {
    std::string texto;   // 10/12/2026 02:00:00
    std::string zona;    // UTC−03:00; empty when the text has no offset
    long long segundosLocales = 0;         // since 1970, on the text's own clock
    std::optional<long long> segundosUtc;  // none when the text has no offset
};
std::optional<MomentoIso> leerMomentoIso(std::string_view iso);

}  // namespace autorep::conciliacion
