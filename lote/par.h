#pragma once
#include <cstdint>
#include <string>

#include "app/ingreso.h"
#include "db/conexion.h"
#include "lote/opciones_lote.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"

// What a (company, type) pair needs before its run starts, the same for a
// single run and for each pair of a revision.
namespace autorep::lote {

// Why the type cannot be reviewed (it has no comparison rule, so its run
// would look nothing up and pass); empty when it can.
std::string motivoSinRegla(std::int64_t tipo);

// Why the company code cannot name its folder in a revision: a path
// separator, a name Windows cannot hold (CON, COM1.txt, a trailing dot or
// blank) or a summary's name; empty when it can.
std::string motivoCarpeta(const std::string& codigo);

// Signs in to the origin's general database and reads its company list; the
// error names the side and the database.
app::ValoresIngreso ingresarOrigen(bd::Conexion& DbGeneral, const OpcionesLote& o, principal::ListaCompanias& lista);

// The company's row in COMPANIA (a NULL name is a company all the same), or
// the error that it is not there.
const principal::Compania& companiaListada(const principal::ListaCompanias& lista, const std::string& codigo,
                                            const std::string& origen);

// Connects the origin company; the error names the side and the database.
void conectarOrigen(bd::Conexion& DbCia, const app::ValoresIngreso& valores, const std::string& codigo);

// The run's inputs for one pair.
conciliacion::EntradasCorrida entradasPar(const OpcionesLote& o, const app::ValoresIngreso& valores,
                                          const principal::Compania& compania, const std::string& companiaDestino,
                                          const std::string& tipo, conciliacion::Conteo conteo = {});

}  // namespace autorep::lote
