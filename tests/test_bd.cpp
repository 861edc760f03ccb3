// The database layer against real embedded Firebird databases.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "db/consulta.h"
#include "db/error_bd.h"
#include "platform/regional.h"
#include "reconcile/importe.h"
#include "tests/apoyo/base_prueba.h"

using namespace autorep;
using autorep::prueba::DirectorioTemporal;

namespace {

class BaseEmbebida : public ::testing::Test {
protected:
    void SetUp() override {
        ruta = dir.str() + "/valores.fdb";
        prueba::crearBase(ruta,
                          "CREATE TABLE V (ID INTEGER, N2 NUMERIC(15,2), N4 NUMERIC(18,4), S SMALLINT, "
                          "NS NUMERIC(4,1), B BIGINT, D DOUBLE PRECISION, F FLOAT, C CHAR(5), VC VARCHAR(20), "
                          "FE DATE, HO TIME, TS TIMESTAMP, BL BLOB SUB_TYPE 1);");
        conexion.ponerParametro("Database", ruta);
        conexion.ponerParametro("User_Name", "SYSDBA");
    }
    DirectorioTemporal dir;
    std::string ruta;
    bd::Conexion conexion{"Prueba"};
};

TEST_F(BaseEmbebida, ConversionesDeValores) {
    prueba::ejecutar(ruta, {
        "INSERT INTO V VALUES (1, 12.50, -3.1000, -7, 0.5, 9223372036854775807, 0.1, 2.5, 'ab', 'x''y', "
        "'2016-10-07', '13:05:09.1234', '2024-02-29 23:59:59.999', 'texto largo')",
        "INSERT INTO V VALUES (2, -0.50, 0, 0, -0.5, -9223372036854775808, -1e20, 0, '', '', NULL, NULL, NULL, NULL)",
        "INSERT INTO V (ID) VALUES (3)",
        "INSERT INTO V (ID, VC) VALUES (4, '\xF1\xE1\x80\xFF')",
    });
    bd::Consulta q(conexion, "Q");
    q.ponerTexto("select * from V order by ID");
    q.abrir();
    ASSERT_EQ(q.cantidad(), 4u);

    plataforma::Regional coma;
    coma.separadorDecimal = ",";
    auto txt = [&](const char* col) { return conciliacion::textoCampo(q.campo(col), coma); };

    // Row 1
    EXPECT_EQ(q.campo("N2").entero(), 1250);
    EXPECT_EQ(q.campo("N2").escala(), -2);
    EXPECT_EQ(txt("N2"), "12,5");
    EXPECT_EQ(txt("N4"), "-3,1");
    EXPECT_EQ(txt("S"), "-7");
    EXPECT_EQ(txt("NS"), "0,5");
    EXPECT_EQ(txt("B"), "9223372036854775807");
    EXPECT_EQ(txt("D"), "0,1");
    EXPECT_EQ(txt("F"), "2,5");
    EXPECT_EQ(q.campo("C").bytes(), "ab   ") << "CHAR keeps its trailing blanks";
    EXPECT_EQ(q.campo("VC").bytes(), "x'y");
    EXPECT_EQ(q.campo("FE").momento().fecha, (plataforma::Fecha{2016, 10, 7}));
    EXPECT_EQ(q.campo("HO").momento().hora, (plataforma::Hora{13, 5, 9, 123}));
    EXPECT_EQ(q.campo("TS").momento(), (plataforma::FechaHora{{2024, 2, 29}, {23, 59, 59, 999}}));
    EXPECT_EQ(q.campo("BL").bytes(), "texto largo");
    EXPECT_EQ(q.campo("id").comoEntero(), 1) << "columns by name ignore letter case";

    q.siguiente();  // Row 2
    EXPECT_EQ(txt("N2"), "-0,5");
    EXPECT_EQ(txt("N4"), "0");
    EXPECT_EQ(txt("B"), "-9223372036854775808");
    EXPECT_EQ(txt("D"), "-100000000000000000000");
    EXPECT_EQ(q.campo("C").bytes(), "     ");
    EXPECT_EQ(q.campo("VC").bytes(), "");
    EXPECT_FALSE(q.campo("VC").esNulo()) << "empty is not NULL";
    EXPECT_TRUE(q.campo("FE").esNulo());

    q.siguiente();  // Row 3: NULLs
    EXPECT_TRUE(q.campo("N2").esNulo());
    EXPECT_EQ(txt("N2"), "");
    EXPECT_TRUE(q.campo("C").esNulo());

    q.siguiente();  // Row 4: bytes 0x80-0xFF come back as stored
    EXPECT_EQ(q.campo("VC").bytes(), "\xF1\xE1\x80\xFF");

    q.siguiente();
    EXPECT_TRUE(q.fin());
}

TEST_F(BaseEmbebida, CursorPrimeroUltimoSiguienteYCantidad) {
    prueba::ejecutar(ruta, {"INSERT INTO V (ID) VALUES (1)", "INSERT INTO V (ID) VALUES (2)", "INSERT INTO V (ID) VALUES (3)"});
    bd::Consulta q(conexion, "Q");
    q.ponerTexto("select ID from V order by ID");
    q.abrir();
    q.ultimo();
    EXPECT_EQ(q.campo(0).comoEntero(), 3);
    EXPECT_EQ(q.cantidad(), 3u);
    q.primero();
    EXPECT_EQ(q.campo(0).comoEntero(), 1);
    q.ponerTexto("select ID from V where ID > 10");
    EXPECT_FALSE(q.activa()) << "replacing the text closes the query";
    q.abrir();
    EXPECT_TRUE(q.vacia());
    EXPECT_TRUE(q.fin());
}

TEST_F(BaseEmbebida, SoloLee) {
    prueba::ejecutar(ruta, {"INSERT INTO V (ID, VC) VALUES (1, 'antes')"});
    for (const char* sql : {"UPDATE V SET VC = 'despues'", "INSERT INTO V (ID) VALUES (2)", "DELETE FROM V",
                            "EXECUTE BLOCK AS BEGIN UPDATE V SET VC = 'despues'; END",
                            "CREATE TABLE W (A INTEGER)"}) {
        bd::Consulta q(conexion, "Q");
        q.ponerTexto(sql);
        EXPECT_THROW(q.abrir(), bd::ErrorBaseDatos) << sql;
    }
    conexion.desconectar();
    bd::Consulta q(conexion, "Q");
    q.ponerTexto("select count(*), max(VC) from V");
    q.abrir();
    EXPECT_EQ(q.campo(0).comoEntero(), 1);
    EXPECT_EQ(q.campo(1).bytes(), "antes");
}

TEST_F(BaseEmbebida, CancelarDesdeOtroHiloCortaLaSentenciaEnCurso) {
    conexion.conectar();
    conexion.cancelar();  // nothing running: nothing happens
    std::thread otro([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        conexion.cancelar();
    });
    const auto inicio = std::chrono::steady_clock::now();
    try {
        // Billions of rows to count, far longer than the test would wait.
        conexion.consultar("SELECT COUNT(*) FROM RDB$TYPES A, RDB$TYPES B, RDB$TYPES C, RDB$TYPES D");
        ADD_FAILURE() << "the statement ran to its end";
    } catch (const bd::ErrorBaseDatos& e) {
        EXPECT_NE(std::string(e.what()).find("cancelled"), std::string::npos) << e.what();
    }
    otro.join();
    EXPECT_LT(std::chrono::steady_clock::now() - inicio, std::chrono::seconds(60)) << "it did not wait for the end";
    EXPECT_EQ(conexion.consultar("select 7 from RDB$DATABASE").filas.at(0).at(0).comoEntero(), 7)
        << "the connection still works";
}

TEST_F(BaseEmbebida, DesconectarCierraLasConsultasYAbrirReconecta) {
    bd::Consulta q(conexion, "Q");
    q.ponerTexto("select 1 from RDB$DATABASE");
    q.abrir();
    EXPECT_TRUE(conexion.conectada());
    conexion.desconectar();
    EXPECT_FALSE(conexion.conectada());
    EXPECT_FALSE(q.activa());
    q.abrir();
    EXPECT_TRUE(conexion.conectada()) << "opening a query connects with the current parameters";
}

TEST_F(BaseEmbebida, ParametroCambiadoConectadoValeEnLaProximaConexion) {
    conexion.conectar();
    conexion.ponerParametro("Database", dir.str() + "/no-existe.fdb");
    bd::Consulta q(conexion, "Q");
    q.ponerTexto("select 1 from RDB$DATABASE");
    EXPECT_NO_THROW(q.abrir());
    conexion.desconectar();
    EXPECT_THROW(conexion.conectar(), bd::ErrorBaseDatos);
}

TEST_F(BaseEmbebida, ElRolDeLasConexionesDeCompaniaNoImpideConectar) {
    conexion.ponerParametro("RoleName", "RoleName");
    conexion.ponerParametro("SQLDialect", "3");
    EXPECT_NO_THROW(conexion.conectar());
}

TEST(ConexionEmbebida, ArchivoInexistenteDaElTextoDeEntradaSalidaConLaRutaEntreComillas) {
    DirectorioTemporal dir;
    const std::string ruta = dir.str() + "/no/esta.fdb";
    bd::Conexion c("C");
    c.ponerParametro("Database", ruta);
    try {
        c.conectar();
        FAIL() << "connected to a missing database";
    } catch (const bd::ErrorBaseDatos& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("I/O error"), std::string::npos) << m;
        EXPECT_NE(m.find("\"" + ruta + "\""), std::string::npos) << m;
        EXPECT_NE(m.find("\r\n"), std::string::npos) << "every line of the status: " << m;
    }
    EXPECT_FALSE(c.conectada());
}

}  // namespace
