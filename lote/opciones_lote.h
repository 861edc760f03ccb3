#pragma once
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fecha.h"

namespace autorep::lote {

// The options of the batch command. A single run takes `compania`,
// `companiaDestino` and `tipo`; a revision the lists beside them.
struct OpcionesLote {
    std::string origen, usuario, clave, compania;
    std::string destino, usuarioDestino, claveDestino, companiaDestino;
    std::string tipo = "21";
    std::vector<std::string> companias;            // --compania as listed (empty for "todas")
    bool todasLasCompanias = false;                // --compania todas
    std::map<std::string, std::string> destinos;   // --compania-destino ORIGEN=DESTINO pairs
    std::vector<std::string> tipos;                // --tipo as listed (empty for "todos")
    bool todosLosTipos = false;                    // --tipo todos
    std::optional<std::string> revision;           // --revision DIR
    // The earlier revision to compare findings with (--comparar-con DIR);
    // by default the latest one beside this one, none with --sin-comparar.
    std::optional<std::string> compararCon;
    bool sinComparar = false;
    // --reverificar DIR: checks again the findings of revision DIR, whose
    // servers, pairs, range and rules it takes.
    std::optional<std::string> reverificar;
    unsigned paralelo = 0;                         // companies at once; 0: one per core
    int margenMinutos = 0;
    std::string tolerancia = "0";                  // decimal text with '.'
    std::optional<unsigned> conservar;             // --conservar N: revisions kept in the folder
    // Whether the invocation writes a revision folder: --revision, or a list,
    // "todas" or "todos", which may name more than one pair.
    bool esRevision() const;
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

}  // namespace autorep::lote
