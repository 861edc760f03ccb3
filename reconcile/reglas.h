#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/consulta.h"
#include "platform/fecha.h"
#include "platform/regional.h"
#include "reconcile/desenlace.h"

namespace autorep::conciliacion {

// The audit row as the rules and the record text use it: its columns
// already in their text forms, which is also how a run keeps a million of
// them in little memory.
struct FilaAuditoria {
    std::string fecha;        // AUDI_FECHA as date text
    std::string tipo;         // TIDO_COD as text
    std::string oper;         // AUDI_OPER
    std::string idDoc;        // AUDI_IDDOC as decimal text
    std::string codigo;       // AUDI_COD
    std::int64_t tipoEntero;  // TIDO_COD as an integer, for the dispatch
    plataforma::FechaHora momento;  // AUDI_FECHA and AUDI_HORA, to tell a pending row
};
FilaAuditoria filaAuditoria(const bd::Valor& fecha, const bd::Valor& hora, const bd::Valor& tipo, const bd::Valor& oper,
                            const bd::Valor& idDoc, const bd::Valor& codigo, const plataforma::Regional& regional);

// The amount rules differ only in these texts and the width of the number.
struct ReglaImporte {
    int tipo;
    std::string_view consultaOrigen;    // followed by the document id
    std::string_view cabezaDestino;     // followed by the quoted prefix
    std::string_view condicionNumero;   // followed by the quoted number
    std::size_t ancho;
    // Types 11 and 13 sum a detail, which yields a row whether the document
    // is there or not: this counts the destination headers of a key instead
    // (followed by the quoted prefix, the number condition and the number).
    std::string_view conteoDestino = {};
};


// The voucher rule's query texts.
namespace comprobante {
constexpr std::string_view cabecera = "select * from comprobante_encabezado where enco_consec = ";
constexpr std::string_view destinoTipo = "SELECT ENCO_CONSEC FROM COMPROBANTE_ENCABEZADO WHERE TICO_COD = ";
constexpr std::string_view destinoPrefijo = " AND PRCO_PREF = ";
constexpr std::string_view destinoNumero = " AND ENCO_NUMERO = ";
constexpr std::string_view sumas =
    "select SUM(CODE_DEBITO), SUM(CODE_CREDITO) from comprobante_detalle where enco_consec = ";
}  // namespace comprobante

// The destination amount of a document the destination lacks.
constexpr std::string_view noEncontrado = "No encontrado";
const ReglaImporte* reglaImporte(std::int64_t tipo);
constexpr int tipoComprobante = 1;
// The eleven types with a rule, in ascending order.
std::vector<std::int64_t> tiposConRegla();

// The document code split by the type's width: the number is the last
// `ancho` characters, the prefix all before them.
struct CodigoDocumento {
    std::string prefijo;
    std::string numero;
};
CodigoDocumento partirCodigo(std::string_view codigo, std::size_t ancho);

std::string consultaDestinoImporte(const ReglaImporte& regla, std::string_view codigo);
std::string consultaConteoDestino(const ReglaImporte& regla, std::string_view codigo);

// The queries the rules use: QCopia and QCopiadet on the origin company,
// CDestino on the destination.
class Reglas {
public:
    Reglas(bd::Conexion& origen, bd::Conexion& destino, const plataforma::Regional& regional, const Conteo& conteo);

    // Applies the rule of the row's type; writes at most one report line.
    void aplicar(const FilaAuditoria& fila, Reporte& reporte, Resumen& resumen);

    // The origin debit sum of a voucher, for the control totals of a voucher
    // the destination lacks (its line shows no sums). A sum the origin cannot
    // give (an overflow, say) is NULL: it leaves the total inexact instead of
    // failing a run whose lines are all right.
    bd::Valor debitoOrigen(const std::string& idDoc);
    // Gives a voucher the destination lacks its origin debit sum.
    void completarComprobante(const FilaAuditoria& fila, Desenlace& d);

private:
    Desenlace aplicarImporte(const ReglaImporte& regla, const FilaAuditoria& fila);
    Desenlace aplicarComprobante(const FilaAuditoria& fila);
    std::string texto(const bd::Valor& v) const;

    bd::Consulta QCopia;
    bd::Consulta QCopiadet;
    bd::Consulta CDestino;
    const plataforma::Regional& regional_;
    const Conteo& conteo_;
};

}  // namespace autorep::conciliacion
