#include "platform/registro.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/ancho.h"
#endif

namespace autorep::plataforma {

#ifdef _WIN32
namespace {

// The real registry, read afresh on every call, in one or two views of
// HKEY_LOCAL_MACHINE\Software (32-bit or 64-bit): a key belongs to the first
// view that holds it. Values are read as stored; an expandable string is not
// expanded.
class RegistroWindows final : public Registro {
public:
    explicit RegistroWindows(std::initializer_list<REGSAM> vistas) : vistas_(vistas) {}

    bool existeClave(RaizRegistro raiz, std::string_view ruta) const override {
        const HKEY h = abrir(raiz, ruta);
        if (!h) return false;
        RegCloseKey(h);
        return true;
    }

    std::optional<ValorRegistro> leerValor(RaizRegistro raiz, std::string_view ruta,
                                           std::string_view nombre) const override {
        const HKEY h = abrir(raiz, ruta);
        if (!h) return std::nullopt;
        const std::wstring n = ancho(nombre);
        std::optional<ValorRegistro> r;
        DWORD tipo = 0, largo = 0;
        std::string datos;
        LSTATUS estado = RegQueryValueExW(h, n.c_str(), nullptr, &tipo, nullptr, &largo);
        // The value may grow between the two calls: ask again with its new size.
        while (estado == ERROR_SUCCESS || estado == ERROR_MORE_DATA) {
            datos.assign(largo, '\0');
            estado = RegQueryValueExW(h, n.c_str(), nullptr, &tipo, reinterpret_cast<BYTE*>(datos.data()), &largo);
            if (estado == ERROR_SUCCESS) {
                datos.resize(largo);
                r = valor(tipo, datos);
                break;
            }
        }
        RegCloseKey(h);
        return r;
    }

private:
    HKEY abrir(RaizRegistro raiz, std::string_view ruta) const {
        while (!ruta.empty() && ruta.front() == '\\') ruta.remove_prefix(1);
        const std::wstring subclave = ancho(ruta);
        const HKEY base = raiz == RaizRegistro::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        for (const REGSAM vista : vistas_) {
            HKEY h = nullptr;
            if (RegOpenKeyExW(base, subclave.c_str(), 0, KEY_READ | vista, &h) == ERROR_SUCCESS) return h;
        }
        return nullptr;
    }

    // A string's UTF-16 up to its first NUL, as program text; any other type
    // keeps its bytes.
    static ValorRegistro valor(DWORD tipo, const std::string& bytes) {
        if (tipo != REG_SZ && tipo != REG_EXPAND_SZ) return {ValorRegistro::Tipo::Otro, bytes};
        std::wstring texto(bytes.size() / 2, L'\0');
        bytes.copy(reinterpret_cast<char*>(texto.data()), texto.size() * 2);
        texto.resize(std::min(texto.find(L'\0'), texto.size()));
        return {tipo == REG_SZ ? ValorRegistro::Tipo::Cadena : ValorRegistro::Tipo::CadenaExpandible,
                deAncho(texto)};
    }

    std::vector<REGSAM> vistas_;
};

}  // namespace

std::unique_ptr<Registro> registroDelSistema() {
    const std::string archivo = rutaArchivoRegistro();
    // First as a 32-bit program sees it (WOW6432Node on a 64-bit Windows),
    // where the ERP's 32-bit installer writes its keys.
    if (archivo.empty())
        return std::make_unique<RegistroWindows>(std::initializer_list<REGSAM>{KEY_WOW64_32KEY, KEY_WOW64_64KEY});
    return std::make_unique<RegistroArchivo>(RegistroArchivo::cargar(archivo));
}

std::unique_ptr<Registro> registroDe64Bits() {
    return std::make_unique<RegistroWindows>(std::initializer_list<REGSAM>{KEY_WOW64_64KEY});
}
#else
std::unique_ptr<Registro> registroDelSistema() {
    return std::make_unique<RegistroArchivo>(RegistroArchivo::cargar(rutaArchivoRegistro()));
}
#endif

}  // namespace autorep::plataforma
