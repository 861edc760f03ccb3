#include "reconcile/revision.h"

namespace autorep::conciliacion {

ParRevision::Estado estadoDe(const Resumen& r) {
    return r.diferentes + r.noEncontrados + r.duplicados == 0 ? ParRevision::Estado::Igual
                                                               : ParRevision::Estado::Diferencias;
}

}  // namespace autorep::conciliacion
