#pragma once
#include "app/ingreso.h"
#include "db/conexion.h"
#include "platform/reloj.h"

namespace autorep::app {

// The date range a new main window starts with: the current month, from its
// first day at 00:00:00.000 to its last at 23:59:59.999.
struct RangoFechas {
    plataforma::FechaHora inicio;
    plataforma::FechaHora fin;
};
RangoFechas rangoDelMesActual(const plataforma::Reloj& reloj);

// The general database of a server: server + "/datos/general.fdb".
std::string rutaGeneral(const std::string& servidor);
// A company database: server + "/datos/" + code + "/quorix.fdb".
std::string rutaCompania(const std::string& servidor, const std::string& compania);

// Connects the general database with the given user and password exactly as
// given (an empty one is left out) after pointing it at the server's path.
void conectarGeneral(bd::Conexion& dbGeneral, const std::string& servidor, const std::string& usuario,
                     const std::string& clave);

// The unattended sign-in: connects the general database with arguments 1 to 3
// and returns the origin sign-in values (user upper-cased, password
// scrambled). A failed connect raises its error and stores nothing.
ValoresIngreso ingresarPorArgumentos(bd::Conexion& dbGeneral, const ArgumentosInicio& argumentos);

}  // namespace autorep::app
