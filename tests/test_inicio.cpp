#include <gtest/gtest.h>

#include "app/clave.h"
#include "app/inicio.h"
#include "db/error_bd.h"
#include "tests/apoyo/base_prueba.h"

using namespace autorep;
using plataforma::FechaHora;

namespace {

TEST(Inicio, RangoDelMesActual) {
    struct {
        plataforma::Fecha hoy;
        FechaHora inicio, fin;
    } casos[] = {
        {{2016, 1, 31}, {{2016, 1, 1}, {0, 0, 0, 0}}, {{2016, 1, 31}, {23, 59, 59, 999}}},
        {{2024, 2, 10}, {{2024, 2, 1}, {0, 0, 0, 0}}, {{2024, 2, 29}, {23, 59, 59, 999}}},
        {{2023, 2, 28}, {{2023, 2, 1}, {0, 0, 0, 0}}, {{2023, 2, 28}, {23, 59, 59, 999}}},
        {{1900, 2, 1}, {{1900, 2, 1}, {0, 0, 0, 0}}, {{1900, 2, 28}, {23, 59, 59, 999}}},
        {{2000, 2, 1}, {{2000, 2, 1}, {0, 0, 0, 0}}, {{2000, 2, 29}, {23, 59, 59, 999}}},
        {{2016, 12, 15}, {{2016, 12, 1}, {0, 0, 0, 0}}, {{2016, 12, 31}, {23, 59, 59, 999}}},
    };
    for (const auto& c : casos) {
        const plataforma::RelojFijo reloj({c.hoy, {10, 30, 0, 0}});
        const auto rango = app::rangoDelMesActual(reloj);
        EXPECT_EQ(rango.inicio, c.inicio) << c.hoy.anio << "-" << c.hoy.mes;
        EXPECT_EQ(rango.fin, c.fin) << c.hoy.anio << "-" << c.hoy.mes;
    }
}

TEST(Inicio, IngresoPorArgumentosConectaConElUsuarioTalCualYLoGuardaEnMayusculas) {
    prueba::DirectorioTemporal dir;
    prueba::crearGeneral(dir.str());
    bd::Conexion DbGeneral("DbGeneral");
    const app::ArgumentosInicio argumentos{dir.str(), "admin", "s3creta", "001"};
    const auto v = app::ingresarPorArgumentos(DbGeneral, argumentos);
    EXPECT_TRUE(DbGeneral.conectada());
    EXPECT_EQ(DbGeneral.parametros().valor("Database"), dir.str() + "/datos/general.fdb");
    EXPECT_EQ(DbGeneral.parametros().valor("User_Name"), "admin");
    EXPECT_EQ(DbGeneral.parametros().valor("password"), "s3creta");
    EXPECT_EQ(v.UsuarioOrigen, "ADMIN");
    EXPECT_EQ(v.ClaveOrigen, app::Encriptar("s3creta"));
    EXPECT_EQ(v.ServidorOrigen, dir.str());
    EXPECT_TRUE(v.ServidorDestino.empty() && v.UsuarioDestino.empty() && v.ClaveDestino.empty());
}

TEST(Inicio, UnaClaveVaciaQuitaElParametro) {
    prueba::DirectorioTemporal dir;
    prueba::crearGeneral(dir.str());
    bd::Conexion DbGeneral("DbGeneral");
    DbGeneral.ponerParametro("password", "vieja");
    app::ingresarPorArgumentos(DbGeneral, {dir.str(), "admin", "", "001"});
    EXPECT_FALSE(DbGeneral.parametros().valor("password").has_value());
}

TEST(Inicio, UnIngresoFallidoNoGuardaNadaYLaConexionQuedaDesconectada) {
    prueba::DirectorioTemporal dir;
    bd::Conexion DbGeneral("DbGeneral");
    EXPECT_THROW(app::ingresarPorArgumentos(DbGeneral, {dir.str(), "admin", "x", "001"}), bd::ErrorBaseDatos);
    EXPECT_FALSE(DbGeneral.conectada());
}

}  // namespace
