// Where the Firebird client is looked for, and what a missing or old one
// says. Each load runs in a fresh process (ayudante.exe), since Windows finds
// a DLL already loaded by its bare name.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/sistema.h"
#include "platform/texto.h"
#include "platform/win32/ancho.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/windows/proceso.h"

using namespace autorep;

namespace {

std::string escapado(const std::string& ruta) {
    std::string r;
    for (char c : ruta) r += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return r;
}

std::string instancia(const std::string& carpeta, const char* vista = "") {
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\" + std::string(vista) +
           "Firebird Project\\Firebird Server\\Instances]\r\n\"DefaultInstance\"=\"" + escapado(carpeta) + "\"\r\n";
}

TEST(ClienteFirebird, SeBuscaDondeWindowsBuscaLasDllYLuegoEnLaInstanciaDelRegistro) {
    prueba::DirectorioTemporal dir;
    const std::string programas = prueba::carpetaDeProgramas();
    // The installed client's folder, with a Windows-1252 letter in its name.
    const std::string instalado = plataforma::rutaAbsoluta(dir.str()) + "\\Firebird Compa\xF1\xED" "a\\";
    ASSERT_TRUE(plataforma::crearCarpetas(instalado));
    ASSERT_TRUE(CopyFileW(plataforma::ancho(programas + "fbclient-falso\\fbclient.dll").c_str(),
                          plataforma::ancho(instalado + "fbclient.dll").c_str(), FALSE));
    const std::string vacia = plataforma::rutaAbsoluta(dir.str()) + "\\vacia\\";
    ASSERT_TRUE(plataforma::crearCarpetas(vacia));
    const std::string viejo = programas + "fbclient-viejo\\";
    const std::string falta = "No se pudo cargar la biblioteca cliente de Firebird fbclient.dll: ";

    const struct {
        const char* que;
        std::string registro;       // imported after removing every instance
        std::string enPath;         // a folder put first in PATH
        int estado;
        std::string esperado;       // the DLL loaded, or the start of the message
        std::string tambien = {};   // a further part of the message
    } casos[] = {
        {"ni junto al programa ni en el registro", "", "", 2, falta, "(126)"},
        {"la instancia por omision del registro", instancia(instalado), "", 0, instalado + "fbclient.dll"},
        {"la instancia sin barra final", instancia(instalado.substr(0, instalado.size() - 1)), "", 0,
         instalado + "fbclient.dll"},
        {"en el PATH, antes que el registro", instancia(vacia), programas + "fbclient-falso", 0,
         programas + "fbclient-falso\\fbclient.dll"},
        {"una instancia sin cliente nombra las dos busquedas", instancia(vacia), "", 2, falta,
         "; " + vacia + "fbclient.dll: "},
        {"un cliente anterior a Firebird 3", instancia(viejo), "", 2,
         "La biblioteca " + viejo + "fbclient.dll no es el cliente de Firebird 3 o posterior"},
        {"una instancia de 32 bits no sirve a un programa de 64", instancia(instalado, "Wow6432Node\\"), "", 2, falta},
    };
    const std::string path = std::getenv("PATH");
    for (const auto& c : casos) {
        prueba::importarRegistro("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project]\r\n"
                                 "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Firebird Project]\r\n\r\n" + c.registro);
        prueba::VariableEntorno variable("PATH", c.enPath.empty() ? path : c.enPath + ";" + path);
        const auto s = prueba::ejecutar("\"" + programas + "ayudante.exe\" cliente-fb");
        EXPECT_EQ(s.estado, c.estado) << c.que << ": " << s.salida;
        if (c.estado == 0) {
            EXPECT_TRUE(plataforma::igualesSinMayusculas(s.salida, c.esperado)) << c.que << ": " << s.salida;
        } else {
            EXPECT_EQ(s.salida.substr(0, c.esperado.size()), c.esperado) << c.que << ": " << s.salida;
            EXPECT_NE(s.salida.find(c.tambien), std::string::npos) << c.que << ": " << s.salida;
        }
    }
}

}  // namespace
