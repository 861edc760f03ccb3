// The registry read from regedit export files, through diraplicacion.
#include <gtest/gtest.h>

#include <fstream>

#include "app/diraplicacion.h"
#include "platform/registro.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;
using plataforma::ErrorRegistro;
using plataforma::RegistroArchivo;

namespace {

const std::string k16 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n";
const std::string k15 = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2015]\r\n";
const std::string r4 = "REGEDIT4\r\n\r\n";
const std::string r5 = "Windows Registry Editor Version 5.00\r\n\r\n";

std::string utf16(const std::string& utf8) {
    std::string r = "\xFF\xFE";
    // The fixtures are ASCII apart from the letters spelled out below.
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3) c = 0xC0 | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
        r += static_cast<char>(c & 0xFF);
        r += static_cast<char>(c >> 8);
    }
    return r;
}

struct Caso {
    const char* que;
    std::string archivo;
    std::string directorio;    // expected when no error
    const char* error = nullptr;  // a part of the expected error
    bool aviso = false;          // the "key not found" box
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.que; }

class Diraplicacion : public ::testing::TestWithParam<Caso> {};

TEST_P(Diraplicacion, LeeElDirectorioComoEnWindows) {
    const auto& c = GetParam();
    prueba::AvisadorGrabador avisador;
    try {
        const auto registro = RegistroArchivo::desdeTexto(c.archivo, "prueba.reg");
        const std::string dir = app::diraplicacion(registro, avisador);
        ASSERT_EQ(c.error, nullptr) << c.que << ": no error raised";
        EXPECT_EQ(dir, c.directorio) << c.que;
    } catch (const std::exception& e) {
        ASSERT_NE(c.error, nullptr) << c.que << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.que << ": " << e.what();
    }
    EXPECT_EQ(avisador.informaciones.size(), c.aviso ? 1u : 0u) << c.que;
    if (c.aviso) {
        EXPECT_EQ(avisador.informaciones[0],
                  "No se encontr\xF3 la Clave HKEY_LOCAL_MACHINE\\Software\\Vorlan\\QuorixERP2016\\Directorio");
    }
}

const std::string hexDir = "hex(2):2f,00,71,00,f1,00,00,00,41,00";  // "/q\xF1" then NUL then "A"

INSTANTIATE_TEST_SUITE_P(
    Tabla, Diraplicacion,
    ::testing::Values(
        Caso{"REGEDIT4 con la clave 2016", r4 + k16 + "\"Directorio\"=\"/srv/erp\"\r\n", "/srv/erp"},
        Caso{"solo la clave 2015", r4 + k15 + "\"Directorio\"=\"/srv/2015\"\r\n", "/srv/2015"},
        Caso{"las dos claves: gana la primera",
             r4 + k15 + "\"Directorio\"=\"/b\"\r\n\r\n" + k16 + "\"Directorio\"=\"/a\"\r\n", "/a"},
        Caso{"la primera clave sin el valor da vacio aunque la segunda lo tenga",
             r4 + k16 + "\"Otro\"=\"x\"\r\n" + k15 + "\"Directorio\"=\"/b\"\r\n", ""},
        Caso{"ninguna clave: aviso y vacio", r4 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Otro]\r\n", "", nullptr, true},
        Caso{"archivo vacio de claves", r4, "", nullptr, true},
        Caso{"escapes de barra y comilla", r4 + k16 + "\"Directorio\"=\"C:\\\\ERP \\\"2016\\\"\"\r\n", "C:\\ERP \"2016\""},
        Caso{"mayusculas distintas en clave y valor",
             r4 + "[hkey_local_machine\\software\\VORLAN\\quorixerp2016]\r\n\"DIRECTORIO\"=\"/x\"\r\n", "/x"},
        Caso{"forma corta HKLM", r4 + "[HKLM\\Software\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"/x\"\n", "/x"},
        Caso{"version 5 en UTF-16 con BOM y acento",
             utf16(r5 + k16 + "\"Directorio\"=\"/datos/compañía\"\r\n"), "/datos/compa\xF1\xED" "a"},
        Caso{"version 5 en UTF-8", "\xEF\xBB\xBF" + r5 + k16 + "\"Directorio\"=\"/datos/año\"\r\n", "/datos/a\xF1o"},
        Caso{"REGEDIT4 guarda los bytes tal cual", r4 + k16 + "\"Directorio\"=\"/a\xF1o\"\r\n", "/a\xF1o"},
        Caso{"cadena expandible UTF-16 cortada en el primer NUL, sin expandir",
             r5 + k16 + "\"Directorio\"=" + hexDir + "\r\n", "/q\xF1"},
        Caso{"cadena expandible partida en varias lineas",
             r5 + k16 + "\"Directorio\"=hex(2):25,00,41,00,\\\r\n  25,00,00,00\r\n", "%A%"},
        Caso{"dword es otro tipo", r4 + k16 + "\"Directorio\"=dword:00000001\r\n", "",
             "Invalid data type for 'Directorio'"},
        Caso{"binario es otro tipo", r4 + k16 + "\"Directorio\"=hex:2f,61\r\n", "", "Invalid data type for 'Directorio'"},
        Caso{"multicadena es otro tipo", r4 + k16 + "\"Directorio\"=hex(7):2f,00,00,00\r\n", "",
             "Invalid data type for 'Directorio'"},
        Caso{"clave borrada no existe",
             r4 + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n\"Directorio\"=\"/x\"\r\n", "", nullptr, true},
        Caso{"comentarios y lineas en blanco", r4 + "; comentario\r\n\r\n" + k16 + "; otro\r\n\"Directorio\"=\"/c\"\r\n", "/c"},
        Caso{"encabezado desconocido", "REGEDIT5\r\n" + k16, "", "prueba.reg, l\xEDnea 1"},
        Caso{"clave sin corchete de cierre", r4 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\r\n", "", "prueba.reg, l\xEDnea 3"},
        Caso{"cadena sin comilla de cierre", r4 + k16 + "\"Directorio\"=\"/x\r\n", "", "l\xEDnea 4"},
        Caso{"valor sin signo igual", r4 + k16 + "\"Directorio\" \"/x\"\r\n", "", "l\xEDnea 4"},
        Caso{"valor fuera de una clave", r4 + "\"Directorio\"=\"/x\"\r\n", "", "l\xEDnea 3"},
        Caso{"bytes hexadecimales mal formados", r4 + k16 + "\"Directorio\"=hex(2):2f,zz\r\n", "", "l\xEDnea 4"},
        Caso{"dword mal formado", r4 + k16 + "\"Directorio\"=dword:12\r\n", "", "l\xEDnea 4"},
        Caso{"UTF-16 truncado a mitad de caracter", utf16(r5 + k16).substr(0, 21), "", "prueba.reg"},
        Caso{"archivo sin encabezado", "", "", "encabezado"}),
    [](const auto& info) { return "caso" + std::to_string(info.index); });

TEST(Registro, UnArchivoAusenteNoTieneClaves) {
    prueba::DirectorioTemporal dir;
    const auto r = RegistroArchivo::cargar(dir.str() + "/no-esta.reg");
    EXPECT_FALSE(r.existeClave(plataforma::RaizRegistro::LocalMachine, "\\Software\\Vorlan\\QuorixERP2016"));
}

TEST(Registro, ElArchivoSeNombraConLaVariableDeEntornoYSeLeeEnCadaLlamada) {
    prueba::DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/r.reg";
    prueba::VariableEntorno variable("AUTOREP_REGISTRO", ruta);
    prueba::AvisadorGrabador avisador;
    EXPECT_EQ(app::diraplicacion(avisador), "");
    EXPECT_EQ(avisador.informaciones.size(), 1u);
    std::ofstream(ruta, std::ios::binary) << prueba::textoRegistro("/srv/x");
    EXPECT_EQ(app::diraplicacion(avisador), "/srv/x") << "nothing is cached";
}

}  // namespace
