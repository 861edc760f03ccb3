#pragma once
#include <string>

#include "app/ingreso.h"
#include "db/conexion.h"

namespace autorep::acceso {

// What the login dialog's six boxes hold (Windows-1252 bytes).
struct DatosAcceso {
    std::string servidor;
    std::string usuario;
    std::string clave;
    std::string servidorDestino;
    std::string usuarioDestino;
    std::string claveDestino;
};

// The log-in sequence after the status text is shown: connects the general
// database with the user and password as typed, stores the six sign-in values,
// then checks the user with a query whose result is not examined. Only an
// error stops it; values stored before a failed check stay until the next try.
void iniciarSesion(bd::Conexion& DbGeneral, const DatosAcceso& datos, app::ValoresIngreso& valores);

// The user check statement; the code is quoted, so a quote in it can neither
// break nor change the statement.
std::string consultaUsuario(const std::string& usuario);

}  // namespace autorep::acceso
