#include <gtest/gtest.h>

#include <limits>

#include "reconcile/importe.h"

using namespace autorep::conciliacion;

namespace {

TEST(Importe, TextoDeImportesExactos) {
    struct {
        std::int64_t valor;
        int escala;
        const char* punto;
        const char* coma;
    } casos[] = {
        {1250, -2, "12.5", "12,5"},
        {10000, -2, "100", "100"},
        {5, -2, "0.05", "0,05"},
        {-310, -2, "-3.1", "-3,1"},
        {-50, -2, "-0.5", "-0,5"},
        {0, -2, "0", "0"},
        {-0, -4, "0", "0"},
        {123456789012345678, -2, "1234567890123456.78", "1234567890123456,78"},
        {std::numeric_limits<std::int64_t>::min(), -4, "-922337203685477.5808", "-922337203685477,5808"},
        {std::numeric_limits<std::int64_t>::max(), 0, "9223372036854775807", "9223372036854775807"},
        {-7, 0, "-7", "-7"},
        {1, -9, "0.000000001", "0,000000001"},
        {100, -1, "10", "10"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(textoImporte(c.valor, c.escala, "."), c.punto) << c.valor << "e" << c.escala;
        EXPECT_EQ(textoImporte(c.valor, c.escala, ","), c.coma) << c.valor << "e" << c.escala;
    }
}

TEST(Importe, RealesEnSuFormaExactaMasCorta) {
    struct {
        double valor;
        const char* esperado;
    } casos[] = {{0.1, "0.1"}, {2.5, "2.5"}, {-1e20, "-100000000000000000000"}, {1e-7, "0.0000001"},
                 {0.0, "0"},   {-0.0, "0"},  {123456.75, "123456.75"}};
    for (const auto& c : casos) EXPECT_EQ(textoReal(c.valor, "."), c.esperado) << c.valor;
    EXPECT_EQ(textoReal(12.5, ","), "12,5");
}

TEST(Importe, NuloEsCampoVacio) {
    autorep::plataforma::Regional r;
    EXPECT_EQ(textoCampo(autorep::bd::Valor::nulo(), r), "");
}

}  // namespace
