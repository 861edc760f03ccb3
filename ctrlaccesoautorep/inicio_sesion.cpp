#include "ctrlaccesoautorep/inicio_sesion.h"

#include "app/clave.h"
#include "app/inicio.h"
#include "db/consulta.h"
#include "db/sql.h"
#include "platform/texto.h"

namespace autorep::acceso {

std::string consultaUsuario(const std::string& usuario) {
    return "select usua_nombre from usuario where usua_cod = " +
           bd::citar(plataforma::mayusculasAscii(usuario));
}

void iniciarSesion(bd::Conexion& DbGeneral, const DatosAcceso& d, app::ValoresIngreso& v) {
    app::conectarGeneral(DbGeneral, d.servidor, d.usuario, d.clave);
    v.UsuarioOrigen = plataforma::mayusculasAscii(d.usuario);
    v.ClaveOrigen = app::Encriptar(d.clave);
    v.ServidorOrigen = d.servidor;
    v.ServidorDestino = d.servidorDestino;
    v.UsuarioDestino = plataforma::mayusculasAscii(d.usuarioDestino);
    v.ClaveDestino = d.claveDestino;

    bd::Consulta Cusuario(DbGeneral, "Cusuario");
    Cusuario.ponerTexto(consultaUsuario(d.usuario));
    Cusuario.abrir();
    Cusuario.cerrar();
}

}  // namespace autorep::acceso
