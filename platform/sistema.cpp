#include "platform/sistema.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "platform/win32/ancho.h"
#else
#include <langinfo.h>
#include <unistd.h>
#endif

#include "platform/cp1252.h"

namespace autorep::plataforma {

#ifndef _WIN32
namespace {

bool esUtf8Valido(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 && b >= 0xC2 ? 2 : (b & 0xF0) == 0xE0 ? 3
                                                          : (b & 0xF8) == 0xF0 && b <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::filesystem::path ruta(std::string_view nombre) { return std::filesystem::path(cp1252AUtf8(nombre)); }

}  // namespace
#endif

#ifdef _WIN32
namespace {

// Between UTF-16 and the ANSI code page; no best-fit letters: what the code
// page lacks becomes '?'.
std::string aAnsi(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string r(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), static_cast<int>(w.size()), r.data(), n, nullptr,
                        nullptr);
    return r;
}

std::wstring deAnsi(std::string_view s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring r(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), r.data(), n);
    return r;
}

std::filesystem::path ruta(std::string_view nombre) { return std::filesystem::path(ancho(nombre)); }

UINT paginaAnterior = 0;
void restaurarPagina() { SetConsoleOutputCP(paginaAnterior); }

}  // namespace

// On a machine whose ANSI code page is Windows-1252 both are the identity.
std::string aSistema(std::string_view texto) { return GetACP() == 1252 ? std::string(texto) : aAnsi(ancho(texto)); }
std::string deSistema(std::string_view texto) {
    return GetACP() == 1252 ? std::string(texto) : deAncho(deAnsi(texto));
}

bool representable(std::string_view texto) { return aSistema(deSistema(texto)) == texto; }

namespace {

std::string utf8DeAncho(std::wstring_view w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), r.data(), n, nullptr, nullptr);
    return r;
}

// UTF-16 from the system as program text, or TextoNoRepresentable.
std::string textoDeAncho(std::wstring_view w) {
    std::string texto = deAncho(w);
    if (ancho(texto) != w) throw TextoNoRepresentable(utf8DeAncho(w));
    return texto;
}

bool esCarpeta(const std::wstring& ruta) {
    const DWORD atributos = GetFileAttributesW(ruta.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY);
}

bool crearCarpetasAncho(const std::wstring& ruta) {
    if (esCarpeta(ruta)) return true;
    // Up to a root, a drive or a share, which cannot be made: the folder's own
    // creation then says whether the path can be.
    const auto corte = ruta.find_last_of(L"\\/");
    if (corte != std::wstring::npos && corte > 0) crearCarpetasAncho(ruta.substr(0, corte));
    return CreateDirectoryW(ruta.c_str(), nullptr) || esCarpeta(ruta);
}

struct CerrarBusqueda {
    void operator()(HANDLE h) const { FindClose(h); }
};

}  // namespace

std::vector<std::string> argumentosDelPrograma(int, char**) {
    int n = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> argumentos(CommandLineToArgvW(GetCommandLineW(), &n),
                                                                   &LocalFree);
    std::vector<std::string> r;
    if (!argumentos) return r;
    for (int i = 1; i < n; ++i) r.push_back(textoDeAncho(argumentos.get()[i]));
    return r;
}

std::optional<std::string> variableDeEntorno(const char* nombre) {
    const std::wstring clave = ancho(nombre);
    std::wstring valor(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableW(clave.c_str(), valor.data(), static_cast<DWORD>(valor.size()));
        if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        if (n < valor.size()) {
            valor.resize(n);
            return textoDeAncho(valor);
        }
        valor.resize(n);
    }
}

void escribirErrorUtf8(std::string_view linea) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD modo = 0;
    if (!GetConsoleMode(error, &modo)) {
        std::fwrite(linea.data(), 1, linea.size(), stderr);
        return;
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, linea.data(), static_cast<int>(linea.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, linea.data(), static_cast<int>(linea.size()), w.data(), n);
    std::fflush(stderr);
    DWORD escritos = 0;
    WriteConsoleW(error, w.data(), static_cast<DWORD>(w.size()), &escritos, nullptr);
}

// Files and folders go through the wide API: the name keeps its letters even
// where the ANSI code page is not Windows-1252.
std::FILE* abrirArchivo(std::string_view nombre, const char* modo) {
    return _wfopen(rutaLarga(nombre).c_str(), ancho(modo).c_str());
}

std::int64_t irAlFinal(std::FILE* archivo) {
    return _fseeki64(archivo, 0, SEEK_END) == 0 ? _ftelli64(archivo) : -1;
}

bool truncar(std::FILE* archivo, std::int64_t tamanio) { return _chsize_s(_fileno(archivo), tamanio) == 0; }

bool crearCarpeta(std::string_view nombre) { return CreateDirectoryW(rutaLarga(nombre).c_str(), nullptr) != 0; }

bool crearCarpetas(std::string_view nombre) {
    std::wstring ruta = rutaLarga(nombre);
    while (ruta.size() > 1 && (ruta.back() == L'\\' || ruta.back() == L'/')) ruta.pop_back();
    return crearCarpetasAncho(ruta);
}

bool existe(std::string_view nombre) { return GetFileAttributesW(rutaLarga(nombre).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool carpetaVacia(std::string_view nombre) {
    std::wstring patron = rutaLarga(nombre);
    if (!patron.empty() && patron.back() != L'\\' && patron.back() != L'/') patron += L'\\';
    WIN32_FIND_DATAW datos;
    const HANDLE h = FindFirstFileW((patron + L"*").c_str(), &datos);
    if (h == INVALID_HANDLE_VALUE) return false;
    const std::unique_ptr<void, CerrarBusqueda> busqueda(h);
    do {
        const std::wstring_view n = datos.cFileName;
        if (n != L"." && n != L"..") return false;
    } while (FindNextFileW(busqueda.get(), &datos));
    return GetLastError() == ERROR_NO_MORE_FILES;
}
#else
std::string aSistema(std::string_view texto) { return cp1252AUtf8(texto); }
std::string deSistema(std::string_view texto) {
    return esUtf8Valido(texto) ? utf8ACp1252(texto) : std::string(texto);
}

bool representable(std::string_view texto) { return !esUtf8Valido(texto) || aSistema(deSistema(texto)) == texto; }

std::vector<std::string> argumentosDelPrograma(int argc, char** argv) {
    std::vector<std::string> r;
    for (int i = 1; i < argc; ++i) {
        if (!representable(argv[i])) throw TextoNoRepresentable(argv[i]);
        r.push_back(deSistema(argv[i]));
    }
    return r;
}

std::optional<std::string> variableDeEntorno(const char* nombre) {
    const char* valor = std::getenv(nombre);
    if (!valor) return std::nullopt;
    if (!representable(valor)) throw TextoNoRepresentable(valor);
    return deSistema(valor);
}

void escribirErrorUtf8(std::string_view linea) { std::fwrite(linea.data(), 1, linea.size(), stderr); }

std::FILE* abrirArchivo(std::string_view nombre, const char* modo) {
    return std::fopen(aSistema(nombre).c_str(), modo);
}

static_assert(sizeof(off_t) == 8, "64-bit file offsets");

std::int64_t irAlFinal(std::FILE* archivo) { return fseeko(archivo, 0, SEEK_END) == 0 ? ftello(archivo) : -1; }

bool truncar(std::FILE* archivo, std::int64_t tamanio) { return ftruncate(fileno(archivo), tamanio) == 0; }

bool crearCarpeta(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::create_directory(ruta(nombre), ec);
}

bool crearCarpetas(std::string_view nombre) {
    std::error_code ec;
    std::filesystem::create_directories(ruta(nombre), ec);
    return std::filesystem::is_directory(ruta(nombre), ec);
}

bool existe(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::exists(ruta(nombre), ec);
}

bool carpetaVacia(std::string_view nombre) {
    std::error_code ec;
    return std::filesystem::is_empty(ruta(nombre), ec) && !ec;
}
#endif

std::string rutaAbsoluta(std::string_view nombre) {
    std::error_code ec;
    auto absoluta = std::filesystem::absolute(ruta(nombre), ec).lexically_normal();
    if (ec) return std::string(nombre);
    if (!absoluta.has_filename() && absoluta.has_parent_path() && absoluta != absoluta.root_path())
        absoluta = absoluta.parent_path();
#ifdef _WIN32
    return deAncho(absoluta.wstring());
#else
    return deSistema(absoluta.string());
#endif
}

namespace {

std::string deRuta(const std::filesystem::path& p) {
#ifdef _WIN32
    return deAncho(p.wstring());
#else
    return deSistema(p.string());
#endif
}

// The form the file API takes for a folder that may lie deep.
std::filesystem::path rutaCompleta(std::string_view nombre) {
#ifdef _WIN32
    return std::filesystem::path(rutaLarga(nombre));
#else
    return ruta(nombre);
#endif
}

}  // namespace

bool mismoArchivo(std::string_view a, std::string_view b) {
    std::error_code ec;
    const bool igual = std::filesystem::equivalent(ruta(a), ruta(b), ec);
    return !ec && igual;
}

std::string carpetaPadre(std::string_view nombre) { return deRuta(ruta(nombre).parent_path()); }

bool carpetasEn(std::string_view nombre, std::vector<std::string>& nombres) {
    nombres.clear();
    std::error_code ec;
    std::filesystem::directory_iterator it(rutaCompleta(nombre), ec), fin;
    for (; !ec && it != fin; it.increment(ec)) {
        std::error_code tipo;
        if (it->is_directory(tipo) && !it->is_symlink(tipo)) nombres.push_back(deRuta(it->path().filename()));
    }
    return !ec;
}

bool borrarCarpeta(std::string_view nombre, std::string& error) {
    std::error_code ec;
    std::filesystem::remove_all(rutaCompleta(nombre), ec);
    if (ec) error = deSistema(ec.message());
    return !ec;
}

bool escribirArchivo(std::string_view nombre, std::string_view contenido) {
    std::FILE* f = abrirArchivo(nombre, "wb");
    if (!f) return false;
    const bool escrito = std::fwrite(contenido.data(), 1, contenido.size(), f) == contenido.size();
    return std::fclose(f) == 0 && escrito;
}

bool borrarArchivo(std::string_view nombre) {
    std::error_code e;
    return std::filesystem::remove(ruta(nombre), e);
}

bool publicarArchivo(std::string_view nombre, std::string_view contenido, std::string& error) {
    const std::string temporal = std::string(nombre) + ".tmp";
    std::FILE* f = abrirArchivo(temporal, "wb");
    if (!f) {
        error = deSistema(std::strerror(errno));
        return false;
    }
    errno = 0;
    bool bien = std::fwrite(contenido.data(), 1, contenido.size(), f) == contenido.size() && std::fflush(f) == 0;
#ifdef _WIN32
    bien = bien && _commit(_fileno(f)) == 0;
#else
    bien = bien && fsync(fileno(f)) == 0;
#endif
    const int fallo = errno ? errno : EIO;
    bien = std::fclose(f) == 0 && bien;
    if (bien) {
#ifdef _WIN32
        bien = MoveFileExW(rutaLarga(temporal).c_str(), rutaLarga(nombre).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!bien) error = "no se pudo renombrar " + temporal;
#else
        std::error_code e;
        std::filesystem::rename(ruta(temporal), ruta(nombre), e);
        bien = !e;
        if (!bien) error = deSistema(e.message());
#endif
    } else {
        error = deSistema(std::strerror(fallo));
    }
    if (!bien) {
        borrarArchivo(temporal);
    }
    return bien;
}

bool leerArchivo(std::string_view nombre, std::string& contenido) {
    std::FILE* f = abrirArchivo(nombre, "rb");
    if (!f) return false;
    contenido.clear();
    char trozo[65536];
    std::size_t n;
    while ((n = std::fread(trozo, 1, sizeof trozo, f)) > 0) contenido.append(trozo, n);
    const bool bien = !std::ferror(f);
    std::fclose(f);
    return bien;
}

void usarCaracteresDelSistema() {
#ifdef _WIN32
    // The console shows the ANSI bytes the program writes, not the OEM code
    // page's letters for them, until the program ends; and it draws the
    // progress lines' cursor movements (Windows 10 and later).
    const UINT pagina = GetConsoleOutputCP();
    if (pagina != 0 && pagina != GetACP() && SetConsoleOutputCP(GetACP())) {
        paginaAnterior = pagina;
        std::atexit(restaurarPagina);
    }
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD modo = 0;
    if (GetConsoleMode(error, &modo)) SetConsoleMode(error, modo | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
#else
    const char* actual = std::setlocale(LC_CTYPE, "");
    if (actual && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
    std::setlocale(LC_CTYPE, "C.UTF-8");
#endif
}

}  // namespace autorep::plataforma
