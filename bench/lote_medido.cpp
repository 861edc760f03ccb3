#include "bench/lote_medido.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

namespace autorep::bench {

Medida correrLote(const std::vector<std::string>& argumentos, const std::string& salida) {
    std::fflush(stdout);
    const auto inicio = std::chrono::steady_clock::now();
    const pid_t hijo = fork();
    if (hijo == 0) {
        setenv("AUTOREP_CLAVE", prueba::claveServidor(), 1);
        setenv("AUTOREP_REGISTRO", "/nonexistent", 1);
        if (!freopen((salida + ".out").c_str(), "w", stdout) || !freopen((salida + ".err").c_str(), "w", stderr)) _exit(127);
        std::vector<char*> a = {const_cast<char*>(AUTOREP_LOTE)};
        for (const auto& x : argumentos) a.push_back(const_cast<char*>(x.c_str()));
        a.push_back(nullptr);
        execv(AUTOREP_LOTE, a.data());
        _exit(127);
    }
    int estado = 0;
    rusage uso{};
    wait4(hijo, &estado, 0, &uso);
    Medida m;
    m.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    m.estado = WIFEXITED(estado) ? WEXITSTATUS(estado) : -1;
    m.memoriaMiB = uso.ru_maxrss / 1024;
    m.error = prueba::leerArchivo(salida + ".err");
    return m;
}

}  // namespace autorep::bench
