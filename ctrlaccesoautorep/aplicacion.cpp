#include "ctrlaccesoautorep/aplicacion.h"

#include <QFont>
#include <QSocketNotifier>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "app/manejador_global.h"
#include "platform/senales.h"

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

void Aplicacion::alRecibirSenal(std::function<void()> alLlegar) {
    const int descriptor = plataforma::descriptorDeSenales();
    if (descriptor < 0) return;
    auto* aviso = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(aviso, &QSocketNotifier::activated, this, [descriptor, alLlegar = std::move(alLlegar)] {
#ifndef _WIN32
        char bytes[64];
        while (read(descriptor, bytes, sizeof bytes) > 0) {
        }
#endif
        app::protegido(alLlegar);
    });
}

}  // namespace autorep::acceso
