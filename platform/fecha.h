#pragma once
#include <compare>
#include <string>
// Calendar values as the program keeps them: a date, a time of day to the
// millisecond, and both together (what a date editor holds).

namespace autorep::plataforma {

struct Fecha {
    int anio = 1900;
    unsigned mes = 1;
    unsigned dia = 1;
    friend bool operator==(const Fecha&, const Fecha&) = default;
    friend auto operator<=>(const Fecha&, const Fecha&) = default;
};

struct Hora {
    unsigned hora = 0;
    unsigned minuto = 0;
    unsigned segundo = 0;
    unsigned milisegundo = 0;
    friend bool operator==(const Hora&, const Hora&) = default;
    friend auto operator<=>(const Hora&, const Hora&) = default;
};

struct FechaHora {
    Fecha fecha;
    Hora hora;
    friend bool operator==(const FechaHora&, const FechaHora&) = default;
    friend auto operator<=>(const FechaHora&, const FechaHora&) = default;
};

bool esBisiesto(int anio);
unsigned diasDelMes(int anio, unsigned mes);
bool fechaValida(const Fecha& f);

// The first day of the month of `hoy` at 00:00:00.000 and its last day at
// 23:59:59.999: the date range a new window starts with.
FechaHora inicioDelMes(const Fecha& hoy);
FechaHora finDelMes(const Fecha& hoy);

// Days from 1 January 1970 to the date (negative before it).
long diasDesde1970(const Fecha& fecha);

// The moment that many minutes later (earlier when negative), by the calendar.
FechaHora sumarMinutos(const FechaHora& momento, long minutos);

// 2026-12-10, and 2026-12-10T13:02:00 (a moment without its UTC offset, as a
// server's clock gives it): texts that Firebird and JSON readers take as they are.
std::string textoIso(const Fecha& fecha);
std::string textoIso(const FechaHora& momento);

}  // namespace autorep::plataforma
