#pragma once
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "db/conexion.h"

namespace autorep::conciliacion {

// Raised at a run's next check once a stop was asked for. The run then ends
// as after any error: the report closed on whole lines, both companies
// disconnected.
class CorridaInterrumpida : public std::runtime_error {
public:
    CorridaInterrumpida();
};

// A stop asked for from another thread (a termination signal). A run checks
// it before each audit row, while it reads the audit rows, and between the
// statements of its batched lookups; the statement running when the stop is
// asked for is cancelled on the connections the run has registered, so that
// a long sort or lookup does not delay it either.
class Interrupcion {
public:
    // The program's own, which its termination signals set. Never destroyed:
    // the signal thread may still use it while the program ends.
    static Interrupcion& delPrograma();

    void pedir() noexcept;
    bool pedida() const noexcept { return pedida_; }
    void comprobar() const {
        if (pedida_) throw CorridaInterrumpida();
    }

    // The connections a run works on, for as long as the object lives.
    class Registro {
    public:
        Registro(const Interrupcion* interrupcion, std::vector<bd::Conexion*> conexiones);
        ~Registro();
        Registro(const Registro&) = delete;
        Registro& operator=(const Registro&) = delete;

    private:
        const Interrupcion* interrupcion_;
        std::vector<bd::Conexion*> conexiones_;
    };

private:
    std::atomic<bool> pedida_{false};
    // Who listens is not part of the stop's state: a run registers through a const view.
    mutable std::mutex mutex_;
    mutable std::vector<bd::Conexion*> conexiones_;
};

}  // namespace autorep::conciliacion
