#include "app/inicio.h"

#include "app/clave.h"
#include "platform/texto.h"

namespace autorep::app {

RangoFechas rangoDelMesActual(const plataforma::Reloj& reloj) {
    const auto hoy = reloj.ahora().fecha;
    return {plataforma::inicioDelMes(hoy), plataforma::finDelMes(hoy)};
}

std::string rutaGeneral(const std::string& servidor) { return servidor + "/datos/general.fdb"; }

std::string rutaCompania(const std::string& servidor, const std::string& compania) {
    return servidor + "/datos/" + compania + "/quorix.fdb";
}

void conectarGeneral(bd::Conexion& dbGeneral, const std::string& servidor, const std::string& usuario,
                     const std::string& clave) {
    dbGeneral.desconectar();
    dbGeneral.ponerParametro("Database", rutaGeneral(servidor));
    dbGeneral.ponerParametro("User_Name", usuario);
    dbGeneral.ponerParametro("password", clave);
    dbGeneral.conectar();
}

ValoresIngreso ingresarPorArgumentos(bd::Conexion& dbGeneral, const ArgumentosInicio& a) {
    conectarGeneral(dbGeneral, a[0], a[1], a[2]);
    ValoresIngreso v;
    v.UsuarioOrigen = plataforma::mayusculasAscii(a[1]);
    v.ClaveOrigen = Encriptar(a[2]);
    v.ServidorOrigen = a[0];
    return v;
}

}  // namespace autorep::app
