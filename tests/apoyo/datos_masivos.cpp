#include "tests/apoyo/datos_masivos.h"

namespace autorep::prueba {

namespace {

// A block that runs `cuerpo` for I from 1 to N, with T the type of row I.
std::string bloque(long n, int soloTipo, const std::string& cuerpo) {
    const std::string tipo = soloTipo ? std::to_string(soloTipo) : "DECODE(MOD(I, 5), 0, 21, 1, 31, 2, 61, 3, 11, 1)";
    return "EXECUTE BLOCK AS DECLARE I INTEGER = 1; DECLARE T INTEGER; DECLARE C VARCHAR(20); BEGIN WHILE (I <= " +
           std::to_string(n) + ") DO BEGIN T = " + tipo + "; "
           "C = DECODE(T, 31, 'FV' || LPAD(I, 8, '0'), 21, 'FC' || LPAD(I, 6, '0'), 61, 'RC' || LPAD(I, 6, '0'), "
           "11, 'EN' || LPAD(I, 6, '0'), 'CP' || LPAD(I, 6, '0')); " +
           cuerpo + " I = I + 1; END END";
}

}  // namespace

void refrescarEstadisticas(const Escenario& e) {
    const std::string estadisticas =
        "EXECUTE BLOCK AS DECLARE N CHAR(63); BEGIN FOR SELECT RDB$INDEX_NAME FROM RDB$INDICES "
        "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 INTO :N DO "
        "EXECUTE STATEMENT 'SET STATISTICS INDEX \"' || TRIM(:N) || '\"'; END";
    e.enOrigen({estadisticas});
    e.enDestino({estadisticas});
}

void llenar(Escenario& e, long n, int soloTipo) {
    e.enOrigen({bloque(n, soloTipo,
                       "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, "
                       "AUDI_OPER, AUDI_COD, AUDI_ENVIO) VALUES (:I, 'ADMIN', DATEADD(MOD(:I, 31) DAY TO DATE '2016-10-01'), "
                       "TIME '08:00:00', :T, :I, IIF(MOD(:I, 7) = 0, 'U', 'I'), :C, 'N');"
                       "IF (MOD(I, 50) <> 0) THEN BEGIN "
                       "  IF (T = 21) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I, SUBSTRING(:C FROM 1 FOR 2), RIGHT(:C, 6), :I * 1.25);"
                       "  IF (T = 31) THEN INSERT INTO FACTURAS VALUES (:I, 'FV', RIGHT(:C, 8), :I * 2.5);"
                       "  IF (T = 61) THEN INSERT INTO RECIBOS_CAJA VALUES (:I, 'RC', RIGHT(:C, 6), :I * 0.75);"
                       "  IF (T = 11) THEN BEGIN INSERT INTO ENTRADAS VALUES (:I, 'EN', RIGHT(:C, 6));"
                       "    INSERT INTO ENTRADAS_DETALLE VALUES (:I * 2, :I, :I * 0.5);"
                       "    INSERT INTO ENTRADAS_DETALLE VALUES (:I * 2 + 1, :I, 3.25); END "
                       "  IF (T = 1) THEN BEGIN INSERT INTO COMPROBANTE_ENCABEZADO VALUES (:I, 'CD', 'CP', RIGHT(:C, 6), NULL);"
                       "    INSERT INTO COMPROBANTE_DETALLE VALUES (:I * 2, :I, :I, 0);"
                       "    INSERT INTO COMPROBANTE_DETALLE VALUES (:I * 2 + 1, :I, 0, :I); END "
                       "END")});
    const std::string destino =
        "IF (MOD(I, 20) <> 0) THEN BEGIN "
        "  IF (T = 21) THEN INSERT INTO FACTURAS_COMPRA VALUES (:I + %OFS%, 'FC', RIGHT(:C, 6), IIF(MOD(:I, 30) = 0, 1, :I * 1.25));"
        "  IF (T = 31) THEN INSERT INTO FACTURAS VALUES (:I + %OFS%, 'FV', RIGHT(:C, 8), IIF(MOD(:I, 30) = 0, 1, :I * 2.5));"
        "  IF (T = 61) THEN INSERT INTO RECIBOS_CAJA VALUES (:I + %OFS%, 'RC', RIGHT(:C, 6), :I * 0.75);"
        "  IF (T = 11) THEN BEGIN INSERT INTO ENTRADAS VALUES (:I + %OFS%, 'EN', RIGHT(:C, 6));"
        "    INSERT INTO ENTRADAS_DETALLE VALUES (:I * 2 + %OFS%, :I + %OFS%, :I * 0.5);"
        "    INSERT INTO ENTRADAS_DETALLE VALUES (:I * 2 + 1 + %OFS%, :I + %OFS%, IIF(MOD(:I, 30) = 0, 1, 3.25)); END "
        "  IF (T = 1) THEN BEGIN INSERT INTO COMPROBANTE_ENCABEZADO VALUES (:I + %OFS%, 'CD', 'CP', RIGHT(:C, 6), NULL);"
        "    INSERT INTO COMPROBANTE_DETALLE VALUES (:I * 2 + %OFS%, :I + %OFS%, :I, 0);"
        "    INSERT INTO COMPROBANTE_DETALLE VALUES (:I * 2 + 1 + %OFS%, :I + %OFS%, 0, IIF(MOD(:I, 30) = 0, 1, :I)); END "
        "END";
    auto conDesplazamiento = [&](const std::string& texto, long ofs) {
        std::string r = texto;
        for (std::size_t p; (p = r.find("%OFS%")) != std::string::npos;) r.replace(p, 5, std::to_string(ofs));
        return r;
    };
    e.enDestino({bloque(n, soloTipo, conDesplazamiento(destino, 10 * n)),
                 // A second copy of one document in 97.
                 bloque(n, soloTipo, "IF (MOD(I, 97) = 0) THEN BEGIN " + conDesplazamiento(destino, 30 * n) + " END")});
    refrescarEstadisticas(e);
}

}  // namespace autorep::prueba
