#include "tests/apoyo/escenario.h"

#include <filesystem>
#include <stdexcept>

namespace autorep::prueba {

const std::vector<TablaImporte>& tablasImporte() {
    static const std::vector<TablaImporte> t = {
        {21, "FACTURAS_COMPRA", "FACO_ID", "FACO_NUMERO", "FACO_TOTAL", 6},
        {31, "FACTURAS", "FACT_ID", "FACT_NUMERO", "FACT_TOTAL", 8},
        {41, "NOTAS_DEBITO_CLIENTES", "NDCL_ID", "NDCL_NUMERO", "NDCL_MONTO", 6},
        {42, "NOTAS_CREDITO_CLIENTES", "NCCL_ID", "NCCL_NUMERO", "NCCL_MONTO", 6},
        {51, "NOTAS_DEBITO_PROVEEDOR", "NDPR_ID", "NDPR_NUMERO", "NDPR_MONTO", 6},
        {52, "NOTAS_CREDITO_PROVEEDOR", "NCPR_ID", "NCPR_NUMERO", "NCPR_MONTO", 6},
        {61, "RECIBOS_CAJA", "RECA_ID", "RECA_NUMERO", "RECA_MONTO", 6},
        {62, "EGRESOS", "EGRE_ID", "EGRE_NUMERO", "EGRE_MONTO", 6},
    };
    return t;
}

const TablaImporte& tablaImporte(int tipo) {
    for (const auto& t : tablasImporte())
        if (t.tipo == tipo) return t;
    throw std::invalid_argument("no amount table for type " + std::to_string(tipo));
}

namespace {
std::string q(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        r += c;
        if (c == '\'') r += '\'';
    }
    return r + "'";
}
std::string q(const std::optional<std::string>& s) { return s ? q(*s) : "NULL"; }

bool contiene(const std::string& texto, const std::string& parte) { return texto.find(parte) != std::string::npos; }

}  // namespace

std::vector<std::string> tablaRedefinida(const std::string& tabla, const std::vector<Columna>& columnas) {
    std::vector<std::string> creacion, resto;
    for (const auto& s : sentenciasDeScript(esquemaCompania())) {
        if (contiene(s, "CREATE TABLE " + tabla + " (")) creacion.push_back(s);
        else if (contiene(s, " ON " + tabla + " (") || contiene(s, " ON " + tabla + " TO ")) resto.push_back(s);
    }
    if (creacion.size() != 1) throw std::invalid_argument("no table " + tabla + " in the company schema");
    std::string crear;
    std::size_t cambiadas = 0;
    std::size_t inicio = 0;
    const std::string& original = creacion.front();
    while (inicio < original.size()) {
        std::size_t fin = original.find('\n', inicio);
        if (fin == std::string::npos) fin = original.size();
        std::string linea = original.substr(inicio, fin - inicio);
        const std::size_t p = linea.find_first_not_of(' ');
        for (const auto& c : columnas) {
            if (p != std::string::npos && linea.compare(p, c.nombre.size() + 1, c.nombre + " ") == 0) {
                const bool coma = !linea.empty() && linea.back() == ',';
                linea = "  " + c.nombre + " " + c.declaracion + (coma ? "," : "");
                ++cambiadas;
            }
        }
        crear += linea + "\n";
        inicio = fin + 1;
    }
    if (cambiadas != columnas.size()) throw std::invalid_argument("a column not in " + tabla);
    std::vector<std::string> r = {"DROP TABLE " + tabla, crear};
    r.insert(r.end(), resto.begin(), resto.end());
    return r;
}

void Escenario::redefinirEnOrigen(const std::string& tabla, const std::vector<Columna>& columnas) const {
    ejecutarConfirmando(rutaOrigen, tablaRedefinida(tabla, columnas));
}

void Escenario::redefinirEnDestino(const std::string& tabla, const std::vector<Columna>& columnas) const {
    ejecutarConfirmando(rutaDestino, tablaRedefinida(tabla, columnas));
}

Escenario::Escenario(const std::string& carpeta) : carpeta_(carpeta) {
    rutaGeneral = crearGeneral(servidorOrigen());
    rutaOrigen = crearCompania(servidorOrigen(), "001");
    rutaDestino = crearCompania(servidorDestino(), "002");
    std::filesystem::create_directories(aplicacion());
    std::filesystem::permissions(aplicacion(), std::filesystem::perms::all);
    ejecutar(rutaGeneral, {"INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('001', 'Empresa Uno')",
                           "INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('002', 'Empresa Dos')",
                           "INSERT INTO USUARIO VALUES ('ADMIN', 'Administrador')"});
    enOrigen({"INSERT INTO SUCURSALES VALUES (1, 'Centro', 'Calle 1', '555')",
              "INSERT INTO SUCURSALES VALUES (2, 'Norte', 'Calle 2', '556')"});
}

void Escenario::auditar(const std::string& fecha, const std::string& hora, int tipo, long idDoc, char oper,
                        const std::string& codigo) {
    enOrigen({"INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
              "AUDI_COD, AUDI_ENVIO) VALUES (" +
              std::to_string(siguienteAuditoria_++) + ", 'ADMIN', " + q(fecha) + ", " + q(hora) + ", " +
              std::to_string(tipo) + ", " + std::to_string(idDoc) + ", " + q(std::string(1, oper)) + ", " + q(codigo) +
              ", 'N')"});
}

std::string Escenario::auditoria(const std::string& fecha, const std::optional<std::string>& hora, int tipo,
                                 const std::optional<std::string>& idDoc, char oper,
                                 const std::optional<std::string>& codigo) {
    return "INSERT INTO AUDITORIA (AUDI_ID, AUDI_USUARIO, AUDI_FECHA, AUDI_HORA, TIDO_COD, AUDI_IDDOC, AUDI_OPER, "
           "AUDI_COD, AUDI_ENVIO) VALUES (" +
           std::to_string(siguienteAuditoria_++) + ", 'ADMIN', " + q(fecha) + ", " + q(hora) + ", " +
           std::to_string(tipo) + ", " + q(idDoc) + ", " + q(std::string(1, oper)) + ", " + q(codigo) + ", 'N')";
}

std::string Escenario::documento(int tipo, long id, const std::string& prefijo, const std::string& numero,
                                 const std::string& monto) {
    const auto& t = tablaImporte(tipo);
    return std::string("INSERT INTO ") + t.tabla + " (" + t.id + ", PREF_PRE, " + t.numero + ", " + t.monto +
           ") VALUES (" + std::to_string(id) + ", " + q(prefijo) + ", " + q(numero) + ", " + monto + ")";
}

std::vector<std::string> Escenario::conDetalle(int tipo, long id, const std::string& prefijo, const std::string& numero,
                                               const std::vector<std::string>& montos) {
    const bool entradas = tipo == 11;
    const std::string cab = entradas ? "ENTRADAS (ENTR_ID, PREF_PRE, ENTR_NUMERO)" : "TRASFERENCIAS (TRAN_ID, PREF_PRE, TRAN_NUMERO)";
    std::vector<std::string> r = {"INSERT INTO " + cab + " VALUES (" + std::to_string(id) + ", " + q(prefijo) + ", " +
                                  q(numero) + ")"};
    long linea = id * 100;
    for (const auto& m : montos)
        r.push_back(std::string("INSERT INTO ") +
                    (entradas ? "ENTRADAS_DETALLE (ENDE_ID, ENTR_ID, ENDE_TOTAL)" : "TRASFERENCIAS_DETALLE (TRAS_ID, TRAN_ID, TRAS_TOTAL)") +
                    " VALUES (" + std::to_string(linea++) + ", " + std::to_string(id) + ", " + m + ")");
    return r;
}

std::vector<std::string> Escenario::comprobante(long consec, const std::string& tipoComp, const std::string& prefijo,
                                                const std::string& numero,
                                                const std::vector<std::pair<std::string, std::string>>& lineas) {
    std::vector<std::string> r = {"INSERT INTO COMPROBANTE_ENCABEZADO (ENCO_CONSEC, TICO_COD, PRCO_PREF, ENCO_NUMERO) VALUES (" +
                                  std::to_string(consec) + ", " + q(tipoComp) + ", " + q(prefijo) + ", " + q(numero) + ")"};
    long id = consec * 100;
    for (const auto& [debito, credito] : lineas)
        r.push_back("INSERT INTO COMPROBANTE_DETALLE VALUES (" + std::to_string(id++) + ", " + std::to_string(consec) +
                    ", " + debito + ", " + credito + ")");
    return r;
}

}  // namespace autorep::prueba
