// The registry read from regedit export files, through diraplicacion.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

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
        Caso{"cadena con NUL (hex(1)) en UTF-16 cortada en el primer NUL",
             r5 + k16 + "\"Directorio\"=hex(1):43,00,3a,00,5c,00,00,00,78,00,00,00\r\n", "C:\\"},
        Caso{"hex(1) sin NUL pasa de UTF-16 a Windows-1252",
             r5 + k16 + "\"Directorio\"=hex(1):2f,00,ac,20,f1,00\r\n", "/\x80\xF1"},
        Caso{"hex(1) de REGEDIT4 son bytes ANSI cortados en el primer NUL",
             r4 + k16 + "\"Directorio\"=hex(1):2f,80,f1,00,78,00\r\n", "/\x80\xF1"},
        Caso{"la clave 2016 que solo es padre existe: vacio, sin aviso y sin mirar la 2015",
             r4 + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016\\Sub]\r\n\"Directorio\"=\"/sub\"\r\n" + k15 +
                 "\"Directorio\"=\"/b\"\r\n",
             ""},
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

TEST(Registro, CadaFormaDeValorTieneSuTipo) {
    using Tipo = plataforma::ValorRegistro::Tipo;
    const struct {
        const char* dato;
        Tipo tipo;
    } casos[] = {
        {"\"a\"", Tipo::Cadena},
        {"hex(1):61,00,00,00", Tipo::Cadena},
        {"hex(2):61,00,00,00", Tipo::CadenaExpandible},
        {"hex(7):61,00,00,00,00,00", Tipo::Otro},
        {"hex(0):61", Tipo::Otro},
        {"hex:61", Tipo::Otro},
        {"dword:00000001", Tipo::Otro},
    };
    for (const auto& c : casos) {
        const auto r = RegistroArchivo::desdeTexto(r5 + k16 + "\"V\"=" + c.dato + "\r\n", "prueba.reg");
        const auto v = r.leerValor(plataforma::RaizRegistro::LocalMachine, "\\Software\\Vorlan\\QuorixERP2016", "V");
        ASSERT_TRUE(v) << c.dato;
        EXPECT_EQ(v->tipo, c.tipo) << c.dato;
    }
}

// Which keys exist after reading a file, and the "Directorio" value each holds.
struct CasoClave {
    const char* que;
    std::string archivo;
    const char* ruta;
    bool existe;
    std::optional<std::string> directorio = std::nullopt;
};

void PrintTo(const CasoClave& c, std::ostream* os) { *os << c.que; }

class Claves : public ::testing::TestWithParam<CasoClave> {};

TEST_P(Claves, ExistenComoTrasImportarElArchivoEnWindows) {
    const auto& c = GetParam();
    const auto r = RegistroArchivo::desdeTexto(c.archivo, "prueba.reg");
    const auto raiz = plataforma::RaizRegistro::LocalMachine;
    EXPECT_EQ(r.existeClave(raiz, c.ruta), c.existe) << c.que;
    const auto v = r.leerValor(raiz, c.ruta, "Directorio");
    EXPECT_EQ(v ? std::optional<std::string>(v->datos) : std::nullopt, c.directorio) << c.que;
}

const std::string sub = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016\\Sub]\r\n\"Directorio\"=\"/sub\"\r\n";
const std::string borra16 = "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016]\r\n";
const char* const q16 = "\\Software\\Vorlan\\QuorixERP2016";
const char* const q16sub = "\\Software\\Vorlan\\QuorixERP2016\\Sub";

INSTANTIATE_TEST_SUITE_P(
    Tabla, Claves,
    ::testing::Values(
        CasoClave{"el padre de una clave existe, sin valores", r4 + sub, q16, true},
        CasoClave{"la clave listada conserva sus valores", r4 + sub, q16sub, true, "/sub"},
        CasoClave{"los padres de mas arriba tambien existen", r4 + sub, "\\Software\\Vorlan", true},
        CasoClave{"el padre sin distinguir mayusculas", r4 + sub, "\\SOFTWARE\\VORLAN\\quorixerp2016\\", true},
        CasoClave{"la forma corta HKLM crea los mismos padres",
                  r4 + "[HKLM\\Software\\Vorlan\\QuorixERP2016\\Sub]\r\n", q16, true},
        CasoClave{"un padre ya listado conserva sus valores", r4 + k16 + "\"Directorio\"=\"/a\"\r\n" + sub, q16, true,
                  "/a"},
        CasoClave{"un prefijo que no acaba en barra no es padre", r4 + sub, "\\Software\\Vorlan\\QuorixERP201", false},
        CasoClave{"una clave de otra raiz no crea padres aqui",
                  r4 + "[HKEY_CURRENT_USER\\Software\\Vorlan\\QuorixERP2016\\Sub]\r\n", q16, false},
        CasoClave{"una clave borrada no crea su padre",
                  r4 + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP2016\\Sub]\r\n", q16, false},
        CasoClave{"una clave listada y luego borrada desaparece con sus valores",
                  r4 + k16 + "\"Directorio\"=\"/a\"\r\n" + borra16, q16, false},
        CasoClave{"borrar el padre se lleva las subclaves", r4 + sub + borra16, q16sub, false},
        CasoClave{"borrar el padre deja los de mas arriba", r4 + sub + borra16, "\\Software\\Vorlan", true},
        CasoClave{"borrar sin distinguir mayusculas deja el padre",
                  r4 + sub + "[-hkey_local_machine\\software\\VORLAN\\quorixerp2016\\SUB]\r\n", q16, true},
        CasoClave{"borrar sin distinguir mayusculas",
                  r4 + sub + "[-hkey_local_machine\\software\\VORLAN\\quorixerp2016\\SUB]\r\n", q16sub, false},
        CasoClave{"borrar una clave no toca a otra que empieza igual",
                  r4 + k16 + "\"Directorio\"=\"/a\"\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vorlan\\QuorixERP201]\r\n", q16,
                  true, "/a"},
        CasoClave{"una subclave listada tras borrar el padre lo vuelve a crear", r4 + borra16 + sub, q16, true}),
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
