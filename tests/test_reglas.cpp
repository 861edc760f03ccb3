// The document-type rules over one origin and one destination database.
#include <gtest/gtest.h>

#include <optional>

#include "db/consulta.h"
#include "reconcile/reglas.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"

using namespace autorep;
using prueba::Escenario;

namespace {

std::string numero(int tipo, long n) {
    std::string s = std::to_string(n);
    return std::string(prueba::tablaImporte(tipo).ancho - s.size(), '0') + s;
}

void enGrupos(const std::string& ruta, const std::vector<std::vector<std::string>>& grupos) {
    std::vector<std::string> todas;
    for (const auto& g : grupos) todas.insert(todas.end(), g.begin(), g.end());
    prueba::ejecutar(ruta, todas);
}

struct Caso {
    std::string que;
    int tipo;
    long id;
    std::string codigo;
    std::optional<std::string> linea;  // without the line end; nothing: no line
};

class Reglas : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        escenario = new Escenario;
        auto& e = *escenario;
        for (const auto& t : prueba::tablasImporte()) {
            const int T = t.tipo;
            const auto n = [T](long v) { return numero(T, v); };
            e.enOrigen({Escenario::documento(T, 10, "AB", n(123), "12.50"), Escenario::documento(T, 11, "AB", n(124), "99.00"),
                        Escenario::documento(T, 13, "DU", n(1), "5.00"), Escenario::documento(T, 14, "", "123", "7.25"),
                        Escenario::documento(T, 15, "A'B", n(2), "-1.10")});
            e.enDestino({Escenario::documento(T, 500, "AB", n(123), "12.5"), Escenario::documento(T, 501, "DU", n(1), "4.00"),
                         Escenario::documento(T, 502, "DU", n(1), "6.00"), Escenario::documento(T, 503, "", "123", "7.30"),
                         Escenario::documento(T, 504, "A'B", n(2), "-1.1")});
        }
        for (int T : {11, 13}) {
            const auto n = [](long v) { return numero(21, v); };
            enGrupos(e.rutaOrigen, {Escenario::conDetalle(T, 20, "E1", n(20), {"10.00", "2.50"}),
                                Escenario::conDetalle(T, 21, "E1", n(21), {}),
                                Escenario::conDetalle(T, 22, "E1", n(22), {"4.00"}),
                                Escenario::conDetalle(T, 24, "E1", n(24), {"1.00"})});
            enGrupos(e.rutaDestino, {Escenario::conDetalle(T, 600, "E1", n(20), {"12.50"}),
                                 Escenario::conDetalle(T, 601, "E1", n(21), {"3.00"}),
                                 Escenario::conDetalle(T, 602, "E1", n(24), {"1.00"}),
                                 Escenario::conDetalle(T, 603, "E1", n(24), {"2.00"})});
        }
        enGrupos(e.rutaOrigen, {Escenario::comprobante(30, "CD", "CP", "000030", {{"100.00", "0"}, {"0", "100.00"}}),
                            Escenario::comprobante(31, "CD", "CP", "000031", {{"5", "5"}}),
                            Escenario::comprobante(33, "CD", "CP", "000033", {{"50", "0"}, {"0", "50"}}),
                            Escenario::comprobante(34, "NC", "C'P", "000034", {{"8", "8"}})});
        enGrupos(e.rutaDestino, {Escenario::comprobante(700, "CD", "CP", "000030", {{"100.00", "0"}, {"0", "90.00"}}),
                             Escenario::comprobante(701, "CD", "CP", "000033", {}),
                             Escenario::comprobante(702, "NC", "C'P", "000034", {{"1", "2"}}),
                             Escenario::comprobante(703, "NC", "C'P", "000034", {{"30", "40"}})});
    }
    static void TearDownTestSuite() {
        delete escenario;
        escenario = nullptr;
    }

    // Applies one rule to one audit row and returns what the report received.
    std::string aplicar(int tipo, long id, const std::string& codigo, std::vector<std::string>* sentencias = nullptr) {
        bd::Conexion origen("DbCia"), destino("DBEnvio");
        origen.ponerParametro("Database", escenario->rutaOrigen);
        destino.ponerParametro("Database", escenario->rutaDestino);
        if (sentencias) {
            origen.ponerObservador([sentencias](const std::string& s) { sentencias->push_back(s); });
            destino.ponerObservador([sentencias](const std::string& s) { sentencias->push_back(s); });
        }
        const std::string ruta = escenario->dir.str() + "/reporte.txt";
        std::remove(ruta.c_str());
        {
            conciliacion::Reporte reporte(ruta);
            const conciliacion::Conteo conteo;
            conciliacion::Reglas reglas(origen, destino, regional, conteo);
            conciliacion::Resumen resumen;
            const auto fila = conciliacion::filaAuditoria(bd::Valor::fecha({2016, 10, 7}), bd::Valor::hora({10, 0, 0, 0}),
                                                          bd::Valor::entero(tipo),
                                                          bd::Valor::texto("I"), bd::Valor::entero(id),
                                                          bd::Valor::texto(codigo), regional);
            reglas.aplicar(fila, reporte, resumen);
            reporte.cerrar();
        }
        return prueba::contenido(ruta);
    }

    static Escenario* escenario;
    plataforma::Regional regional = prueba::regionalPrueba();
};
Escenario* Reglas::escenario = nullptr;

TEST_F(Reglas, CadaReglaConCadaDesenlace) {
    std::vector<Caso> casos;
    for (const auto& t : prueba::tablasImporte()) {
        const int T = t.tipo;
        const std::string tt = " (tipo " + std::to_string(T) + ")";
        const auto n = [T](long v) { return numero(T, v); };
        casos.push_back({"en ambos lados" + tt, T, 10, "AB" + n(123), "AB" + n(123) + ",07/10/2016,12.5,12.5"});
        casos.push_back({"falta en el destino" + tt, T, 11, "AB" + n(124), "AB" + n(124) + ",07/10/2016,99,No encontrado"});
        casos.push_back({"falta en el origen" + tt, T, 12, "AB" + n(125), std::nullopt});
        casos.push_back({"duplicado en el destino: la primera fila" + tt, T, 13, "DU" + n(1), "DU" + n(1) + ",07/10/2016,5,4"});
        casos.push_back({"codigo mas corto que el ancho" + tt, T, 14, "123", "123,07/10/2016,7.25,7.3"});
        casos.push_back({"comilla en el prefijo" + tt, T, 15, "A'B" + n(2), "A'B" + n(2) + ",07/10/2016,-1.1,-1.1"});
    }
    for (int T : {11, 13}) {
        const std::string tt = " (tipo " + std::to_string(T) + ")";
        const auto n = [](long v) { return numero(21, v); };
        casos.push_back({"suma en ambos lados" + tt, T, 20, "E1" + n(20), "E1" + n(20) + ",07/10/2016,12.5,12.5"});
        casos.push_back({"sin detalle en el origen" + tt, T, 21, "E1" + n(21), "E1" + n(21) + ",07/10/2016,,3"});
        casos.push_back({"sin documento en el destino" + tt, T, 22, "E1" + n(22), "E1" + n(22) + ",07/10/2016,4,"});
        casos.push_back({"ausente en ambos: igual da linea" + tt, T, 23, "E1" + n(23), "E1" + n(23) + ",07/10/2016,,"});
        casos.push_back({"duplicado en el destino: la suma de ambos" + tt, T, 24, "E1" + n(24), "E1" + n(24) + ",07/10/2016,1,3"});
    }
    casos.push_back({"comprobante en ambos", 1, 30, "CP000030", "CP000030,07/10/2016,100,100,100,90"});
    casos.push_back({"comprobante falta en el destino", 1, 31, "CP000031",
                     "CP000031,07/10/2016,31,CD ,No encontrado,No encontrado"});
    casos.push_back({"comprobante falta en el origen", 1, 32, "CP000032", std::nullopt});
    casos.push_back({"comprobante sin detalle en el destino", 1, 33, "CP000033", "CP000033,07/10/2016,50,50,,"});
    casos.push_back({"comprobante duplicado en el destino: el primer encabezado", 1, 34, "C'P000034",
                     "C'P000034,07/10/2016,8,8,1,2"});
    casos.push_back({"tipo sin regla", 2, 10, "AB000123", std::nullopt});

    for (const auto& c : casos) {
        const std::string esperado = c.linea ? *c.linea + "\r\n" : "";
        EXPECT_EQ(aplicar(c.tipo, c.id, c.codigo), esperado) << c.que;
    }
}

TEST_F(Reglas, TextosSqlEnviados) {
    struct {
        int tipo;
        std::string codigo;
        std::vector<std::string> sql;
    } casos[] = {
        {21, "AB000123",
         {"select FACO_TOTAL from FACTURAS_COMPRA where FACO_ID = 812",
          "SELECT FACO_TOTAL FROM FACTURAS_COMPRA WHERE PREF_PRE = 'AB' AND FACO_NUMERO = '000123'"}},
        {31, "AB00000123",
         {"select FACT_TOTAL from FACTURAS where FACT_ID = 812",
          "SELECT FACT_TOTAL FROM FACTURAS WHERE PREF_PRE = 'AB' AND FACT_NUMERO = '00000123'"}},
        {41, "X'Y000001",
         {"select NDCL_MONTO from NOTAS_DEBITO_CLIENTES where NDCL_ID = 812",
          "SELECT NDCL_MONTO from NOTAS_DEBITO_CLIENTES WHERE PREF_PRE = 'X''Y' AND NDCL_NUMERO = '000001'"}},
        {42, "AB000123",
         {"select NCCL_MONTO from NOTAS_CREDITO_CLIENTES where NCCL_ID = 812",
          "SELECT NCCL_MONTO from NOTAS_CREDITO_CLIENTES WHERE PREF_PRE = 'AB' AND NCCL_NUMERO = '000123'"}},
        {51, "AB000123",
         {"select NDPR_MONTO from NOTAS_DEBITO_PROVEEDOR where NDPR_ID = 812",
          "SELECT NDPR_MONTO from NOTAS_DEBITO_PROVEEDOR WHERE PREF_PRE = 'AB' AND NDPR_NUMERO = '000123'"}},
        {52, "AB000123",
         {"select NCPR_MONTO from NOTAS_CREDITO_PROVEEDOR where NCPR_ID = 812",
          "SELECT NCPR_MONTO from NOTAS_CREDITO_PROVEEDOR WHERE PREF_PRE = 'AB' AND NCPR_NUMERO = '000123'"}},
        {61, "123",
         {"select RECA_MONTO from RECIBOS_CAJA where RECA_ID = 812",
          "SELECT RECA_MONTO FROM RECIBOS_CAJA WHERE PREF_PRE = '' AND RECA_NUMERO = '123'"}},
        {62, "AB000123",
         {"select EGRE_MONTO from EGRESOS where EGRE_ID = 812",
          "SELECT EGRE_MONTO from EGRESOS WHERE PREF_PRE = 'AB' AND EGRE_NUMERO = '000123'"}},
        {11, "AB000123",
         {"select SUM(ENDE_TOTAL) from entradas_detalle where entr_id = 812",
          "SELECT SUM(ENDE_TOTAL) FROM ENTRADAS_DETALLE ED, ENTRADAS E WHERE E.ENTR_ID = ED.ENTR_ID AND PREF_PRE = 'AB' "
          "AND ENTR_NUMERO = '000123'"}},
        {13, "AB000123",
         {"select SUM(TRAS_TOTAL) from trasferencias_detalle where tran_id = 812",
          "SELECT SUM(TRAS_TOTAL) FROM TRASFERENCIAS_DETALLE TD, TRASFERENCIAS T WHERE T.TRAN_ID = TD.TRAN_ID AND "
          "PREF_PRE = 'AB' AND TRAN_NUMERO = '000123'"}},
    };
    // Document 812 exists in the origin for every amount type, so each rule reaches its destination query.
    std::vector<std::string> documentos;
    for (const auto& t : prueba::tablasImporte()) documentos.push_back(Escenario::documento(t.tipo, 812, "AB", "1", "1"));
    escenario->enOrigen(documentos);
    for (const auto& c : casos) {
        std::vector<std::string> sql;
        aplicar(c.tipo, 812, c.codigo, &sql);
        EXPECT_EQ(sql, c.sql) << "tipo " << c.tipo;
    }

    std::vector<std::string> sql;
    aplicar(1, 30, "CP000030", &sql);
    EXPECT_EQ(sql, (std::vector<std::string>{
                       "select * from comprobante_encabezado where enco_consec = 30",
                       "SELECT ENCO_CONSEC FROM COMPROBANTE_ENCABEZADO WHERE TICO_COD = 'CD ' AND PRCO_PREF = 'CP' AND "
                       "ENCO_NUMERO = '000030'",
                       "select SUM(CODE_DEBITO), SUM(CODE_CREDITO) from comprobante_detalle where enco_consec = 30",
                       "select SUM(CODE_DEBITO), SUM(CODE_CREDITO) from comprobante_detalle where enco_consec = 700"}));
}

TEST(PartirCodigo, PorElAnchoDelTipo) {
    using conciliacion::partirCodigo;
    struct {
        std::string codigo;
        std::size_t ancho;
        std::string prefijo, numero;
    } casos[] = {{"AB000123", 6, "AB", "000123"}, {"AB00000123", 8, "AB", "00000123"}, {"000123", 6, "", "000123"},
                 {"123", 6, "", "123"},           {"", 6, "", ""},                     {"A,\xF1" "000001", 6, "A,\xF1", "000001"}};
    for (const auto& c : casos) {
        const auto p = partirCodigo(c.codigo, c.ancho);
        EXPECT_EQ(p.prefijo, c.prefijo) << c.codigo;
        EXPECT_EQ(p.numero, c.numero) << c.codigo;
    }
}

}  // namespace
