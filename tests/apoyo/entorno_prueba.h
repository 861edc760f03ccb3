#pragma once
// Recorders and small fixtures shared by the tests.
#include <cstdlib>
#include <string>
#include <vector>

#include "app/avisador.h"
#include "platform/regional.h"
#include "platform/reloj.h"

#ifdef _WIN32
// MinGW's C library has _putenv_s in their place.
inline int setenv(const char* nombre, const char* valor, int) { return _putenv_s(nombre, valor); }
inline int unsetenv(const char* nombre) { return _putenv_s(nombre, ""); }
#endif

namespace autorep::prueba {

// Records every message box instead of showing it.
class AvisadorGrabador final : public app::Avisador {
public:
    void mensaje(const std::string& texto) override { mensajes.push_back(texto); }
    void informacion(const std::string& texto) override { informaciones.push_back(texto); }
    std::vector<std::string> mensajes;
    std::vector<std::string> informaciones;
};

// Sets an environment variable for the life of the object.
class VariableEntorno {
public:
    VariableEntorno(const char* nombre, const std::string& valor);
    ~VariableEntorno();

private:
    std::string nombre_;
    std::string anterior_;
    bool habia_;
};

// A regedit export pointing the application directory at `directorio`, with
// an optional short date format.
std::string textoRegistro(const std::string& directorio, const std::string& fechaCorta = {});

// Regional settings with a day-first date and a point as decimal separator.
plataforma::Regional regionalPrueba();

// The loopback server: whether tests that need it must run (CI sets
// AUTOREP_SERVIDOR_PRUEBA=1), the test user and the SYSDBA password.
bool servidorRequerido();
bool servidorEscuchando(int puerto = 3050);
inline const char* usuarioServidor() { return "AUTOREP"; }
// Skips the current test when no server listens, or fails it when the suite
// requires one.
void exigirServidor();
inline const char* claveServidor() { return "Clave1"; }

// The bytes of a file, or empty when it does not exist.
std::string contenido(const std::string& ruta);

}  // namespace autorep::prueba
