#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/parametros.h"
#include "db/valor.h"

namespace autorep::bd {

class Consulta;
class Conexion;

// A value bound to a parameter of a prepared statement.
struct Parametro {
    enum class Tipo : std::uint8_t { Nulo, Texto, Entero };
    Tipo tipo = Tipo::Nulo;
    std::string texto;
    std::int64_t entero = 0;
    static Parametro deTexto(std::string t) { return {Tipo::Texto, std::move(t), 0}; }
    static Parametro deEntero(std::int64_t v) { return {Tipo::Entero, {}, v}; }
};

// A SELECT prepared once and run again and again with other parameters: text
// parameters must be declared VARCHAR, whole numbers BIGINT. It belongs to
// the connection that prepared it, which must stay connected while it lives.
class Preparada {
public:
    ~Preparada();
    Preparada(const Preparada&) = delete;
    Preparada& operator=(const Preparada&) = delete;

    std::size_t parametros() const;
    // Runs it and hands each row to `fila` as it is fetched, keeping nothing.
    void ejecutar(const std::vector<Parametro>& parametros, const std::function<void(const std::vector<Valor>&)>& fila);

private:
    friend class Conexion;
    Preparada(Conexion& conexion, std::string sql);
    struct Estado;
    Conexion& conexion_;
    std::string sql_;
    std::unique_ptr<Estado> estado_;
};

// The whole result of one SELECT, held in memory.
struct Resultado {
    std::vector<std::string> columnas;
    std::vector<std::vector<Valor>> filas;
};

// One database: its parameters are read when it connects. Every transaction
// it starts is read-only, and it refuses to run anything but a SELECT, so the
// program cannot write to a database.
//
// Parameters read: "Database" (the path: a local path opens the database in
// embedded mode, "host:/path" goes through a server), "User_Name", "Password",
// "RoleName", "SQLDialect", "ServerCharSet" (a connection character set only
// when not empty), "Interbase TransIsolation" and "WaitOnLocks".
class Conexion {
public:
    explicit Conexion(std::string nombre = {});
    ~Conexion();
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    const std::string& nombre() const { return nombre_; }
    ListaParametros& parametros() { return parametros_; }
    const ListaParametros& parametros() const { return parametros_; }
    void ponerParametro(std::string_view nombre, std::string_view valor) { parametros_.poner(nombre, valor); }

    // Succeeds, or raises ErrorBaseDatos with the server's whole text; after
    // a failure the connection is not connected.
    void conectar();
    // Closes the queries open on it; never fails.
    void desconectar() noexcept;
    bool conectada() const;

    // From any thread: the statement running on it now, if any, fails at
    // once with the server's "operation was cancelled".
    void cancelar() noexcept;

    // Runs one SELECT and fetches all its rows, connecting first if needed.
    Resultado consultar(const std::string& sql);

    // Whether a connected session still answers a trivial query (after
    // statements failed on it, or after it sat idle while its server may
    // have restarted).
    bool responde();

    // The time one round trip to the server takes (a ping, which the server
    // answers without work); nothing when the connection is closed or lost.
    std::optional<std::chrono::steady_clock::duration> idaYVuelta();

    // Runs one SELECT whose parameters are all text (VARCHAR) and hands each
    // row to `fila` as it is fetched, keeping nothing. The column names go to
    // `columnas` before the first row.
    void recorrer(const std::string& sql, const std::vector<std::string>& parametros,
                  const std::function<void(const std::vector<Valor>&)>& fila,
                  std::vector<std::string>* columnas = nullptr);

    // Prepares a SELECT to run many times (see Preparada).
    std::unique_ptr<Preparada> preparar(const std::string& sql);

    // The SQL declarations of a SELECT's result columns ("NUMERIC(18,2)",
    // "CHAR(3) CHARACTER SET NONE", ...), from preparing it without running it.
    // With `nombres`, also the columns' names.
    std::vector<std::string> describir(const std::string& sql, std::vector<std::string>* nombres = nullptr);

    // Every statement sent goes to the observer first (tests and benches
    // count and record them).
    void ponerObservador(std::function<void(const std::string&)> observador) { observador_ = std::move(observador); }
    std::uint64_t sentenciasEjecutadas() const { return sentencias_; }

private:
    friend class Consulta;
    friend class Preparada;
    void registrar(Consulta* c);
    void olvidar(Consulta* c);

    struct Estado;
    std::string nombre_;
    ListaParametros parametros_;
    Estado* estado_;
    std::vector<Consulta*> abiertas_;
    std::function<void(const std::string&)> observador_;
    std::uint64_t sentencias_ = 0;
};

// Closes every connection at once, those given and those in `propias`, each
// on a thread of its own: each goodbye waits for its server's answer, a round
// trip or two on a slow link.
void desconectarTodas(std::vector<Conexion*> conexiones,
                      const std::vector<std::unique_ptr<Conexion>>& propias = {}) noexcept;

}  // namespace autorep::bd
