// autorep-lote.exe as a scheduled task runs it: what it prints and its exit
// status, with the registry of the machine and no Firebird client installed.
#include <gtest/gtest.h>

#include "lote/opciones_lote.h"
#include "platform/sistema.h"
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
         "Se presento el siguiente error: " + faltaCliente, aplicacion},
        {"sin cliente de Firebird, con --directorio", corrida + " --directorio \"" + otra + "\"", claveApp, 2, "",
         faltaCliente, otra},
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
            EXPECT_NE(log.find("," + faltaCliente), std::string::npos) << c.que << ": " << log;
        }
    }
}

}  // namespace
