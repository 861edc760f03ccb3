#include "ctrlaccesoautorep/enomanejada.h"

#include "app/log_texto.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "platform/rutas.h"

namespace autorep::acceso {

ENoManejada::ENoManejada(app::Avisador& avisador, const plataforma::Regional& regional, const plataforma::Reloj& reloj,
                         std::function<std::string()> directorio, std::function<std::string()> usuario)
    : avisador_(avisador), regional_(regional), reloj_(reloj), directorio_(std::move(directorio)),
      usuario_(std::move(usuario)) {}

void ENoManejada::operator()(const std::string& mensaje) const {
    try {
        const auto ahora = reloj_.ahora();
        app::agregarRegistro(plataforma::rutaArchivo(directorio_(), "\\ERRORES.TXT"),
                             {plataforma::textoFecha(ahora.fecha, regional_), plataforma::textoHora(ahora.hora, regional_),
                              usuario_(), mensaje});
    } catch (...) {
        // The handler must not fail while it reports a failure: the record is lost.
    }
    avisador_.mensaje(traducirMensaje(mensaje));
}

}  // namespace autorep::acceso
