// The Windows side of platform/ against Wine's real registry, locale and
// files.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "app/diraplicacion.h"
#include "app/log_texto.h"
#include "platform/bloqueo.h"
#include "platform/regional.h"
#include "platform/registro.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "platform/win32/ancho.h"
#include "reconcile/reporte.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/windows/proceso.h"

using namespace autorep;
namespace fs = std::filesystem;

namespace {

// Every case starts from a registry without the application's keys, in
// either view.
const std::string limpio =
    "REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vorlan]\r\n";
const std::string k16 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n";
const std::string k15 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2015]\r\n";

// A version 5 file: UTF-16 with its mark, from ASCII text and the letters ñ and í.
std::string version5(const std::string& texto) {
    std::string r = "\xFF\xFE";
    for (char c : "Windows Registry Editor Version 5.00\r\n\r\n" + texto) {
        r += c;
        r += '\0';
    }
    return r;
}

struct CasoRegistro {
    const char* que;
    std::string archivo;            // imported after `limpio`
    std::string directorio;         // expected when no error
    const char* error = nullptr;    // a part of the expected error
    bool aviso = false;             // the "key not found" box
};

void PrintTo(const CasoRegistro& c, std::ostream* os) { *os << c.que; }

class RegistroReal : public ::testing::TestWithParam<CasoRegistro> {};

TEST_P(RegistroReal, ElDirectorioSeLeeComoLoImportoRegedit) {
    const auto& c = GetParam();
    unsetenv("AUTOREP_REGISTRO");
    prueba::importarRegistro(limpio);
    prueba::importarRegistro(c.archivo);
    prueba::AvisadorGrabador avisador;
    try {
        const std::string dir = app::diraplicacion(avisador);
        ASSERT_EQ(c.error, nullptr) << "no error raised";
        EXPECT_EQ(dir, c.directorio);
    } catch (const std::exception& e) {
        ASSERT_NE(c.error, nullptr) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
    }
    EXPECT_EQ(avisador.informaciones.size(), c.aviso ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Tabla, RegistroReal,
    ::testing::Values(
        CasoRegistro{"la clave 2016 antes que la 2015",
                     "REGEDIT4\r\n" + k15 + "\"Directorio\"=\"C:\\\\ERP2015\"\r\n" + k16 +
                         "\"Directorio\"=\"C:\\\\ERP2016\"\r\n",
                     "C:\\ERP2016"},
        CasoRegistro{"solo la clave 2015", "REGEDIT4\r\n" + k15 + "\"Directorio\"=\"C:\\\\ERP2015\"\r\n", "C:\\ERP2015"},
        CasoRegistro{"la 2016 sin el valor da vacio aunque la 2015 lo tenga",
                     "REGEDIT4\r\n" + k16 + "\"Otro\"=\"x\"\r\n" + k15 + "\"Directorio\"=\"C:\\\\ERP2015\"\r\n", ""},
        CasoRegistro{"ninguna clave: aviso y vacio", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan]\r\n", "",
                     nullptr, true},
        CasoRegistro{"carpeta acentuada en un archivo ANSI",
                     "REGEDIT4\r\n" + k16 + "\"Directorio\"=\"C:\\\\Compa\xF1\xED" "a\\\\ERP\"\r\n",
                     "C:\\Compa\xF1\xED" "a\\ERP"},
        CasoRegistro{"carpeta acentuada en un archivo UTF-16",
                     version5(k16 + "\"Directorio\"=\"C:\\\\Compa\xF1\xED" "a\\\\ERP\"\r\n"),
                     "C:\\Compa\xF1\xED" "a\\ERP"},
        CasoRegistro{"cadena cortada en su primer NUL",
                     version5(k16 + "\"Directorio\"=hex(1):43,00,3a,00,5c,00,00,00,78,00,00,00\r\n"), "C:\\"},
        CasoRegistro{"cadena expandible leida sin expandir",
                     version5(k16 + "\"Directorio\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,"
                                    "74,00,25,00,5c,00,45,00,00,00\r\n"),
                     "%SystemRoot%\\E"},
        CasoRegistro{"dword es otro tipo", "REGEDIT4\r\n" + k16 + "\"Directorio\"=dword:00000001\r\n", "",
                     "Invalid data type for 'Directorio'"},
        CasoRegistro{"binario es otro tipo", "REGEDIT4\r\n" + k16 + "\"Directorio\"=hex:43,3a\r\n", "",
                     "Invalid data type for 'Directorio'"},
        CasoRegistro{"multicadena es otro tipo", version5(k16 + "\"Directorio\"=hex(7):43,00,00,00,00,00\r\n"), "",
                     "Invalid data type for 'Directorio'"},
        CasoRegistro{"la vista de 32 bits antes que la de 64",
                     "REGEDIT4\r\n" + k16 + "\"Directorio\"=\"C:\\\\64\"\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"C:\\\\32\"\r\n",
                     "C:\\32"},
        CasoRegistro{"la 2016 de 32 bits antes que la 2015 de 64",
                     "REGEDIT4\r\n" + k15 + "\"Directorio\"=\"C:\\\\64\"\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"C:\\\\32\"\r\n",
                     "C:\\32"}),
    [](const auto& info) { return "caso" + std::to_string(info.index); });

TEST(RegistroReal, SeLeeDeNuevoEnCadaLlamada) {
    unsetenv("AUTOREP_REGISTRO");
    prueba::importarRegistro(limpio);
    const auto registro = plataforma::registroDelSistema();
    const char* clave = "\\Software\\Vorlan\\QuorixERP2016";
    EXPECT_FALSE(registro->existeClave(plataforma::RaizRegistro::LocalMachine, clave));
    prueba::importarRegistro("REGEDIT4\r\n" + k16 + "\"Directorio\"=\"C:\\\\nuevo\"\r\n");
    EXPECT_EQ(plataforma::leerCadena(*registro, plataforma::RaizRegistro::LocalMachine, clave, "Directorio"), "C:\\nuevo");
}

TEST(RegistroReal, AutorepRegistroNombraUnArchivoQueReemplazaAlRegistro) {
    prueba::importarRegistro(limpio);
    prueba::importarRegistro("REGEDIT4\r\n" + k16 + "\"Directorio\"=\"C:\\\\real\"\r\n");
    prueba::DirectorioTemporal dir;
    const std::string archivo = dir.str() + "\\registro.reg";
    ASSERT_TRUE(plataforma::escribirArchivo(archivo, prueba::textoRegistro("C:\\archivo")));
    prueba::AvisadorGrabador avisador;
    {
        prueba::VariableEntorno variable("AUTOREP_REGISTRO", archivo);
        EXPECT_EQ(app::diraplicacion(avisador), "C:\\archivo");
    }
    unsetenv("AUTOREP_REGISTRO");
    EXPECT_EQ(app::diraplicacion(avisador), "C:\\real");
}

// The user's changes in the Control Panel reach the settings through
// GetLocaleInfoEx; Windows reads them once per process, hence the helper.
TEST(RegionalReal, LaConfiguracionDelUsuarioSeTomaDeWindows) {
    prueba::importarRegistro(
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Control Panel\\International]\r\n\"sShortDate\"=\"yyyy-MM-dd\"\r\n"
        "\"sTimeFormat\"=\"HH.mm.ss\"\r\n\"sDate\"=\"-\"\r\n\"sTime\"=\".\"\r\n\"sDecimal\"=\",\"\r\n"
        "\"s1159\"=\"a.m.\"\r\n\"s2359\"=\"p.m.\"\r\n");
    const auto s = prueba::ejecutar("\"" + prueba::carpetaDeProgramas() + "ayudante.exe\" regional");
    EXPECT_EQ(s.estado, 0) << s.error;
    EXPECT_EQ(s.salida, "yyyy-MM-dd\nHH.mm.ss\n-\n.\n,\na.m.\np.m.\n");
}

// File and folder names keep every Windows-1252 letter, whatever the ANSI
// code page: they reach Windows as UTF-16.
TEST(ArchivosReal, LosNombresAcentuadosLleganEnteros) {
    prueba::DirectorioTemporal dir;
    const std::string base = plataforma::rutaAbsoluta(dir.str());
    const std::string carpeta = base + "\\Compa\xF1\xED" "a \x80";
    ASSERT_TRUE(plataforma::crearCarpetas(carpeta + "\\sub"));
    const std::string archivo = plataforma::rutaArchivo(carpeta, "\\ERRORES.TXT");
    EXPECT_EQ(archivo, carpeta + "\\ERRORES.TXT");
    ASSERT_TRUE(plataforma::escribirArchivo(archivo, "uno\r\n"));
    EXPECT_TRUE(fs::exists(dir.ruta() / L"Compa\u00F1\u00EDa \u20AC" / L"ERRORES.TXT"));
    std::string leido;
    ASSERT_TRUE(plataforma::leerArchivo(archivo, leido));
    EXPECT_EQ(leido, "uno\r\n");
    EXPECT_TRUE(plataforma::existe(carpeta));
    EXPECT_FALSE(plataforma::carpetaVacia(carpeta));
    EXPECT_TRUE(plataforma::carpetaVacia(carpeta + "\\sub"));
    EXPECT_EQ(plataforma::rutaAbsoluta(carpeta + "\\sub\\..\\"), carpeta);
}

TEST(ArchivosReal, UnBloqueoExcluyeAOtroManejadorHastaCerrarse) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "\\comparacion21.txt";
    std::FILE* primero = plataforma::abrirArchivo(ruta, "ab");
    std::FILE* segundo = plataforma::abrirArchivo(ruta, "ab");
    ASSERT_TRUE(primero && segundo);
    EXPECT_TRUE(plataforma::bloquearArchivo(primero));
    EXPECT_FALSE(plataforma::bloquearArchivo(segundo));
    std::fclose(primero);
    EXPECT_TRUE(plataforma::bloquearArchivo(segundo));
    std::fclose(segundo);
}

// Names that reach the old limit go to Windows whole and absolute, with the
// prefix that lifts it; shorter ones as they were given.
TEST(ArchivosReal, LasRutasLargasLlevanElPrefijoQueLevantaElLimite) {
    const std::string a(130, 'a'), b(130, 'b'), c = "Compa\xF1\xED" "a";
    const std::wstring wa = plataforma::ancho(a), wb = plataforma::ancho(b), wc = L"Compa\u00F1\u00EDa";
    wchar_t actual[MAX_PATH];
    const std::wstring carpetaActual(actual, GetCurrentDirectoryW(MAX_PATH, actual));
    const struct {
        const char* que;
        std::string nombre;
        std::wstring esperado;
    } casos[] = {
        {"corta, tal cual", "C:\\datos\\x.txt", L"C:\\datos\\x.txt"},
        {"corta relativa, tal cual", "datos/x.txt", L"datos/x.txt"},
        {"larga", "C:\\" + a + "\\" + b + "\\" + c + "\\x.txt", L"\\\\?\\C:\\" + wa + L"\\" + wb + L"\\" + wc + L"\\x.txt"},
        {"larga con barras, . y ..", "C:/" + a + "/./otra/../" + b + "/" + c, L"\\\\?\\C:\\" + wa + L"\\" + wb + L"\\" + wc},
        {"larga en un recurso compartido", "\\\\servidor\\erp\\" + a + "\\" + b + "\\" + c,
         L"\\\\?\\UNC\\servidor\\erp\\" + wa + L"\\" + wb + L"\\" + wc},
        {"larga relativa, desde la carpeta actual", a + "\\" + b + "\\" + c,
         L"\\\\?\\" + carpetaActual + (carpetaActual.ends_with(L"\\") ? L"" : L"\\") + wa + L"\\" + wb + L"\\" + wc},
        {"ya con el prefijo", "\\\\?\\C:\\" + a, L"\\\\?\\C:\\" + wa},
    };
    for (const auto& k : casos) EXPECT_EQ(plataforma::rutaLarga(k.nombre), k.esperado) << k.que;
}

// A revision nested deep in the application directory, past 260 characters:
// its folders, a report, a log and a summary are made, read and found.
TEST(ArchivosReal, UnaRevisionBajoUnaRutaDeMasDe260Caracteres) {
    prueba::DirectorioTemporal dir;
    std::string aplicacion = plataforma::rutaAbsoluta(dir.str());
    for (char c : {'a', 'b', 'c'}) aplicacion += "\\" + std::string(80, c);
    aplicacion += "\\Compa\xF1\xED" "a";
    ASSERT_TRUE(plataforma::crearCarpetas(aplicacion + "\\revisiones"));
    const std::string revision = aplicacion + "\\revisiones\\20261210-020000";
    ASSERT_TRUE(plataforma::crearCarpeta(revision));
    EXPECT_FALSE(plataforma::crearCarpeta(revision)) << "it was there already";
    EXPECT_TRUE(plataforma::existe(revision));
    EXPECT_TRUE(plataforma::carpetaVacia(revision));
    const std::string compania = revision + "\\001";
    ASSERT_TRUE(plataforma::crearCarpetas(compania + "\\"));
    const std::string reporte = conciliacion::Reporte::nombreArchivo(compania, "21");
    ASSERT_GT(reporte.size(), 260u);
    {
        conciliacion::Reporte r(reporte);
        r.escribirLinea({"AB000123", "07/10/2016", "12.5", "12.5"});
        r.cerrar();
    }
    app::agregarRegistro(aplicacion + "\\ERRORES.TXT", {"10/12/2026", "02:00:00", "ADMIN", "uno"});
    ASSERT_TRUE(plataforma::escribirArchivo(revision + "\\resumen.json", "{}"));

    std::string leido;
    ASSERT_TRUE(plataforma::leerArchivo(reporte, leido));
    EXPECT_EQ(leido, "AB000123,07/10/2016,12.5,12.5\r\n");
    ASSERT_TRUE(plataforma::leerArchivo(aplicacion + "\\ERRORES.TXT", leido));
    EXPECT_EQ(leido, "10/12/2026,02:00:00,ADMIN,uno\r\n");
    ASSERT_TRUE(plataforma::leerArchivo(revision + "\\resumen.json", leido));
    EXPECT_EQ(leido, "{}");
    EXPECT_FALSE(plataforma::carpetaVacia(revision));
    EXPECT_EQ(plataforma::rutaAbsoluta(compania + "\\.."), revision);
    // Where the program put them, under the names it was given.
    EXPECT_NE(GetFileAttributesW((L"\\\\?\\" + plataforma::ancho(reporte)).c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
