#include "platform/fecha.h"

namespace autorep::plataforma {

bool esBisiesto(int anio) {
    return (anio % 4 == 0 && anio % 100 != 0) || anio % 400 == 0;
}

unsigned diasDelMes(int anio, unsigned mes) {
    static constexpr unsigned dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (mes < 1 || mes > 12) return 0;
    return mes == 2 && esBisiesto(anio) ? 29 : dias[mes - 1];
}

bool fechaValida(const Fecha& f) {
    return f.mes >= 1 && f.mes <= 12 && f.dia >= 1 && f.dia <= diasDelMes(f.anio, f.mes);
}

FechaHora inicioDelMes(const Fecha& hoy) {
    return {{hoy.anio, hoy.mes, 1}, {0, 0, 0, 0}};
}

namespace {
// Days since 1970-01-01 and back (Howard Hinnant's civil calendar algorithms).
long diasDesdeCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}
Fecha civilDesdeDias(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), m, d};
}
}  // namespace

FechaHora sumarMinutos(const FechaHora& momento, long minutos) {
    long total = diasDesdeCivil(momento.fecha.anio, momento.fecha.mes, momento.fecha.dia) * 1440 +
                 momento.hora.hora * 60 + momento.hora.minuto + minutos;
    long dias = total / 1440, resto = total % 1440;
    if (resto < 0) {
        resto += 1440;
        --dias;
    }
    return {civilDesdeDias(dias),
            {static_cast<unsigned>(resto / 60), static_cast<unsigned>(resto % 60), momento.hora.segundo,
             momento.hora.milisegundo}};
}

FechaHora finDelMes(const Fecha& hoy) {
    return {{hoy.anio, hoy.mes, diasDelMes(hoy.anio, hoy.mes)}, {23, 59, 59, 999}};
}

}  // namespace autorep::plataforma
