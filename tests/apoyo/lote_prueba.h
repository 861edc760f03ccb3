#pragma once
#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

struct SalidaLote {
    int estado = -1;
    std::string salida;  // standard output
    std::string error;   // standard error
};

// Runs build/autorep-lote with these arguments and extra environment.
SalidaLote correrLote(const std::vector<std::string>& argumentos, const std::map<std::string, std::string>& entorno = {});

// A program started in the background, its output going to files.
class Proceso {
public:
    Proceso(const std::string& programa, const std::vector<std::string>& argumentos,
            const std::map<std::string, std::string>& entorno = {});
    ~Proceso();  // kills it if it still runs
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    pid_t pid() const { return pid_; }
    void senal(int numero) const;
    // Waits for the end at most `segundos`; false when it still runs then.
    bool esperar(double segundos);
    // What it printed so far.
    std::string salida() const;
    std::string error() const;
    // Its exit status once it ended (-1 if a signal killed it).
    int estado() const { return estado_; }

private:
    std::unique_ptr<DirectorioTemporal> dir_;
    pid_t pid_ = -1;
    int estado_ = -1;
    bool terminado_ = false;
};

}  // namespace autorep::prueba
