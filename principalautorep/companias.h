#pragma once
#include <string>
#include <vector>

#include "app/ingreso.h"
#include "db/conexion.h"

namespace autorep::principal {

struct Compania {
    std::string codigo;  // COMP_COD
    std::string nombre;  // COM_NOMBRE
};

// The company list of the general database, read whole once and kept.
class ListaCompanias {
public:
    // Reads every row of COMPANIA; a list already read is not read again.
    void abrir(bd::Conexion& DbGeneral);
    bool abierta() const { return abierta_; }
    const std::vector<Compania>& filas() const { return filas_; }
    // COM_NOMBRE of the row whose COMP_COD equals the code exactly; empty
    // when none does or the list is closed.
    std::string nombreDe(const std::string& codigo) const;
    // The row whose COMP_COD equals the code exactly (its name may be empty,
    // a NULL COM_NOMBRE); null when there is none.
    const Compania* buscar(const std::string& codigo) const;

private:
    bool abierta_ = false;
    std::vector<Compania> filas_;
};

// The settings the company and destination connections carry.
void configurarConexionCompania(bd::Conexion& conexion);

// Connects DbCia to a company of the origin server with the origin sign-in
// and returns the names of its agencies (SUCURSALES), in the order read.
std::vector<std::string> conectarCompania(bd::Conexion& DbCia, const app::ValoresIngreso& valores,
                                          const std::string& codigo);

}  // namespace autorep::principal
