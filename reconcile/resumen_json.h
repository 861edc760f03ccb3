#pragma once
#include <string>

#include "reconcile/revision.h"

namespace autorep::conciliacion {

// resumen.json: the revision for a monitor, in UTF-8.
std::string jsonRevision(const Revision& revision);

}  // namespace autorep::conciliacion
