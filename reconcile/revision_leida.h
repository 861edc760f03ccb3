#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/fecha.h"

// An earlier revision as its resumen.json tells it: what a new revision
// compares itself with, and what a re-check checks again. Texts are
// Windows-1252, as everywhere in the program.
namespace autorep::conciliacion {

struct ParLeido {
    std::string compania, companiaDestino;
    std::int64_t tipo = 0;
    std::string estado;         // "igual", "diferencias", "sin_movimientos", "error"
    bool incompleto = false;
    std::string hallazgos;      // the findings file's path; empty when the pair has none
};

struct RevisionLeida {
    std::string carpeta;
    int version = 0;
    std::string inicio, fin, origen, destino;
    plataforma::Fecha desde, hasta;
    int margenMinutos = 0;
    std::string tolerancia;
    bool interrumpida = false;
    bool reverificacion = false;  // a re-check of another revision's findings
    std::vector<ParLeido> pares;
    // Whether its pairs keep their findings (files written since version 2).
    bool conHallazgos() const { return version >= 2; }
};

// The version of resumen.json this program writes, and the oldest it reads.
constexpr int versionResumen = 2;

// Reads <carpeta>/resumen.json; nothing, with the reason (Spanish), when the
// folder holds none, or one that is not whole or of another version.
std::optional<RevisionLeida> leerRevision(const std::string& carpeta, std::string& error);

// The latest revision in `padre`, other than `propia`, that began before
// `inicio` (or in its second) and checked the same two servers. Re-checks and
// revisions cut short by a stop are not counted: neither looked at everything.
// A folder whose resumen.json cannot be read is named in `avisos`.
std::optional<RevisionLeida> buscarAnterior(const std::string& padre, const std::string& propia,
                                            const std::string& origen, const std::string& destino,
                                            const std::string& inicio, std::vector<std::string>& avisos);

}  // namespace autorep::conciliacion
