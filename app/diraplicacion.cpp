#include "app/diraplicacion.h"

#include "platform/cp1252.h"

namespace autorep::app {

using plataforma::RaizRegistro;

std::string diraplicacion(const plataforma::Registro& registro, Avisador& avisador) {
    for (const char* clave : {"\\Software\\Vorlan\\QuorixERP2016", "\\Software\\Vorlan\\QuorixERP2015"}) {
        if (registro.existeClave(RaizRegistro::LocalMachine, clave))
            return plataforma::leerCadena(registro, RaizRegistro::LocalMachine, clave, "Directorio");
    }
    avisador.informacion(
        plataforma::ansi("No se encontró la Clave HKEY_LOCAL_MACHINE\\Software\\Vorlan\\QuorixERP2016\\Directorio"));
    return {};
}

std::string diraplicacion(Avisador& avisador) {
    const auto registro = plataforma::registroDelSistema();
    return diraplicacion(*registro, avisador);
}

}  // namespace autorep::app
