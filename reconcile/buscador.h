#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/conexion.h"
#include "reconcile/interrupcion.h"
#include "reconcile/valores.h"

// Many lookups of one rule query in few statements: the query runs for each
// key inside an EXECUTE BLOCK prepared once, with the key's values as typed
// parameters in place of the rule's literals.
namespace autorep::conciliacion {

// A rule's query, cut around the values it takes: partes[0] value partes[1]
// value ... partes[n]. A value is either quoted text or a bare integer.
struct PlantillaConsulta {
    std::vector<std::string> partes;
    std::vector<bool> citado;  // one per value

    // The statement the row-by-row rule sends for these values.
    std::string referencia(const std::vector<std::string>& valores) const;
};

// A lookup that cannot be done in batches with the very semantics of the rule.
class SinLotes : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the query of each key yielded: whether it was asked at all (a key the
// block cannot carry is left to the row-by-row rule), how many rows, and the
// columns of the first.
class Respuestas {
public:
    Respuestas() = default;
    Respuestas(std::size_t claves, std::size_t columnas);
    bool preguntada(std::size_t k) const { return filas_[k] >= 0; }
    std::int64_t filas(std::size_t k) const { return filas_[k]; }
    bd::Valor columna(std::size_t k, std::size_t c) const { return valores_[k * columnas_ + c]; }

private:
    friend class Buscador;
    std::size_t columnas_ = 0;
    std::vector<std::int64_t> filas_;  // -1: not asked
    ValoresCompactos valores_;
};

class Buscador {
public:
    Buscador(bd::Conexion& conexion, PlantillaConsulta plantilla);
    ~Buscador();

    // The answers for every key, in its order. The block is prepared at the
    // first call, from the result columns of the first key's query; a stop
    // asked for is heard between statements.
    Respuestas buscar(const std::vector<std::vector<std::string>>& claves, const Interrupcion* interrupcion = nullptr);

    // How the last call went: statements answered and failed, and the first
    // failure's text. None answered, some failed: no key explains it.
    std::size_t logradas() const { return logradas_; }
    std::size_t fallidas() const { return fallidas_; }
    const std::string& primerError() const { return primerError_; }

    // Keys a statement carries at most.
    static constexpr std::size_t clavesPorSentencia = 256;
    // The declared lengths of quoted values, in bytes: most keys are short,
    // and longer ones go in small blocks of their own; a value longer still, one
    // holding a NUL, or a bare value that is not a whole number, is left to the
    // row-by-row rule.
    static constexpr std::size_t largoCorto = 80;
    static constexpr std::size_t largoLargo = 1000;

private:
    // largoCorto or largoLargo, or 0 when the block cannot carry the key.
    std::size_t largoNecesario(const std::vector<std::string>& clave) const;
    void preguntar(const std::vector<std::vector<std::string>>& claves, const std::vector<std::size_t>& aPreguntar,
                   std::size_t largo, Respuestas& r, const Interrupcion* interrupcion);
    void preguntarTramo(const std::vector<std::vector<std::string>>& claves, const std::vector<std::size_t>& aPreguntar,
                        std::size_t primero, std::size_t cuantas, std::size_t largo, Respuestas& r,
                        const Interrupcion* interrupcion);
    bd::Conexion& conexion_;
    PlantillaConsulta plantilla_;
    bd::Preparada& bloqueDe(std::size_t claves, std::size_t largo);
    std::vector<std::string> tipos_;  // the result columns of the rule's query
    std::size_t columnas_ = 0;
    std::size_t maximo_ = clavesPorSentencia;
    std::size_t fallas_ = 0;  // failures chased by halves in this call
    std::size_t logradas_ = 0, fallidas_ = 0;
    std::string primerError_;
    struct Bloque {
        std::size_t claves, largo;
        std::unique_ptr<bd::Preparada> sentencia;
    };
    std::vector<Bloque> bloques_;
};

}  // namespace autorep::conciliacion
