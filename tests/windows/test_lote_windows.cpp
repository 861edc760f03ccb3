// autorep-lote.exe as a scheduled task runs it: what it prints and its exit
// status, with the registry of the machine and no Firebird client installed.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "lote/opciones_lote.h"
#include "platform/sistema.h"
#include "platform/win32/ancho.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/windows/proceso.h"

using namespace autorep;

namespace {

const std::string sinClientes =
    "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project]\r\n"
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vorlan]\r\n\r\n";
const std::string faltaCliente = "No se pudo cargar la biblioteca cliente de Firebird fbclient.dll: ";

std::string escapado(const std::string& ruta) {
    std::string r;
    for (char c : ruta) r += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return r;
}

std::string sinCr(std::string s) {
    std::erase(s, '\r');
    return s;
}

TEST(LoteWindows, OrdenesYEstadosDeSalida) {
    prueba::DirectorioTemporal dir;
    // The application's folder, with Windows-1252 letters, as the registry names it.
    const std::string aplicacion = plataforma::rutaAbsoluta(dir.str()) + "\\Compa\xF1\xED" "a";
    ASSERT_TRUE(plataforma::crearCarpetas(aplicacion));
    const std::string otra = plataforma::rutaAbsoluta(dir.str()) + "\\otra";
    ASSERT_TRUE(plataforma::crearCarpetas(otra));
    // Past the old 260-character limit, as a revision folder nested deep in it would be.
    std::string larga = plataforma::rutaAbsoluta(dir.str());
    for (char c : {'a', 'b', 'c'}) larga += "\\" + std::string(90, c);
    larga += "\\Compa\xF1\xED" "a \x80";
    ASSERT_TRUE(plataforma::crearCarpetas(larga));
    ASSERT_GT(larga.size(), 260u);
    const std::string corrida = " --origen C:\\erp --usuario admin --compania 001 --destino D:\\replica";
    const std::string claveApp = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"" +
                                 escapado(aplicacion) + "\"\r\n";
    const struct {
        const char* que;
        std::string argumentos;
        std::string registro;      // imported after removing the keys of the ERP and of Firebird
        int estado;
        std::string salida;        // standard output, whole
        std::string error;         // a part of standard error
        std::string errores = {};  // the folder whose ERRORES.TXT records the error
    } casos[] = {
        {"version", " --version", "", 0, "autorep-lote " AUTOREP_VERSION "\n", ""},
        {"ayuda", " --ayuda", "", 0, sinCr(lote::ayudaLote()), ""},
        {"una opcion desconocida", corrida + " --nada", "", 2, "", "Opci\xF3n desconocida: --nada. Use --ayuda."},
        {"sin cliente de Firebird, con el directorio del registro", corrida, claveApp, 2, "",
         "Se presento el siguiente error: Base general de origen C:\\erp/datos/general.fdb: " + faltaCliente, aplicacion},
        {"sin cliente de Firebird, con --directorio", corrida + " --directorio \"" + otra + "\"", claveApp, 2, "",
         faltaCliente, otra},
        {"sin cliente de Firebird, con un --directorio de mas de 260 caracteres",
         corrida + " --directorio \"" + larga + "\"", claveApp, 2, "", faltaCliente, larga},
        {"sin directorio de la aplicacion", corrida, "", 2, "",
         "No hay directorio de la aplicaci\xF3n: ind\xEDquelo con --directorio."},
    };
    for (const auto& c : casos) {
        prueba::importarRegistro(sinClientes + c.registro);
        const auto s = prueba::ejecutar("\"" + prueba::carpetaDeProgramas() + "autorep-lote.exe\"" + c.argumentos);
        EXPECT_EQ(s.estado, c.estado) << c.que << ": " << s.error;
        EXPECT_EQ(s.salida, c.salida) << c.que;
        EXPECT_NE(s.error.find(c.error), std::string::npos) << c.que << ": " << s.error;
        if (!c.errores.empty()) {
            std::string log;
            ASSERT_TRUE(plataforma::leerArchivo(c.errores + "\\ERRORES.TXT", log)) << c.que;
            EXPECT_NE(log.find(": " + faltaCliente), std::string::npos) << c.que << ": " << log;
        }
    }
}

// A letter outside Windows-1252 reaches the program as UTF-16, not as the
// ANSI code page's '?': it is refused, as on Linux, rather than naming
// another folder or password.
TEST(LoteWindows, UnaLetraQueWindows1252NoTieneSeRechaza) {
    prueba::importarRegistro(sinClientes);
    const std::wstring programa = L"\"" + plataforma::ancho(prueba::carpetaDeProgramas()) + L"autorep-lote.exe\"";
    const std::wstring corrida = L" --origen C:\\erp --usuario admin --compania 001 --destino D:\\replica";
    const std::wstring cirilico = L"C:\\\u041E\u0442\u0447\u0435\u0442\u044B";  // C:\Отчеты
    const std::string cirilicoUtf8 = "C:\\\xD0\x9E\xD1\x82\xD1\x87\xD0\xB5\xD1\x82\xD1\x8B";

    const auto argumento = prueba::ejecutar(programa + corrida + L" --directorio " + cirilico);
    EXPECT_EQ(argumento.estado, 2) << argumento.error;
    EXPECT_EQ(argumento.error, "El argumento \"" + cirilicoUtf8 +
                                   "\" tiene letras que el programa no puede representar (Windows-1252).\n");
    EXPECT_EQ(argumento.salida, "");

    ASSERT_TRUE(SetEnvironmentVariableW(L"AUTOREP_CLAVE", L"\u03BA\u03BB\u03B5\u03B9\u03B4\u03AF"));  // κλειδί
    const auto variable = prueba::ejecutar(programa + corrida);
    SetEnvironmentVariableW(L"AUTOREP_CLAVE", nullptr);
    EXPECT_EQ(variable.estado, 2) << variable.error;
    EXPECT_NE(variable.error.find("La variable AUTOREP_CLAVE tiene letras que el programa no puede representar"),
              std::string::npos)
        << variable.error;
}

std::wstring valorDeVersion(const std::vector<char>& datos, const std::wstring& nombre) {
    void* valor = nullptr;
    UINT n = 0;
    if (!VerQueryValueW(datos.data(), (L"\\StringFileInfo\\0C0A04E4\\" + nombre).c_str(), &valor, &n) || n == 0)
        return L"(falta)";
    return std::wstring(static_cast<const wchar_t*>(valor), n - 1);
}

// What an administrator sees in the file's properties before scheduling it,
// and the manifest Windows reads when it starts it.
TEST(LoteWindows, LaVersionYElManifiestoVanEnElEjecutable) {
    const std::wstring exe = plataforma::ancho(prueba::carpetaDeProgramas()) + L"autorep-lote.exe";
    const DWORD tamanio = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    ASSERT_GT(tamanio, 0u) << "no version resource";
    std::vector<char> datos(tamanio);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, tamanio, datos.data()));

    const std::wstring version = plataforma::ancho(AUTOREP_VERSION);
    EXPECT_EQ(valorDeVersion(datos, L"FileVersion"), version);
    EXPECT_EQ(valorDeVersion(datos, L"ProductVersion"), version);
    EXPECT_EQ(valorDeVersion(datos, L"ProductName"), L"autorep");
    EXPECT_EQ(valorDeVersion(datos, L"OriginalFilename"), L"autorep-lote.exe");
    EXPECT_EQ(valorDeVersion(datos, L"FileDescription"),
              L"Conciliaci\u00F3n por lotes de la base de origen con su r\u00E9plica");
    VS_FIXEDFILEINFO* fija = nullptr;
    UINT n = 0;
    ASSERT_TRUE(VerQueryValueW(datos.data(), L"\\", reinterpret_cast<void**>(&fija), &n));
    unsigned mayor = 0, menor = 0, parche = 0;
    ASSERT_EQ(std::sscanf(AUTOREP_VERSION, "%u.%u.%u", &mayor, &menor, &parche), 3);
    EXPECT_EQ(fija->dwFileVersionMS, mayor << 16 | menor);
    EXPECT_EQ(fija->dwFileVersionLS, parche << 16);
    EXPECT_EQ(fija->dwProductVersionMS, fija->dwFileVersionMS);

    const HMODULE modulo = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(modulo, nullptr);
    const HRSRC recurso = FindResourceW(modulo, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(recurso, nullptr) << "no manifest";
    const std::string manifiesto(static_cast<const char*>(LockResource(LoadResource(modulo, recurso))),
                                 SizeofResource(modulo, recurso));
    FreeLibrary(modulo);
    EXPECT_NE(manifiesto.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"), std::string::npos)
        << "Windows 10 and later";
    EXPECT_NE(manifiesto.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_EQ(manifiesto.find("activeCodePage"), std::string::npos) << "the texts are Windows-1252, not UTF-8";
}

}  // namespace
