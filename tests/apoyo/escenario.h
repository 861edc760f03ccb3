#pragma once
// An origin server folder and a destination server folder with the ERP's
// databases, in embedded mode, for the reconciliation tests.
#include <optional>
#include <string>
#include <vector>

#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

// The amount documents of the test schema, by type.
struct TablaImporte {
    int tipo;
    const char* tabla;
    const char* id;
    const char* numero;
    const char* monto;
    std::size_t ancho;
};
const std::vector<TablaImporte>& tablasImporte();
const TablaImporte& tablaImporte(int tipo);

// A column of the company schema declared otherwise ("CHAR(10)",
// "VARCHAR(10) CHARACTER SET WIN1252 COLLATE WIN_PTBR", "INTEGER", ...).
struct Columna {
    std::string nombre;
    std::string declaracion;
};
// The statements that recreate a table of the company schema with these
// columns declared otherwise, with its indexes and its grant. A key column
// declared without PRIMARY KEY lets the table hold duplicated ids.
std::vector<std::string> tablaRedefinida(const std::string& tabla, const std::vector<Columna>& columnas);

class Escenario {
public:
    // Origin company "001" (with companies 001 and 002 in its general
    // database) and destination company "002", under `carpeta` (UTF-8, as the
    // file system names it) inside the temporary folder when one is given.
    explicit Escenario(const std::string& carpeta = {});

    std::string base() const { return carpeta_.empty() ? dir.str() : dir.str() + "/" + carpeta_; }
    std::string servidorOrigen() const { return base() + "/origen"; }
    std::string servidorDestino() const { return base() + "/destino"; }
    std::string aplicacion() const { return base() + "/app"; }
    std::string rutaOrigen, rutaDestino, rutaGeneral;

    void enOrigen(const std::vector<std::string>& sentencias) const { ejecutar(rutaOrigen, sentencias); }
    void enDestino(const std::vector<std::string>& sentencias) const { ejecutar(rutaDestino, sentencias); }

    // Recreates a table of one side, still empty, with other column types.
    void redefinirEnOrigen(const std::string& tabla, const std::vector<Columna>& columnas) const;
    void redefinirEnDestino(const std::string& tabla, const std::vector<Columna>& columnas) const;

    // One audit row in the origin (the audit id is counted here).
    void auditar(const std::string& fecha, const std::string& hora, int tipo, long idDoc, char oper,
                 const std::string& codigo);
    // The statement of one audit row, to run with others in one go: the
    // document id, the time and the code as texts the columns convert, NULL
    // where absent (the audit id is counted here too).
    std::string auditoria(const std::string& fecha, const std::optional<std::string>& hora, int tipo,
                          const std::optional<std::string>& idDoc, char oper, const std::optional<std::string>& codigo);

    // An amount document (types 21 to 62) or a header with detail lines
    // (types 1, 11 and 13) on one side.
    static std::string documento(int tipo, long id, const std::string& prefijo, const std::string& numero,
                                 const std::string& monto);
    static std::vector<std::string> conDetalle(int tipo, long id, const std::string& prefijo, const std::string& numero,
                                               const std::vector<std::string>& montos);
    static std::vector<std::string> comprobante(long consec, const std::string& tipoComp, const std::string& prefijo,
                                                const std::string& numero,
                                                const std::vector<std::pair<std::string, std::string>>& lineas);

    DirectorioTemporal dir;

private:
    std::string carpeta_;
    long siguienteAuditoria_ = 1;
};

}  // namespace autorep::prueba
