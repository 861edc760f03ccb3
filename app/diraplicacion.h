#pragma once
#include <string>

#include "app/avisador.h"
#include "platform/registro.h"

namespace autorep::app {

// The ERP's application directory, from HKEY_LOCAL_MACHINE
// "\Software\Vorlan\QuorixERP2016", else "\Software\Vorlan\QuorixERP2015",
// value "Directorio". The second key is only tried when the first cannot be
// opened. When neither opens, an information box says so and the directory
// is empty. A value of another type raises "Invalid data type for 'Directorio'".
std::string diraplicacion(const plataforma::Registro& registro, Avisador& avisador);

// The same, reading this machine's registry afresh on every call.
std::string diraplicacion(Avisador& avisador);

}  // namespace autorep::app
