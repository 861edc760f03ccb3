#include "tests/apoyo/entorno_prueba.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "tests/apoyo/base_prueba.h"

namespace autorep::prueba {

VariableEntorno::VariableEntorno(const char* nombre, const std::string& valor) : nombre_(nombre) {
    const char* v = std::getenv(nombre);
    habia_ = v != nullptr;
    if (v) anterior_ = v;
    setenv(nombre, valor.c_str(), 1);
}

VariableEntorno::~VariableEntorno() {
    if (habia_) setenv(nombre_.c_str(), anterior_.c_str(), 1);
    else unsetenv(nombre_.c_str());
}

std::string textoRegistro(const std::string& directorio, const std::string& fechaCorta) {
    std::string escapado;
    for (char c : directorio) {
        if (c == '\\' || c == '"') escapado += '\\';
        escapado += c;
    }
    std::string r = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"" + escapado + "\"\r\n";
    if (!fechaCorta.empty())
        r += "\r\n[HKEY_CURRENT_USER\\Control Panel\\International]\r\n\"sShortDate\"=\"" + fechaCorta + "\"\r\n";
    return r;
}

plataforma::Regional regionalPrueba() {
    plataforma::Regional r;
    r.fechaCorta = "dd/MM/yyyy";
    r.horaLarga = "HH:mm:ss";
    r.separadorFecha = "/";
    r.separadorHora = ":";
    r.separadorDecimal = ".";
    return r;
}

#ifndef _WIN32
// No test of the Windows build needs the loopback server.
bool servidorRequerido() {
    const char* v = std::getenv("AUTOREP_SERVIDOR_PRUEBA");
    return v && std::string(v) == "1";
}

bool servidorEscuchando(int puerto) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) return false;
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_port = htons(static_cast<uint16_t>(puerto));
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0;
    close(s);
    return ok;
}

void exigirServidor() {
    if (servidorEscuchando()) return;
    if (servidorRequerido()) GTEST_FAIL() << "the loopback Firebird server is not listening on 3050";
    GTEST_SKIP() << "no loopback Firebird server (scripts/servidor-prueba.sh starts one)";
}
#endif

std::string contenido(const std::string& ruta) { return leerArchivo(ruta); }

}  // namespace autorep::prueba
