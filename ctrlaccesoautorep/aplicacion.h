#pragma once
#include <QApplication>
#include <functional>

namespace autorep::acceso {

// The application object. An error that an event handler let through goes to
// the unhandled-error handler here instead of crossing Qt's event loop.
class Aplicacion final : public QApplication {
public:
    Aplicacion(int& argc, char** argv);
    bool notify(QObject* receptor, QEvent* evento) override;

    // Runs `alLlegar` on the event loop's thread for each termination signal
    // (see plataforma::atenderSenalesDeTerminacion), also for one that came
    // before this call.
    void alRecibirSenal(std::function<void()> alLlegar);
};

}  // namespace autorep::acceso
