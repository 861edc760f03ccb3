#pragma once
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "db/conexion.h"

namespace autorep::bd {

// A query on one connection whose whole result is held in memory, with a
// current row. Replacing the text closes it; opening it on a disconnected
// connection connects that connection with its current parameters.
class Consulta {
public:
    explicit Consulta(Conexion& conexion, std::string nombre = {});
    ~Consulta();
    Consulta(const Consulta&) = delete;
    Consulta& operator=(const Consulta&) = delete;

    void ponerTexto(std::string sql);
    const std::string& texto() const { return sql_; }

    void abrir();
    void cerrar() noexcept;
    bool activa() const { return activa_; }

    bool vacia() const { return resultado_.filas.empty(); }
    std::size_t cantidad() const { return resultado_.filas.size(); }
    void primero() { fila_ = 0; }
    void ultimo() { fila_ = resultado_.filas.empty() ? 0 : resultado_.filas.size() - 1; }
    void siguiente() {
        if (fila_ < resultado_.filas.size()) ++fila_;
    }
    bool fin() const { return fila_ >= resultado_.filas.size(); }

    // A column of the current row by position or by name (letter case ignored).
    const Valor& campo(std::size_t indice) const;
    const Valor& campo(std::string_view nombre) const;

    // Raises "<nombre>: Field '<X>' not found" for the first declared column
    // the open result lacks.
    void exigirColumnas(std::initializer_list<std::string_view> declaradas) const;

private:
    Conexion& conexion_;
    std::string nombre_;
    std::string sql_;
    bool activa_ = false;
    Resultado resultado_;
    std::size_t fila_ = 0;
};

}  // namespace autorep::bd
