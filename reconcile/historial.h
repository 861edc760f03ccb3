#pragma once
#include <optional>
#include <string>
#include <vector>

// The history of the revisions kept side by side in one folder (by default
// <application directory>/revisiones): historial.jsonl for a monitor, one line
// per revision, oldest first, and indice.html for a person, newest first.
// Both are derived from the revisions' resumen.json files: deleting either
// loses nothing.
namespace autorep::conciliacion {

struct ResultadoHistorial {
    bool escrito = false;               // both files published
    std::vector<std::string> borradas;  // revision folders --conservar removed
    std::vector<std::string> avisos;    // in Spanish: what was skipped or could not be done
};

// Rewrites the history of `padre` after the revision `nueva` (a folder inside
// it, read afresh) was written. The other revisions' lines are taken from the
// history when it reads whole, so a thousand folders do not mean a thousand
// summaries parsed; a folder the history lacks is read from its resumen.json,
// and the history is rebuilt from all of them when it is missing or
// unreadable. With `conservar`, the oldest revisions beyond that many are
// removed first, never `nueva` nor the revisions it names as compared with or
// re-checked. Two revisions finishing at once take turns through a lock file.
ResultadoHistorial actualizarHistorial(const std::string& padre, const std::string& nueva,
                                       std::optional<unsigned> conservar = std::nullopt);

}  // namespace autorep::conciliacion
