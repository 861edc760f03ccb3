#include <gtest/gtest.h>

#include "lote/opciones_lote.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;
using lote::leerOpcionesLote;
using V = std::vector<std::string>;

namespace {

const plataforma::Fecha hoy{2024, 2, 10};
const V base = {"--origen", "srv", "--usuario", "admin", "--compania", "001", "--destino", "rep"};

V con(V extra) {
    V r = base;
    r.insert(r.end(), extra.begin(), extra.end());
    return r;
}

TEST(OpcionesLote, ValoresYOmisiones) {
    unsetenv("AUTOREP_CLAVE");
    unsetenv("AUTOREP_CLAVE_DESTINO");
    const auto o = leerOpcionesLote(base, hoy);
    EXPECT_EQ(o.origen, "srv");
    EXPECT_EQ(o.usuarioDestino, "admin");
    EXPECT_EQ(o.companiaDestino, "001");
    EXPECT_EQ(o.tipo, "21");
    EXPECT_EQ(o.desde, (plataforma::Fecha{2024, 2, 1}));
    EXPECT_EQ(o.hasta, (plataforma::Fecha{2024, 2, 29}));
    EXPECT_FALSE(o.directorio.has_value());

    const auto o2 = leerOpcionesLote(con({"--tipo=31", "--desde", "2016-10-01", "--hasta=2016-10-31", "--clave=x",
                                          "--usuario-destino", "otro", "--compania-destino=002", "--directorio", "/d"}),
                                     hoy);
    EXPECT_EQ(o2.tipo, "31");
    EXPECT_EQ(o2.desde, (plataforma::Fecha{2016, 10, 1}));
    EXPECT_EQ(o2.hasta, (plataforma::Fecha{2016, 10, 31}));
    EXPECT_EQ(o2.clave, "x");
    EXPECT_EQ(o2.claveDestino, "x") << "the destination password defaults to the origin's";
    EXPECT_EQ(o2.usuarioDestino, "otro");
    EXPECT_EQ(o2.companiaDestino, "002");
    EXPECT_EQ(o2.directorio, "/d");
}

TEST(OpcionesLote, ClavesDelEntorno) {
    prueba::VariableEntorno clave("AUTOREP_CLAVE", "de-entorno");
    {
        const auto o = leerOpcionesLote(base, hoy);
        EXPECT_EQ(o.clave, "de-entorno");
        EXPECT_EQ(o.claveDestino, "de-entorno");
    }
    prueba::VariableEntorno destino("AUTOREP_CLAVE_DESTINO", "otra");
    EXPECT_EQ(leerOpcionesLote(base, hoy).claveDestino, "otra");
    EXPECT_EQ(leerOpcionesLote(con({"--clave", "opcion"}), hoy).clave, "opcion");
}

TEST(OpcionesLote, ErroresQueNombranLaOpcion) {
    struct {
        V argumentos;
        const char* nombra;
    } casos[] = {
        {{"--origen", "srv"}, "--usuario"},
        {con({"--desconocida=1"}), "--desconocida"},
        {con({"--desde", "2016-13-01"}), "--desde"},
        {con({"--hasta", "31/10/2016"}), "--hasta"},
        {con({"--desde", "2023-02-29"}), "--desde"},
        {con({"--tipo", "21 OR 1=1"}), "--tipo"},
        {con({"--tipo", ""}), "--tipo"},
        {con({"--tipo", "abc"}), "--tipo"},
        {con({"--tipo", "99999999999999999999"}), "--tipo"},
        {con({"--tipo"}), "--tipo"},
        {con({"--origen", "otro"}), "--origen"},
        {con({"suelto"}), "suelto"},
        {{"--origen", "", "--usuario", "a", "--compania", "1", "--destino", "d"}, "--origen"},
        {con({"--tipo", "21,,31"}), "--tipo"},
        {con({"--tipo", "21,todos"}), "--tipo"},
        {{"--origen", "s", "--usuario", "a", "--compania", "001,", "--destino", "d"}, "--compania"},
        {{"--origen", "s", "--usuario", "a", "--compania", "001,002", "--destino", "d", "--compania-destino", "101"},
         "--compania-destino"},
        {{"--origen", "s", "--usuario", "a", "--compania", "todas", "--destino", "d", "--compania-destino", "101"},
         "--compania-destino"},
        {con({"--compania-destino", "003=103"}), "--compania-destino"},
        {con({"--compania-destino", "001="}), "--compania-destino"},
        {con({"--compania-destino", "001=101,001=102"}), "--compania-destino"},
        {con({"--tipo", "21,31", "--paralelo", "0"}), "--paralelo"},
        {con({"--tipo", "21,31", "--margen-minutos", "-5"}), "--margen-minutos"},
        {con({"--tipo", "21,31", "--tolerancia", "0,5"}), "--tolerancia"},
        {con({"--tipo", "21,31", "--tolerancia", "-1"}), "--tolerancia"},
        {con({"--tipo", "21,31", "--tolerancia", "1."}), "--tolerancia"},
        {con({"--tolerancia", "1"}), "--tolerancia"},
        {con({"--revision", ""}), "--revision"},
        {con({"--tipo", "21,31", "--conservar", "0"}), "--conservar"},
        {con({"--tipo", "21,31", "--conservar", "-1"}), "--conservar"},
        {con({"--tipo", "21,31", "--conservar", "2.5"}), "--conservar"},
        {con({"--tipo", "21,31", "--conservar", ""}), "--conservar"},
        {con({"--conservar", "5"}), "--conservar"},
        {con({"--tipo", "21,31", "--desde", "2016-10-31", "--hasta", "2016-10-01"}), "--desde"},
        {con({"--comparar-con", "r"}), "--comparar-con"},
        {con({"--sin-comparar"}), "--sin-comparar"},
        {con({"--tipo", "21,31", "--comparar-con", "r", "--sin-comparar"}), "--sin-comparar"},
        {con({"--tipo", "21,31", "--comparar-con", ""}), "--comparar-con"},
        {{"--reverificar", "", "--usuario", "a"}, "--reverificar"},
        {{"--reverificar", "r"}, "--usuario"},
        // What a re-check takes from the revision it checks cannot be given.
        {{"--reverificar", "r", "--usuario", "a", "--compania", "001"}, "--compania"},
        {{"--reverificar", "r", "--usuario", "a", "--tipo", "21"}, "--tipo"},
        {{"--reverificar", "r", "--usuario", "a", "--desde", "2016-10-01"}, "--desde"},
        {{"--reverificar", "r", "--usuario", "a", "--tolerancia", "1"}, "--tolerancia"},
        {{"--reverificar", "r", "--usuario", "a", "--sin-comparar"}, "--sin-comparar"},
        // What the user typed comes back as typed (Windows-1252), not converted twice.
        {con({"--desde", "a\xF1o-01-01"}), "\"a\xF1o-01-01\""},
        {con({"--compania-destino", "Compa\xF1\xED" "a=1"}), "\"Compa\xF1\xED" "a\""},
    };
    for (const auto& c : casos) {
        try {
            leerOpcionesLote(c.argumentos, hoy);
            ADD_FAILURE() << "accepted: " << c.nombra;
        } catch (const lote::ErrorOpciones& e) {
            EXPECT_NE(std::string(e.what()).find(c.nombra), std::string::npos) << e.what();
        }
    }
}

TEST(OpcionesLote, AyudaYVersionNoPidenNadaMas) {
    EXPECT_TRUE(leerOpcionesLote({"--ayuda"}, hoy).ayuda);
    EXPECT_TRUE(leerOpcionesLote({"-h"}, hoy).ayuda);
    EXPECT_TRUE(leerOpcionesLote({"--version"}, hoy).version);
}

TEST(OpcionesLote, ListasTodasYTodosHacenUnaRevision) {
    struct {
        V extra;
        V companias;
        bool todas;
        V tipos;
        bool todos;
        bool revision;
    } casos[] = {
        {{}, {"001"}, false, {"21"}, false, false},
        {{"--tipo", "31"}, {"001"}, false, {"31"}, false, false},
        {{"--tipo", "31,1,31"}, {"001"}, false, {"31", "1"}, false, true},
        {{"--tipo", "todos"}, {"001"}, false, {}, true, true},
        {{"--revision", "/r"}, {"001"}, false, {"21"}, false, true},
    };
    for (const auto& c : casos) {
        const auto o = leerOpcionesLote(con(c.extra), hoy);
        EXPECT_EQ(o.companias, c.companias);
        EXPECT_EQ(o.todasLasCompanias, c.todas);
        EXPECT_EQ(o.tipos, c.tipos);
        EXPECT_EQ(o.todosLosTipos, c.todos);
        EXPECT_EQ(o.esRevision(), c.revision) << (c.extra.empty() ? "" : c.extra[0]);
    }
    const auto todas = leerOpcionesLote({"--origen", "s", "--usuario", "a", "--compania", "todas", "--destino", "d",
                                         "--compania-destino", "001=101,002=102", "--paralelo", "3",
                                         "--margen-minutos", "90", "--tolerancia", "0.05"},
                                        hoy);
    EXPECT_TRUE(todas.todasLasCompanias);
    EXPECT_TRUE(todas.esRevision());
    EXPECT_EQ(todas.destinos, (std::map<std::string, std::string>{{"001", "101"}, {"002", "102"}}));
    EXPECT_EQ(todas.paralelo, 3u);
    EXPECT_EQ(todas.margenMinutos, 90);
    EXPECT_EQ(todas.tolerancia, "0.05");
    EXPECT_FALSE(todas.conservar) << "keeps every revision unless told";
    EXPECT_EQ(leerOpcionesLote(con({"--revision", "/r", "--conservar=30"}), hoy).conservar, 30u);
    const auto pares = leerOpcionesLote(con({"--compania-destino", "001=101"}), hoy);
    EXPECT_EQ(pares.companiaDestino, "101") << "a pair for the one company is its destination";
}

}  // namespace
