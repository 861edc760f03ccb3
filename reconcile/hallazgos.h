#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/fecha.h"
#include "reconcile/resumen.h"

// A pair's findings file: every finding of its run, one JSON object per line
// (UTF-8), so that the next revision can tell what is new, what persists and
// what was resolved, and a re-check can find the audit rows again.
namespace autorep::conciliacion {

// hallazgos21.jsonl, beside the pair's report.
std::string nombreArchivoHallazgos(std::int64_t tipo);

// Its kind as the file and resumen.json name it: "no_encontrado",
// "diferente", "duplicado", "pendiente".
std::string_view claseHallazgo(const Hallazgo& h);

std::string lineaHallazgo(const Hallazgo& h);
std::optional<Hallazgo> leerLineaHallazgo(std::string_view linea);

// 2026-12-10T13:02:00.125, and back.
std::string textoMomento(const plataforma::FechaHora& m);
std::optional<plataforma::FechaHora> leerMomento(std::string_view texto);

// The words of a finding beside the revision before it.
std::string_view palabraMarca(Hallazgo::Marca marca);

// Every finding of a findings file; nothing, with the reason, when the file
// cannot be read or is not whole.
std::optional<std::vector<Hallazgo>> leerHallazgos(const std::string& ruta, std::string& error);

// A pair's findings as the revision before this one recorded them: the
// documents by code, each with the latest audit moment among its findings.
class HallazgosAnteriores {
public:
    // Reads a findings file; nothing, with the reason, when it cannot.
    static std::optional<HallazgosAnteriores> leer(const std::string& ruta, std::string& error);
    bool contiene(const std::string& codigo) const { return documentos_.count(codigo) != 0; }

    struct Cuentas {
        std::size_t nuevos = 0, persistentes = 0, resueltos = 0;
        // A re-check's documents whose audit rows could not be read again:
        // neither resolved nor remaining, but not checked.
        std::size_t sinVerificar = 0;
    };
    // Documents found now and not before, found both times, and found before
    // but no more. A document found before whose audit rows lie outside this
    // revision's range was not looked at again: it is not resolved. With
    // `leidos` (a re-check), only a document whose audit row was read again
    // can be resolved; the others are counted as not checked.
    Cuentas comparar(const std::unordered_set<std::string>& actuales, const plataforma::Fecha& desde,
                     const plataforma::Fecha& hasta, const std::unordered_set<std::string>* leidos = nullptr) const;

private:
    std::unordered_map<std::string, plataforma::FechaHora> documentos_;
};

}  // namespace autorep::conciliacion
