#include "ctrlaccesoautorep/aplicacion.h"

#include "app/manejador_global.h"

namespace autorep::acceso {

Aplicacion::Aplicacion(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("autorep");
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
