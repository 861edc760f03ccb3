#include "tests/apoyo/lote_prueba.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

namespace {
std::string citarShell(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'') r += "'\\''";
        else r += c;
    }
    return r + "'";
}
}  // namespace

SalidaLote correrLote(const std::vector<std::string>& argumentos, const std::map<std::string, std::string>& entorno) {
    DirectorioTemporal dir;
    std::string comando = "env -u AUTOREP_CLAVE -u AUTOREP_CLAVE_DESTINO";
    for (const auto& [k, v] : entorno) comando += " " + k + "=" + citarShell(v);
    comando += " " + citarShell(AUTOREP_LOTE);
    for (const auto& a : argumentos) comando += " " + citarShell(a);
    comando += " >" + citarShell(dir.str() + "/salida") + " 2>" + citarShell(dir.str() + "/error") + " </dev/null";
    const int crudo = std::system(comando.c_str());
    SalidaLote r;
    r.estado = WIFEXITED(crudo) ? WEXITSTATUS(crudo) : -1;
    r.salida = leerArchivo(dir.ruta() / "salida");
    r.error = leerArchivo(dir.ruta() / "error");
    return r;
}

Proceso::Proceso(const std::string& programa, const std::vector<std::string>& argumentos,
                 const std::map<std::string, std::string>& entorno)
    : dir_(std::make_unique<DirectorioTemporal>()) {
    const std::string salida = dir_->str() + "/salida", error = dir_->str() + "/error";
    pid_ = fork();
    if (pid_ == 0) {
        unsetenv("AUTOREP_CLAVE");
        unsetenv("AUTOREP_CLAVE_DESTINO");
        for (const auto& [k, v] : entorno) setenv(k.c_str(), v.c_str(), 1);
        const int entrada = open("/dev/null", O_RDONLY);
        dup2(entrada, 0);
        dup2(open(salida.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(error.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv{const_cast<char*>(programa.c_str())};
        for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(programa.c_str(), argv.data());
        _exit(127);
    }
}

Proceso::~Proceso() {
    if (pid_ > 0 && !terminado_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void Proceso::senal(int numero) const { kill(pid_, numero); }

bool Proceso::esperar(double segundos) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::duration<double>(segundos);
    while (!terminado_) {
        int crudo = 0;
        const pid_t r = waitpid(pid_, &crudo, WNOHANG);
        if (r == pid_) {
            terminado_ = true;
            estado_ = WIFEXITED(crudo) ? WEXITSTATUS(crudo) : -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= limite) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string Proceso::salida() const { return leerArchivo(dir_->ruta() / "salida"); }
std::string Proceso::error() const { return leerArchivo(dir_->ruta() / "error"); }

}  // namespace autorep::prueba
