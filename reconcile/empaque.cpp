#include "reconcile/empaque.h"

namespace autorep::conciliacion {

namespace {

std::string entreComillas(const std::string& nombre) {
    std::string s = "\"";
    for (char c : nombre) s += c == '"' ? std::string("\"\"") : std::string(1, c);
    return s + "\"";
}

// Names of the block's own: no table column is called so.
std::string local(std::size_t i) { return "AR$C" + std::to_string(i); }
std::string salida(std::size_t fila, std::size_t j) { return "AR$V" + std::to_string(fila) + "_" + std::to_string(j); }

}  // namespace

std::optional<ConsultaEmpacada> empacar(const std::string& consulta, const std::string& tabla,
                                        const std::vector<std::string>& nombres, const std::vector<std::string>& tipos,
                                        std::size_t columnasTabla, const std::vector<std::size_t>& columnas,
                                        std::size_t filas) {
    if (filas == 0 || nombres.size() != tipos.size() || columnasTabla > nombres.size()) return std::nullopt;
    // A table column keeps its own type, domain and character set; a
    // subquery's value takes the type the server describes for it.
    std::vector<std::string> tipo(nombres.size());
    for (std::size_t i = 0; i < nombres.size(); ++i) {
        if (i < columnasTabla) {
            tipo[i] = "TYPE OF COLUMN " + tabla + "." + entreComillas(nombres[i]);
        } else {
            if (tipos[i].rfind("BLOB", 0) == 0) return std::nullopt;
            tipo[i] = tipos[i];
        }
    }
    for (std::size_t c : columnas)
        if (c >= nombres.size()) return std::nullopt;

    std::string sql = "EXECUTE BLOCK RETURNS (AR$N INTEGER";
    for (std::size_t f = 0; f < filas; ++f)
        for (std::size_t j = 0; j < columnas.size(); ++j) sql += ", " + salida(f, j) + " " + tipo[columnas[j]];
    sql += ") AS\n";
    for (std::size_t i = 0; i < nombres.size(); ++i) sql += "DECLARE " + local(i) + " " + tipo[i] + ";\n";
    sql += "DECLARE AR$I INTEGER = 0;\nBEGIN\nFOR " + consulta + "\nINTO ";
    for (std::size_t i = 0; i < nombres.size(); ++i) sql += (i ? ", :" : ":") + local(i);
    sql += " DO\nBEGIN\n";
    for (std::size_t f = 0; f < filas; ++f) {
        sql += std::string(f ? "ELSE " : "") + "IF (AR$I = " + std::to_string(f) + ") THEN BEGIN";
        for (std::size_t j = 0; j < columnas.size(); ++j) sql += " " + salida(f, j) + " = " + local(columnas[j]) + ";";
        sql += " END\n";
    }
    sql += "AR$I = AR$I + 1;\nIF (AR$I = " + std::to_string(filas) +
           ") THEN BEGIN AR$N = AR$I; SUSPEND; AR$I = 0; END\nEND\n"
           "IF (AR$I > 0) THEN BEGIN AR$N = AR$I; SUSPEND; END\nEND";
    return ConsultaEmpacada{std::move(sql), filas, columnas};
}

}  // namespace autorep::conciliacion
