#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/conexion.h"
#include "reconcile/interrupcion.h"
#include "reconcile/valores.h"

// Many lookups of one rule query in few statements: the query runs for each
// key inside an EXECUTE BLOCK prepared once, with the key's values as typed
// variables in place of the rule's literals.
namespace autorep::conciliacion {

// A rule's query, cut around the values it takes: partes[0] value partes[1]
// value ... partes[n]. A value is either quoted text or a bare integer.
struct PlantillaConsulta {
    std::vector<std::string> partes;
    std::vector<bool> citado;  // one per value

    // The statement the row-by-row rule sends for these values.
    std::string referencia(const std::vector<std::string>& valores) const;
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

    // A statement carries at most this many keys, in a text of at most this
    // many bytes: few statements, since each costs a round trip on a slow
    // link, but a short text, since the server's work for each row it hands
    // over grows with the length of the parameters once the rows outrun the
    // first fetches (bench_parametros: of 2,000 rows per statement, each cost
    // the server 88 microseconds with a 32,000-byte text, 7 with 4,000 and
    // under 2 with 100; of 256 or 512 rows, about 2 with any of them). With
    // sixteen answers to a row, one statement per stretch (2,048 keys in
    // 32,000 bytes) still ran slower over a 20 ms round trip than these.
    static constexpr std::size_t clavesPorSentencia = 512;
    static constexpr std::size_t bytesPorSentencia = 8000;
    // Keys answered in each row the block hands over: handing a row over
    // costs the server more than a key's query, and 32 or 64 to a row cost
    // more again, in the longer chain that picks a key's place.
    static constexpr std::size_t clavesPorFila = 16;
    // The longest quoted value a key may have: a value longer still, one
    // holding a NUL, a bare value that is not a whole number, or a key too
    // long for the text, is left to the row-by-row rule.
    static constexpr std::size_t largoMaximo = 1000;

private:
    bool llevable(const std::vector<std::string>& clave) const;
    static std::size_t bytesDe(const std::vector<std::string>& clave);
    void preguntarTramo(const std::vector<std::vector<std::string>>& claves, const std::vector<std::size_t>& aPreguntar,
                        std::size_t primero, std::size_t cuantas, Respuestas& r, const Interrupcion* interrupcion);
    bd::Conexion& conexion_;
    PlantillaConsulta plantilla_;
    std::vector<std::string> tipos_;  // the result columns of the rule's query
    std::size_t columnas_ = 0;
    std::unique_ptr<bd::Preparada> bloque_;
    std::size_t fallas_ = 0;  // failures chased by halves in this call
    std::size_t logradas_ = 0, fallidas_ = 0;
    std::string primerError_;
};

}  // namespace autorep::conciliacion
