#include "lote/par.h"

#include <array>
#include <stdexcept>

#include "app/inicio.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "platform/cp1252.h"
#include "platform/texto.h"
#include "reconcile/reglas.h"

namespace autorep::lote {

namespace {

using plataforma::ansi;

// The side and the database before the server's words (translated where the
// program knows them); no comma, so the log record keeps its fields.
std::string enLaBase(const std::string& base, const std::string& mensaje) {
    const std::string traducido = acceso::traducirMensaje(mensaje);
    const bool conocido = traducido.rfind("Se presento el siguiente error: ", 0) != 0;
    return base + ": " + (conocido ? traducido : mensaje);
}

// Windows keeps these device names whatever the extension: "NUL.txt" is NUL.
bool nombreDeDispositivo(std::string_view codigo) {
    const std::string base = plataforma::mayusculasAscii(codigo.substr(0, codigo.find('.')));
    static constexpr std::array<std::string_view, 4> fijos = {"CON", "PRN", "AUX", "NUL"};
    for (const auto f : fijos)
        if (base == f) return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

}  // namespace

std::string motivoSinRegla(std::int64_t tipo) {
    if (conciliacion::reglaImporte(tipo) || tipo == conciliacion::tipoComprobante) return {};
    return ansi("El tipo ") + std::to_string(tipo) + ansi(" no tiene regla de comparación: no se puede revisar.");
}

std::string motivoCarpeta(const std::string& codigo) {
    const std::string nombre = ansi("El código de compañía \"") + plataforma::textoVisible(codigo) + "\"";
    if (codigo.empty() || codigo == "." || codigo == ".." ||
        codigo.find_first_of(std::string("/\\:*?\"<>|\0", 10)) != std::string::npos ||
        std::any_of(codigo.begin(), codigo.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return nombre + ansi(" no puede ser el nombre de una carpeta.");
    if (codigo.back() == '.' || codigo.back() == ' ')
        return nombre + ansi(" termina en punto o espacio: Windows no guarda una carpeta con ese nombre.");
    if (nombreDeDispositivo(codigo))
        return nombre + ansi(" es el nombre de un dispositivo de Windows: no puede ser una carpeta.");
    if (plataforma::igualesSinMayusculas(codigo, "resumen.json") || plataforma::igualesSinMayusculas(codigo, "resumen.html"))
        return nombre + ansi(" es el nombre de un resumen de la revisión: no puede ser su carpeta.");
    return {};
}

app::ValoresIngreso ingresarOrigen(bd::Conexion& DbGeneral, const OpcionesLote& o, principal::ListaCompanias& lista) {
    DbGeneral.ponerParametro("SQLDialect", "3");
    app::ValoresIngreso valores;
    try {
        valores = app::ingresarPorArgumentos(DbGeneral, {o.origen, o.usuario, o.clave, o.compania});
        lista.abrir(DbGeneral);
    } catch (const std::exception& e) {
        throw std::runtime_error(enLaBase("Base general de origen " + app::rutaGeneral(o.origen), e.what()));
    }
    valores.ServidorDestino = o.destino;
    valores.UsuarioDestino = plataforma::mayusculasAscii(o.usuarioDestino);
    valores.ClaveDestino = o.claveDestino;
    return valores;
}

const principal::Compania& companiaListada(const principal::ListaCompanias& lista, const std::string& codigo,
                                            const std::string& origen) {
    if (const auto* c = lista.buscar(codigo)) return *c;
    throw std::runtime_error(ansi("La compañía \"") + codigo + ansi("\" no existe en COMPANIA de ") +
                             app::rutaGeneral(origen) + ".");
}

void conectarOrigen(bd::Conexion& DbCia, const app::ValoresIngreso& valores, const std::string& codigo) {
    try {
        principal::conectarCompania(DbCia, valores, codigo);
    } catch (const std::exception& e) {
        throw std::runtime_error(
            enLaBase(ansi("Base de la compañía de origen ") + app::rutaCompania(valores.ServidorOrigen, codigo), e.what()));
    }
}

conciliacion::EntradasCorrida entradasPar(const OpcionesLote& o, const app::ValoresIngreso& valores,
                                          const principal::Compania& compania, const std::string& companiaDestino,
                                          const std::string& tipo, conciliacion::Conteo conteo) {
    // The run takes the picker's shown text, which a company without a name
    // leaves empty; its code shows instead.
    return {compania.nombre.empty() ? compania.codigo : compania.nombre,
            companiaDestino,
            tipo,
            plataforma::FechaHora{o.desde, {0, 0, 0, 0}},
            plataforma::FechaHora{o.hasta, {23, 59, 59, 999}},
            valores.ServidorDestino,
            valores.UsuarioDestino,
            valores.ClaveDestino,
            o.filaAFila,
            std::move(conteo)};
}

}  // namespace autorep::lote
