#pragma once
#include <string>

#include "reconcile/revision.h"

namespace autorep::conciliacion {

// resumen.html: one self-contained page (UTF-8) that shows a revision at a glance.
std::string paginaRevision(const Revision& revision);

}  // namespace autorep::conciliacion
