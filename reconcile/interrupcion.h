#pragma once
#include <atomic>
#include <stdexcept>

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
// statements of its batched lookups, so it stops within a statement.
class Interrupcion {
public:
    void pedir() noexcept { pedida_ = true; }
    bool pedida() const noexcept { return pedida_; }
    void comprobar() const {
        if (pedida_) throw CorridaInterrumpida();
    }

private:
    std::atomic<bool> pedida_{false};
};

}  // namespace autorep::conciliacion
