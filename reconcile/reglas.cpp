#include "reconcile/reglas.h"

#include <array>

#include "db/error_bd.h"
#include "db/sql.h"
#include "reconcile/importe.h"

namespace autorep::conciliacion {

using bd::citar;

namespace {

constexpr std::array<ReglaImporte, 10> tabla = {{
    {11, "select SUM(ENDE_TOTAL) from entradas_detalle where entr_id = ",
     "SELECT SUM(ENDE_TOTAL) FROM ENTRADAS_DETALLE ED, ENTRADAS E WHERE E.ENTR_ID = ED.ENTR_ID AND PREF_PRE = ",
     " AND ENTR_NUMERO = ", 6, "SELECT COUNT(*) FROM ENTRADAS WHERE PREF_PRE = "},
    {13, "select SUM(TRAS_TOTAL) from trasferencias_detalle where tran_id = ",
     "SELECT SUM(TRAS_TOTAL) FROM TRASFERENCIAS_DETALLE TD, TRASFERENCIAS T WHERE T.TRAN_ID = TD.TRAN_ID AND PREF_PRE = ",
     " AND TRAN_NUMERO = ", 6, "SELECT COUNT(*) FROM TRASFERENCIAS WHERE PREF_PRE = "},
    {21, "select FACO_TOTAL from FACTURAS_COMPRA where FACO_ID = ",
     "SELECT FACO_TOTAL FROM FACTURAS_COMPRA WHERE PREF_PRE = ", " AND FACO_NUMERO = ", 6},
    {31, "select FACT_TOTAL from FACTURAS where FACT_ID = ", "SELECT FACT_TOTAL FROM FACTURAS WHERE PREF_PRE = ",
     " AND FACT_NUMERO = ", 8},
    {41, "select NDCL_MONTO from NOTAS_DEBITO_CLIENTES where NDCL_ID = ",
     "SELECT NDCL_MONTO from NOTAS_DEBITO_CLIENTES WHERE PREF_PRE = ", " AND NDCL_NUMERO = ", 6},
    {42, "select NCCL_MONTO from NOTAS_CREDITO_CLIENTES where NCCL_ID = ",
     "SELECT NCCL_MONTO from NOTAS_CREDITO_CLIENTES WHERE PREF_PRE = ", " AND NCCL_NUMERO = ", 6},
    {51, "select NDPR_MONTO from NOTAS_DEBITO_PROVEEDOR where NDPR_ID = ",
     "SELECT NDPR_MONTO from NOTAS_DEBITO_PROVEEDOR WHERE PREF_PRE = ", " AND NDPR_NUMERO = ", 6},
    {52, "select NCPR_MONTO from NOTAS_CREDITO_PROVEEDOR where NCPR_ID = ",
     "SELECT NCPR_MONTO from NOTAS_CREDITO_PROVEEDOR WHERE PREF_PRE = ", " AND NCPR_NUMERO = ", 6},
    {61, "select RECA_MONTO from RECIBOS_CAJA where RECA_ID = ", "SELECT RECA_MONTO FROM RECIBOS_CAJA WHERE PREF_PRE = ",
     " AND RECA_NUMERO = ", 6},
    {62, "select EGRE_MONTO from EGRESOS where EGRE_ID = ", "SELECT EGRE_MONTO from EGRESOS WHERE PREF_PRE = ",
     " AND EGRE_NUMERO = ", 6},
}};


}  // namespace

const ReglaImporte* reglaImporte(std::int64_t tipo) {
    for (const auto& r : tabla)
        if (r.tipo == tipo) return &r;
    return nullptr;
}

std::vector<std::int64_t> tiposConRegla() {
    std::vector<std::int64_t> r = {tipoComprobante};
    for (const auto& regla : tabla) r.push_back(regla.tipo);
    return r;
}

CodigoDocumento partirCodigo(std::string_view codigo, std::size_t ancho) {
    if (codigo.size() <= ancho) return {{}, std::string(codigo)};
    return {std::string(codigo.substr(0, codigo.size() - ancho)), std::string(codigo.substr(codigo.size() - ancho))};
}

std::string consultaDestinoImporte(const ReglaImporte& regla, std::string_view codigo) {
    const auto partes = partirCodigo(codigo, regla.ancho);
    return std::string(regla.cabezaDestino) + citar(partes.prefijo) + std::string(regla.condicionNumero) +
           citar(partes.numero);
}

std::string consultaConteoDestino(const ReglaImporte& regla, std::string_view codigo) {
    const auto partes = partirCodigo(codigo, regla.ancho);
    return std::string(regla.conteoDestino) + citar(partes.prefijo) + std::string(regla.condicionNumero) +
           citar(partes.numero);
}

FilaAuditoria filaAuditoria(const bd::Valor& fecha, const bd::Valor& hora, const bd::Valor& tipo, const bd::Valor& oper,
                            const bd::Valor& idDoc, const bd::Valor& codigo, const plataforma::Regional& regional) {
    return {textoCampo(fecha, regional), textoCampo(tipo, regional), textoCampo(oper, regional),
            textoCampo(idDoc, regional), textoCampo(codigo, regional), tipo.comoEntero(),
            {fecha.momento().fecha, hora.momento().hora}};
}

Reglas::Reglas(bd::Conexion& origen, bd::Conexion& destino, const plataforma::Regional& regional, const Conteo& conteo)
    : QCopia(origen, "QCopia"), QCopiadet(origen, "QCopiadet"), CDestino(destino, "CDestino"), regional_(regional),
      conteo_(conteo) {}

std::string Reglas::texto(const bd::Valor& v) const { return textoCampo(v, regional_); }

void Reglas::completarComprobante(const FilaAuditoria& fila, Desenlace& d) {
    if (conteo_.totales && d.enOrigen && !d.encontrado && d.importes.empty()) d.importes = {{debitoOrigen(fila.idDoc), bd::Valor::nulo()}};
}

bd::Valor Reglas::debitoOrigen(const std::string& idDoc) {
    try {
        QCopiadet.cerrar();
        QCopiadet.ponerTexto(std::string(comprobante::sumas) + idDoc);
        QCopiadet.abrir();
        bd::Valor debito = QCopiadet.vacia() ? bd::Valor::nulo() : QCopiadet.campo(0);
        QCopiadet.cerrar();
        return debito;
    } catch (const bd::ErrorBaseDatos&) {
        QCopiadet.cerrar();
        return bd::Valor::nulo();
    }
}

void Reglas::aplicar(const FilaAuditoria& fila, Reporte& reporte, Resumen& resumen) {
    if (fila.tipoEntero == tipoComprobante) {
        Desenlace d = aplicarComprobante(fila);
        completarComprobante(fila, d);
        anotar(fila, d, reporte, resumen, conteo_);
    } else if (const ReglaImporte* regla = reglaImporte(fila.tipoEntero)) {
        anotar(fila, aplicarImporte(*regla, fila), reporte, resumen, conteo_);
    }
}

Desenlace Reglas::aplicarImporte(const ReglaImporte& regla, const FilaAuditoria& fila) {
    Desenlace d;
    QCopia.ponerTexto(std::string(regla.consultaOrigen) + fila.idDoc);
    QCopia.abrir();
    if (QCopia.vacia()) {
        QCopia.cerrar();
        return d;
    }
    d.enOrigen = true;
    const bd::Valor origen = QCopia.campo(0);
    CDestino.cerrar();
    CDestino.ponerTexto(consultaDestinoImporte(regla, fila.codigo));
    CDestino.abrir();
    d.encontrado = !CDestino.vacia();
    const bd::Valor destino = d.encontrado ? CDestino.campo(0) : bd::Valor::nulo();
    d.campos = {fila.codigo, fila.fecha, texto(origen), d.encontrado ? texto(destino) : std::string(noEncontrado)};
    d.importes = {{origen, destino}};
    d.enDestino = static_cast<std::int64_t>(CDestino.cantidad());
    if (conteo_.duplicados && !regla.conteoDestino.empty()) {
        CDestino.cerrar();
        CDestino.ponerTexto(consultaConteoDestino(regla, fila.codigo));
        CDestino.abrir();
        d.enDestino = CDestino.campo(0).comoEntero();
    }
    CDestino.cerrar();
    QCopia.cerrar();
    return d;
}

Desenlace Reglas::aplicarComprobante(const FilaAuditoria& fila) {
    Desenlace d;
    const std::string& id = fila.idDoc;
    QCopia.ponerTexto(std::string(comprobante::cabecera) + id);
    QCopia.abrir();
    if (QCopia.vacia()) return d;
    d.enOrigen = true;
    CDestino.cerrar();
    CDestino.ponerTexto(std::string(comprobante::destinoTipo) + citar(texto(QCopia.campo(1))) +
                        std::string(comprobante::destinoPrefijo) + citar(texto(QCopia.campo(2))) +
                        std::string(comprobante::destinoNumero) + citar(texto(QCopia.campo(3))));
    CDestino.abrir();
    d.enDestino = static_cast<std::int64_t>(CDestino.cantidad());
    if (CDestino.vacia()) {
        d.campos = {fila.codigo, fila.fecha, texto(QCopia.campo(0)), texto(QCopia.campo(1)), std::string(noEncontrado),
                    std::string(noEncontrado)};
    } else {
        d.encontrado = true;
        const std::int64_t consecDestino = CDestino.campo(0).comoEntero();
        QCopiadet.cerrar();
        QCopiadet.ponerTexto(std::string(comprobante::sumas) + id);
        QCopiadet.abrir();
        CDestino.cerrar();
        CDestino.ponerTexto(std::string(comprobante::sumas) + std::to_string(consecDestino));
        CDestino.abrir();
        d.importes = {{QCopiadet.campo(0), CDestino.campo(0)}, {QCopiadet.campo(1), CDestino.campo(1)}};
        d.campos = {fila.codigo, fila.fecha, texto(QCopiadet.campo(0)), texto(QCopiadet.campo(1)),
                    texto(CDestino.campo(0)), texto(CDestino.campo(1))};
    }
    CDestino.cerrar();
    QCopia.cerrar();
    return d;
}

}  // namespace autorep::conciliacion
