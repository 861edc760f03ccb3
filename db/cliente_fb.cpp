#include "db/cliente_fb.h"

#include "db/error_bd.h"
#include "platform/biblioteca.h"
#include "platform/cp1252.h"
#ifdef _WIN32
#include "platform/registro.h"
#endif

namespace autorep::bd::fb {

namespace {

#ifdef _WIN32
constexpr const char* nombreCliente = "fbclient.dll";

// The folder of the default Firebird instance, ending in a backslash; empty
// when the registry names none.
std::string carpetaDeFirebird() {
    try {
        std::string carpeta = plataforma::leerCadena(*plataforma::registroDe64Bits(), plataforma::RaizRegistro::LocalMachine,
                                                     "SOFTWARE\\Firebird Project\\Firebird Server\\Instances",
                                                     "DefaultInstance");
        if (!carpeta.empty() && carpeta.back() != '\\') carpeta += '\\';
        return carpeta;
    } catch (const std::exception&) {
        return {};
    }
}
#else
constexpr const char* nombreCliente = "libfbclient.so.2";
#endif

}  // namespace

Firebird::IMaster* cargarClienteFirebird() {
    std::string motivo;
    std::string cargada = nombreCliente;
    void* biblioteca = plataforma::cargarBiblioteca(cargada, motivo);
#ifdef _WIN32
    if (!biblioteca) {
        const std::string carpeta = carpetaDeFirebird();
        if (!carpeta.empty()) {
            std::string motivoCarpeta;
            cargada = carpeta + nombreCliente;
            biblioteca = plataforma::cargarBiblioteca(cargada, motivoCarpeta);
            motivo += "; " + cargada + ": " + motivoCarpeta;
        }
    }
#endif
    if (!biblioteca)
        throw ErrorBaseDatos("No se pudo cargar la biblioteca cliente de Firebird " + std::string(nombreCliente) + ": " +
                             motivo);
    const auto maestro = reinterpret_cast<decltype(&Firebird::fb_get_master_interface)>(
        plataforma::buscarFuncion(biblioteca, "fb_get_master_interface"));
    if (!maestro)
        throw ErrorBaseDatos(plataforma::ansi("La biblioteca ") + cargada +
                             plataforma::ansi(" no es el cliente de Firebird 3 o posterior: le falta fb_get_master_interface."));
    return maestro();
}

}  // namespace autorep::bd::fb
