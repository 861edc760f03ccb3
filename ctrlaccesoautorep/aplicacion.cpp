#include "ctrlaccesoautorep/aplicacion.h"

#include <QFont>

#include "app/manejador_global.h"

namespace autorep::acceso {

Aplicacion::Aplicacion(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("autorep");
    // The windows are laid out in pixels for the narrow Windows fonts; where
    // those are missing, the closest narrow faces keep the captions in place.
    QFont::insertSubstitutions("MS Sans Serif", {"Microsoft Sans Serif", "Liberation Sans Narrow", "DejaVu Sans Condensed"});
    QFont::insertSubstitutions("Arial Narrow", {"Liberation Sans Narrow", "DejaVu Sans Condensed"});
}

bool Aplicacion::notify(QObject* receptor, QEvent* evento) {
    try {
        return QApplication::notify(receptor, evento);
    } catch (...) {
        app::reportarExcepcionActual();
        return false;
    }
}

}  // namespace autorep::acceso
