#pragma once
#include <string>
#include <string_view>

#include "platform/fecha.h"
#include "platform/registro.h"

// The user's regional settings, read once at start, and the turning of dates
// and times into text with Windows-style patterns
// (d dd M MM yy yyyy H HH h hh m mm s ss t tt, '/' ':' and quoted literals).
namespace autorep::plataforma {

struct Regional {
    std::string fechaCorta = "dd/MM/yyyy";
    std::string horaLarga = "HH:mm:ss";
    std::string separadorFecha = "/";
    std::string separadorHora = ":";
    std::string separadorDecimal = ".";
    std::string designadorAm = "AM";
    std::string designadorPm = "PM";
};

// Values of HKEY_CURRENT_USER\Control Panel\International when present, each
// missing one taken from the system locale.
Regional leerRegional(const Registro& registro);
Regional regionalDeLocale();

std::string formatearFechaHora(std::string_view patron, const FechaHora& valor, const Regional& regional);
// A date in the short date format; a time in the long time format.
std::string textoFecha(const Fecha& fecha, const Regional& regional);
std::string textoHora(const Hora& hora, const Regional& regional);

}  // namespace autorep::plataforma
