#include "reconcile/interrupcion.h"

#include "platform/cp1252.h"

namespace autorep::conciliacion {

CorridaInterrumpida::CorridaInterrumpida()
    : std::runtime_error(plataforma::ansi("Interrumpido: el reporte guarda las líneas escritas hasta aquí.")) {}

}  // namespace autorep::conciliacion
