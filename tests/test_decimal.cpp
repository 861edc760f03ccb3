#include <gtest/gtest.h>

#include "reconcile/decimal.h"

using autorep::conciliacion::Decimal;
using autorep::bd::Valor;

namespace {

TEST(Decimal, LecturaYTexto) {
    struct {
        const char* texto;
        const char* separador;
        const char* canonico;  // nullptr: not a number
    } casos[] = {{"12.50", ".", "12.5"}, {"-0.05", ".", "-0.05"}, {"12,5", ",", "12.5"}, {"100.00", ".", "100"},
                 {"-0", ".", "0"},       {"0", ".", "0"},         {"", ".", nullptr},    {"1.2.3", ".", nullptr},
                 {"12,5", ".", nullptr}, {"abc", ".", nullptr},   {"-", ".", nullptr},   {"+7", ".", "7"}};
    for (const auto& c : casos) {
        const auto d = Decimal::leer(c.texto, c.separador);
        if (!c.canonico) {
            EXPECT_FALSE(d) << c.texto;
            continue;
        }
        ASSERT_TRUE(d) << c.texto;
        EXPECT_EQ(d->texto(), c.canonico) << c.texto;
    }
}

TEST(Decimal, ValoresDeColumna) {
    EXPECT_EQ(Decimal::de(Valor::entero(1250, -2))->texto(), "12.5");
    EXPECT_EQ(Decimal::de(Valor::entero(-5, -2))->texto(), "-0.05");
    EXPECT_EQ(Decimal::de(Valor::entero(INT64_MIN, -4))->texto(), "-922337203685477.5808");
    EXPECT_EQ(Decimal::de(Valor::real(0.1))->texto(), "0.1");
    EXPECT_FALSE(Decimal::de(Valor::nulo()));
    EXPECT_FALSE(Decimal::de(Valor::texto("12")));
    EXPECT_FALSE(Decimal::de(Valor::real(1e300)));
}

TEST(Decimal, SumasExactasSinComaFlotante) {
    // A million amounts of 0.10 add up to exactly 100000, which doubles miss.
    autorep::conciliacion::Total t;
    const auto diezCentavos = Decimal::leer("0.10");
    for (int i = 0; i < 1000000; ++i) t.sumar(diezCentavos, false);
    EXPECT_EQ(t.suma.texto(), "100000");
    EXPECT_TRUE(t.exacto);
    t.sumar(std::nullopt, true);
    EXPECT_TRUE(t.exacto) << "NULL adds nothing";
    t.sumar(std::nullopt, false);
    EXPECT_FALSE(t.exacto) << "a value that cannot be added is said";

    // The largest amounts of 18 digits, many times, still fit.
    autorep::conciliacion::Total grande;
    for (int i = 0; i < 1000; ++i) grande.sumar(Decimal::de(Valor::entero(INT64_MAX, -2)), false);
    EXPECT_TRUE(grande.exacto);
    EXPECT_EQ(grande.suma.texto(), "92233720368547758070");
}

TEST(Decimal, ComparacionYDiferencia) {
    const auto a = *Decimal::leer("10.005"), b = *Decimal::leer("10.01");
    EXPECT_EQ(a.comparar(b), -1);
    EXPECT_EQ(b.comparar(a), 1);
    EXPECT_EQ(a.comparar(*Decimal::leer("10.0050")), 0);
    EXPECT_EQ(a.menos(b)->absoluto().texto(), "0.005");
    // Scales that cannot be matched: the integer parts decide, then the fractions.
    const auto grande = *Decimal::leer("199999999999999999999.999999999"), fina = *Decimal::leer("100000000000000000.000000000000000001");
    EXPECT_EQ(grande.comparar(fina), 1);
    EXPECT_EQ(fina.comparar(grande), -1);
    EXPECT_EQ(Decimal::leer("-199999999999999999999.999999999")->comparar(fina), -1);
}

}  // namespace
