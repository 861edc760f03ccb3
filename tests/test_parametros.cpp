#include <gtest/gtest.h>

#include "db/parametros.h"

using autorep::bd::ListaParametros;

namespace {

struct Paso {
    const char* nombre;
    const char* valor;
};
struct Caso {
    const char* que;
    std::vector<Paso> pasos;
    std::vector<std::string> lineas;
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.que; }

class Parametros : public ::testing::TestWithParam<Caso> {};

TEST_P(Parametros, LasLineasQuedanComoSeEsperan) {
    ListaParametros p;
    for (const auto& paso : GetParam().pasos) p.poner(paso.nombre, paso.valor);
    EXPECT_EQ(p.lineas(), GetParam().lineas);
}

INSTANTIATE_TEST_SUITE_P(
    Tabla, Parametros,
    ::testing::Values(
        Caso{"un valor nuevo se agrega al final", {{"Database", "a"}, {"User_Name", "u"}}, {"Database=a", "User_Name=u"}},
        Caso{"el nombre se busca sin mayusculas y se reemplaza en su lugar con la grafia del que lo pone",
             {{"Database", "a"}, {"Password", "x"}, {"SQLDialect", "3"}, {"password", "y"}},
             {"Database=a", "password=y", "SQLDialect=3"}},
        Caso{"un valor vacio quita la linea", {{"User_Name", "u"}, {"Password", "x"}, {"PASSWORD", ""}}, {"User_Name=u"}},
        Caso{"un valor vacio de un nombre ausente no agrega nada", {{"Password", ""}}, {}},
        Caso{"volver a poner un nombre quitado lo agrega al final",
             {{"A", "1"}, {"B", "2"}, {"a", ""}, {"A", "3"}}, {"B=2", "A=3"}},
        Caso{"el valor puede llevar signos igual", {{"Database", "srv:/x=y"}}, {"Database=srv:/x=y"}}),
    [](const auto& info) { return "caso" + std::to_string(info.index); });

TEST(Parametros, LaLecturaIgnoraMayusculasYTomaLaPrimera) {
    ListaParametros p;
    p.poner("User_Name", "u");
    EXPECT_EQ(p.valor("user_name"), "u");
    EXPECT_EQ(p.valor("USER_NAME"), "u");
    EXPECT_FALSE(p.valor("Password").has_value());
}

}  // namespace

#include "db/sql.h"

namespace {

TEST(Citar, ComillasDobladasYNadaMas) {
    struct {
        const char* texto;
        const char* literal;
    } casos[] = {{"", "''"}, {"O'Brien''", "'O''Brien'''''"}, {"a,b\\c", "'a,b\\c'"}, {"\xD1", "'\xD1'"}};
    for (const auto& c : casos) EXPECT_EQ(autorep::bd::citar(c.texto), c.literal) << c.texto;
}

}  // namespace
