#include "platform/fecha.h"

#include <chrono>
#include <cstdio>

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

long diasDesde1970(const Fecha& f) {
    using namespace std::chrono;
    const sys_days dia = year{f.anio} / month{f.mes} / day{f.dia};
    return dia.time_since_epoch().count();
}

FechaHora sumarMinutos(const FechaHora& momento, long minutos) {
    using namespace std::chrono;
    const auto instante = sys_days{days{diasDesde1970(momento.fecha)}} + hours{momento.hora.hora} +
                          std::chrono::minutes{static_cast<long>(momento.hora.minuto) + minutos};
    const auto dia = floor<days>(instante);
    const year_month_day fecha{dia};
    const hh_mm_ss reloj{instante - dia};
    return {{static_cast<int>(fecha.year()), static_cast<unsigned>(fecha.month()), static_cast<unsigned>(fecha.day())},
            {static_cast<unsigned>(reloj.hours().count()), static_cast<unsigned>(reloj.minutes().count()),
             momento.hora.segundo, momento.hora.milisegundo}};
}

FechaHora finDelMes(const Fecha& hoy) {
    return {{hoy.anio, hoy.mes, diasDelMes(hoy.anio, hoy.mes)}, {23, 59, 59, 999}};
}

std::string textoIso(const Fecha& f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u", f.anio, f.mes, f.dia);
    return buf;
}

std::string textoIso(const FechaHora& m) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u", m.fecha.anio, m.fecha.mes, m.fecha.dia, m.hora.hora,
                  m.hora.minuto, m.hora.segundo);
    return buf;
}

}  // namespace autorep::plataforma
