#include "platform/registro.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace autorep::plataforma {

#ifdef _WIN32
namespace {
// The real registry, read with KEY_READ; values are read as stored.
class RegistroWindows final : public Registro {
public:
    bool existeClave(RaizRegistro raiz, std::string_view ruta) const override {
        HKEY h;
        if (RegOpenKeyExA(base(raiz), subclave(ruta).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
        RegCloseKey(h);
        return true;
    }
    std::optional<ValorRegistro> leerValor(RaizRegistro raiz, std::string_view ruta,
                                           std::string_view nombre) const override {
        HKEY h;
        if (RegOpenKeyExA(base(raiz), subclave(ruta).c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
        DWORD tipo = 0, largo = 0;
        const std::string n(nombre);
        std::optional<ValorRegistro> r;
        if (RegQueryValueExA(h, n.c_str(), nullptr, &tipo, nullptr, &largo) == ERROR_SUCCESS) {
            std::string datos(largo, '\0');
            RegQueryValueExA(h, n.c_str(), nullptr, &tipo, reinterpret_cast<BYTE*>(datos.data()), &largo);
            datos.resize(largo);
            r = ValorRegistro{tipo == REG_SZ ? ValorRegistro::Tipo::Cadena
                              : tipo == REG_EXPAND_SZ ? ValorRegistro::Tipo::CadenaExpandible
                                                      : ValorRegistro::Tipo::Otro,
                              datos};
        }
        RegCloseKey(h);
        return r;
    }

private:
    static HKEY base(RaizRegistro raiz) { return raiz == RaizRegistro::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
    static std::string subclave(std::string_view ruta) {
        while (!ruta.empty() && ruta.front() == '\\') ruta.remove_prefix(1);
        return std::string(ruta);
    }
};
}  // namespace

std::unique_ptr<Registro> registroDelSistema() { return std::make_unique<RegistroWindows>(); }
#else
std::unique_ptr<Registro> registroDelSistema() {
    return std::make_unique<RegistroArchivo>(RegistroArchivo::cargar(rutaArchivoRegistro()));
}
#endif

}  // namespace autorep::plataforma
