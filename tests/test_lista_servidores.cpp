#include <gtest/gtest.h>

#include <fstream>

#include "ctrlaccesoautorep/lista_servidores.h"
#include "tests/apoyo/base_prueba.h"

using autorep::acceso::cargarListaServidores;
using autorep::acceso::leerListaServidores;
using V = std::vector<std::string>;

namespace {

TEST(ListaServidores, TablaDeBytes) {
    const std::string largo300(300, 'x');
    struct {
        const char* que;
        std::string bytes;
        V lista;
    } casos[] = {
        {"CR LF", "A\r\nB\r\n", {"A", "B"}},
        {"LF solo", "A\nB\n", {"A", "B"}},
        {"linea vacia en medio", "A\r\n\r\nB\r\n", {"A", "", "B"}},
        {"la ultima linea sin fin se pierde", "A\r\nB", {"A"}},
        {"un CR solo se traga el byte siguiente", "A\rBC\n", {"A", "C"}},
        {"empieza con fin de linea", "\r\nA\r\n", {"", "A"}},
        {"un NUL corta la entrada", std::string("ab\0cd\r\nE\r\n", 10), {"ab", "E"}},
        {"los blancos se conservan", "  srv1 \r\n", {"  srv1 "}},
        {"una linea de 300 se corta en 255", largo300 + "\r\nB\r\n", {std::string(255, 'x'), "B"}},
        {"vacio", "", {}},
        {"CR al final sin byte siguiente", "A\r", {"A"}},
        {"bytes altos tal cual", "srv\xF1\r\n", {"srv\xF1"}},
    };
    for (const auto& c : casos) EXPECT_EQ(leerListaServidores(c.bytes), c.lista) << c.que;
}

TEST(ListaServidores, ArchivoAusenteOVacio) {
    autorep::prueba::DirectorioTemporal dir;
    EXPECT_TRUE(cargarListaServidores(dir.str() + "/SERVIDORES.cfg").empty());
    std::ofstream(dir.str() + "/SERVIDORES.cfg");
    EXPECT_TRUE(cargarListaServidores(dir.str() + "/SERVIDORES.cfg").empty());
    std::ofstream(dir.str() + "/SERVIDORES.cfg", std::ios::binary) << "srv1\r\nlocalhost:/x\r\n";
    EXPECT_EQ(cargarListaServidores(dir.str() + "/SERVIDORES.cfg"), (V{"srv1", "localhost:/x"}));
}

}  // namespace
