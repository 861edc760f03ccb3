#include <gtest/gtest.h>

#include <random>

#include "app/clave.h"

using autorep::app::Desencriptar;
using autorep::app::Encriptar;

namespace {

TEST(Clave, VectoresCalculadosAMano) {
    struct {
        std::string plano, mezclado;
    } casos[] = {
        {"", ""},
        {"A", "L"},                  // 65 + 1 + 1 + 9
        {"AB", "MH"},                // 65+2+1+9, 66+2+2+2
        {"abc", "niq"},              // the third position uses entry 3 (8)
        {"aaaa", "oipr"},            // the fourth uses entry 1 again: the modulus is 3
        {std::string("\xFF"), "\x0A"},  // 255 + 1 + 1 + 9 wraps to 10
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Encriptar(c.plano), c.mezclado) << c.plano;
        EXPECT_EQ(Desencriptar(c.mezclado), c.plano) << c.plano;
    }
}

TEST(Clave, IdaYVueltaParaTodoLargoYTodoByte) {
    std::mt19937 azar(7);
    for (std::size_t largo = 0; largo <= 300; ++largo) {
        std::string texto(largo, '\0');
        for (auto& c : texto) c = static_cast<char>(azar() & 0xFF);
        const std::string mezclado = Encriptar(texto);
        ASSERT_EQ(mezclado.size(), largo);
        ASSERT_EQ(Desencriptar(mezclado), texto) << "largo " << largo;
    }
    std::string todos;
    for (int b = 0; b < 256; ++b) todos += static_cast<char>(b);
    EXPECT_EQ(Desencriptar(Encriptar(todos)), todos);
}

TEST(Clave, ElLargoEntraEnCadaByte) {
    // The same character at the same position scrambles differently in texts of other lengths.
    EXPECT_NE(Encriptar("a")[0], Encriptar("ab")[0]);
}

TEST(Clave, UnTextoMezcladoConNulSeRecuperaEntero) {
    // In a text of two bytes the first moves by 2 + 1 + 9 = 12, so 244 becomes NUL.
    const std::string plano("\xF4z", 2);
    const std::string mezclado = Encriptar(plano);
    ASSERT_NE(mezclado.find('\0'), std::string::npos);
    EXPECT_EQ(Desencriptar(mezclado), plano);
}

}  // namespace
