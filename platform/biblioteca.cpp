#include "platform/biblioteca.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/ancho.h"
#else
#include <dlfcn.h>

#include "platform/sistema.h"
#endif

namespace autorep::plataforma {

#ifdef _WIN32
namespace {
// The system's text for an error code, in the user's language, without its line end.
std::string textoDeError(DWORD codigo) {
    wchar_t* texto = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, codigo, 0, reinterpret_cast<wchar_t*>(&texto), 0, nullptr);
    std::wstring r(texto ? texto : L"", n);
    LocalFree(texto);
    while (!r.empty() && (r.back() == L'\r' || r.back() == L'\n' || r.back() == L' ')) r.pop_back();
    return deAncho(r) + " (" + std::to_string(codigo) + ")";
}
}  // namespace

void* cargarBiblioteca(std::string_view nombre, std::string& motivo) {
    const std::wstring ruta = ancho(nombre);
    const bool conCarpeta = ruta.find_first_of(L"\\/") != std::wstring::npos;
    // A library that is missing or lacks one of its own must not stop an
    // unattended run with a message box.
    DWORD modoAnterior = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &modoAnterior);
    const HMODULE h = conCarpeta ? LoadLibraryExW(ruta.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                                 : LoadLibraryW(ruta.c_str());
    const DWORD error = GetLastError();
    SetThreadErrorMode(modoAnterior, nullptr);
    if (!h) motivo = textoDeError(error);
    return h;
}

void* buscarFuncion(void* biblioteca, const char* nombre) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(biblioteca), nombre));
}
#else
void* cargarBiblioteca(std::string_view nombre, std::string& motivo) {
    // Global, as if the program were linked with it: the engine's plugins
    // that the client loads find its symbols.
    void* h = dlopen(aSistema(nombre).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!h) {
        const char* error = dlerror();
        motivo = deSistema(error ? error : "");
    }
    return h;
}

void* buscarFuncion(void* biblioteca, const char* nombre) { return dlsym(biblioteca, nombre); }
#endif

}  // namespace autorep::plataforma
