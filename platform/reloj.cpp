#include "platform/reloj.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace autorep::plataforma {

FechaHora RelojSistema::ahora() const {
    using namespace std::chrono;
    const auto t = system_clock::now();
    const std::time_t segundos = system_clock::to_time_t(t);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &segundos);
#else
    localtime_r(&segundos, &local);
#endif
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000;
    return {{local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday)},
            {static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
             static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(ms)}};
}

std::string textoIso8601(const FechaHora& m) {
    std::tm t{};
    t.tm_year = m.fecha.anio - 1900;
    t.tm_mon = static_cast<int>(m.fecha.mes) - 1;
    t.tm_mday = static_cast<int>(m.fecha.dia);
    t.tm_hour = static_cast<int>(m.hora.hora);
    t.tm_min = static_cast<int>(m.hora.minuto);
    t.tm_sec = static_cast<int>(m.hora.segundo);
    t.tm_isdst = -1;
    const std::time_t instante = std::mktime(&t);
    long desplazamiento = 0;
#ifdef _WIN32
    std::tm utc{};
    gmtime_s(&utc, &instante);
    utc.tm_isdst = t.tm_isdst;
    desplazamiento = static_cast<long>(std::difftime(instante, std::mktime(&utc)));
#else
    std::tm local{};
    localtime_r(&instante, &local);
    desplazamiento = local.tm_gmtoff;
#endif
    const long minutos = (desplazamiento < 0 ? -desplazamiento : desplazamiento) / 60;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", m.fecha.anio, m.fecha.mes, m.fecha.dia,
                  m.hora.hora, m.hora.minuto, m.hora.segundo, desplazamiento < 0 ? '-' : '+', minutos / 60, minutos % 60);
    return buf;
}

}  // namespace autorep::plataforma
