#pragma once
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

// Read-only access to the Windows registry. On Linux the registry is a
// regedit export file (.reg) named by AUTOREP_REGISTRO; on Windows it is the
// machine's own, unless AUTOREP_REGISTRO names such a file to read instead.
namespace autorep::plataforma {

enum class RaizRegistro { LocalMachine, CurrentUser };

struct ValorRegistro {
    enum class Tipo { Cadena, CadenaExpandible, Otro };
    Tipo tipo = Tipo::Cadena;
    std::string datos;  // Windows-1252 text for the two string types
};

// A registry file that cannot be read as a regedit export.
class ErrorRegistro : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Registro {
public:
    virtual ~Registro() = default;
    virtual bool existeClave(RaizRegistro raiz, std::string_view ruta) const = 0;
    // Empty when the key or the value does not exist.
    virtual std::optional<ValorRegistro> leerValor(RaizRegistro raiz, std::string_view ruta,
                                                   std::string_view nombre) const = 0;
};

// A string value of an existing key: empty when the value does not exist, the
// text up to its first NUL for the two string types, and the error
// "Invalid data type for '<nombre>'" for any other type.
std::string leerCadena(const Registro& registro, RaizRegistro raiz, std::string_view ruta,
                       std::string_view nombre);

class RegistroArchivo final : public Registro {
public:
    // The registry an import of the file into an empty one leaves: parents of
    // the keys listed exist, and [-KEY] removes that key and its subkeys. An
    // absent file is a registry without keys; a malformed one raises
    // ErrorRegistro naming the file and the line.
    // The name is program text (Windows-1252).
    static RegistroArchivo cargar(const std::string& ruta);
    static RegistroArchivo desdeTexto(std::string_view contenido, const std::string& nombre);

    bool existeClave(RaizRegistro raiz, std::string_view ruta) const override;
    std::optional<ValorRegistro> leerValor(RaizRegistro raiz, std::string_view ruta,
                                           std::string_view nombre) const override;

private:
    // Lower-cased full key path -> lower-cased value name ("" for @) -> value.
    // Every parent of a key is a key too, as after an import on Windows.
    std::map<std::string, std::map<std::string, ValorRegistro>> claves_;
    friend class LectorReg;
};

// The path of the registry file: AUTOREP_REGISTRO, else on Linux
// /etc/autorep/registro.reg and on Windows empty (the real registry).
std::string rutaArchivoRegistro();

// The registry of this machine, read afresh: the file above, or on Windows
// without one the real registry.
std::unique_ptr<Registro> registroDelSistema();

#ifdef _WIN32
// The real registry as a 64-bit program sees it, whatever AUTOREP_REGISTRO
// says: where a 64-bit program such as the Firebird client keeps its keys.
std::unique_ptr<Registro> registroDe64Bits();
#endif

}  // namespace autorep::plataforma
