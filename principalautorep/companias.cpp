#include "principalautorep/companias.h"

#include "app/clave.h"
#include "app/inicio.h"
#include "db/consulta.h"
#include "reconcile/importe.h"

namespace autorep::principal {

void ListaCompanias::abrir(bd::Conexion& DbGeneral) {
    if (abierta_) return;
    bd::Consulta TCompania(DbGeneral, "TCompania");
    TCompania.ponerTexto("select * from COMPANIA");
    TCompania.abrir();
    TCompania.exigirColumnas(
        {"COMP_COD", "COM_NOMBRE", "COMP_NIT", "COMP_LOGO", "COMP_DIR", "COMP_TELS", "COMP_ENCABEZADO"});
    std::vector<Compania> filas;
    for (TCompania.primero(); !TCompania.fin(); TCompania.siguiente())
        filas.push_back({TCompania.campo("COMP_COD").bytes(), TCompania.campo("COM_NOMBRE").bytes()});
    filas_ = std::move(filas);
    abierta_ = true;
}

std::string ListaCompanias::nombreDe(const std::string& codigo) const {
    const Compania* c = buscar(codigo);
    return c ? c->nombre : std::string();
}

const Compania* ListaCompanias::buscar(const std::string& codigo) const {
    if (!abierta_) return nullptr;
    for (const auto& c : filas_)
        if (c.codigo == codigo) return &c;
    return nullptr;
}

void configurarConexionCompania(bd::Conexion& c) {
    c.ponerParametro("SQLDialect", "3");
    c.ponerParametro("Interbase TransIsolation", "ReadCommited");
    c.ponerParametro("WaitOnLocks", "True");
    c.ponerParametro("CommitRetain", "False");
    c.ponerParametro("BlobSize", "-1");
    c.ponerParametro("Trim Char", "False");
    c.ponerParametro("RoleName", "RoleName");
    c.ponerParametro("ServerCharSet", "");
    c.ponerParametro("LocaleCode", "0000");
    c.ponerParametro("ErrorResourceFile", "");
}

std::vector<std::string> conectarCompania(bd::Conexion& DbCia, const app::ValoresIngreso& v, const std::string& codigo) {
    DbCia.desconectar();
    DbCia.ponerParametro("Database", app::rutaCompania(v.ServidorOrigen, codigo));
    DbCia.ponerParametro("User_Name", v.UsuarioOrigen);
    DbCia.ponerParametro("password", app::Desencriptar(v.ClaveOrigen));
    DbCia.conectar();

    bd::Consulta TAgencias(DbCia, "CSubemp");
    TAgencias.ponerTexto("select * from SUCURSALES");
    TAgencias.abrir();
    TAgencias.exigirColumnas({"SUCU_ID", "SUCU_NOMBRE", "SUCU_DIRECCION", "SUCU_TELEFONOS"});
    std::vector<std::string> nombres;
    for (TAgencias.primero(); !TAgencias.fin(); TAgencias.siguiente()) nombres.push_back(TAgencias.campo("SUCU_NOMBRE").bytes());
    return nombres;
}

}  // namespace autorep::principal
