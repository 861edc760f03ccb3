#pragma once
// Origin and destination company databases with N audit rows of a mix of
// document types, for the benches and the tests of long runs.
#include <string>

#include "tests/apoyo/escenario.h"

namespace autorep::prueba {

// Fills an Escenario: N audit rows spread over October 2016 among the types
// 21, 31, 61, 11 and 1. Of the documents, one in 50 is gone from the origin,
// one in 20 missing from the destination, one in 30 has another amount there,
// and one in 97 is there twice. With `soloTipo` every row is of that type.
void llenar(Escenario& e, long n, int soloTipo = 0);

// Fresh index statistics on both sides, as a database in use has them: the
// optimizer then joins through the indexes instead of scanning.
void refrescarEstadisticas(const Escenario& e);

}  // namespace autorep::prueba
