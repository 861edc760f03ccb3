#pragma once
#include <QApplication>

namespace autorep::acceso {

// The application object. An error that an event handler let through goes to
// the unhandled-error handler here instead of crossing Qt's event loop.
class Aplicacion final : public QApplication {
public:
    Aplicacion(int& argc, char** argv);
    bool notify(QObject* receptor, QEvent* evento) override;
};

}  // namespace autorep::acceso
