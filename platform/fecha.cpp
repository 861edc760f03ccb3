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

FechaHora finDelMes(const Fecha& hoy) {
    return {{hoy.anio, hoy.mes, diasDelMes(hoy.anio, hoy.mes)}, {23, 59, 59, 999}};
}

}  // namespace autorep::plataforma
