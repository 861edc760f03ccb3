#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fecha.h"

namespace autorep::app {

// The options of the batch command.
struct OpcionesLote {
    std::string origen, usuario, clave, compania;
    std::string destino, usuarioDestino, claveDestino, companiaDestino;
    std::string tipo = "21";
    plataforma::Fecha desde, hasta;
    std::optional<std::string> directorio;
    int esperaReporte = 300;    // seconds a run waits for a report another run writes
    bool filaAFila = false;     // the reference run, one lookup per row
    bool estadisticas = false;  // statements executed, on standard error
    bool ayuda = false;
    bool version = false;
};

// A bad command line: the message names the option.
class ErrorOpciones : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads GNU-style options (--opcion=valor and --opcion valor). Passwords come
// from AUTOREP_CLAVE and AUTOREP_CLAVE_DESTINO when their options are absent;
// the destination user, password and company default to the origin's; the
// dates to the month of `hoy`.
OpcionesLote leerOpcionesLote(const std::vector<std::string>& argumentos, const plataforma::Fecha& hoy);

std::string ayudaLote();

}  // namespace autorep::app
