#include "reconcile/empaque.h"

#include <algorithm>

#include "reconcile/ramas.h"

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
std::string respuesta(std::size_t j) { return "AR$R" + std::to_string(j); }
std::string leida(std::size_t j) { return "AR$L" + std::to_string(j); }
std::string primera(std::size_t j) { return "AR$F" + std::to_string(j); }

// A loop over every row `consulta` yields for `valor`, each read into
// `leidas`: `contador` (0 before it) counts them, and the first row's
// first values go to `primeras`.
std::string porCadaFila(const std::string& consulta, const std::string& valor, const std::vector<std::string>& leidas,
                        const std::string& contador, const std::vector<std::string>& primeras) {
    std::string sql = "FOR " + consulta + ":" + valor + "\nINTO ";
    for (std::size_t j = 0; j < leidas.size(); ++j) sql += (j ? ", :" : ":") + leidas[j];
    sql += " DO\nBEGIN\nIF (" + contador + " = 0) THEN BEGIN";
    for (std::size_t j = 0; j < primeras.size(); ++j) sql += " " + primeras[j] + " = " + leidas[j] + ";";
    return sql + " END\n" + contador + " = " + contador + " + 1;\nEND\n";
}

// The table read, for the row in the block's variables.
std::string leer(const LecturaPorFila& l) {
    std::vector<std::string> leidas, primeras;
    for (std::size_t j = 0; j < l.tipos.size(); ++j) leidas.push_back(leida(j));
    for (std::size_t j = 0; j < l.primeras; ++j) primeras.push_back(primera(j));
    std::string sql = "AR$LN = 0;\n";
    for (const auto& p : primeras) sql += p + " = NULL;\n";
    const std::string valor = local(l.columna);
    return sql + "IF (" + valor + " IS NOT NULL) THEN\n" + porCadaFila(l.consulta, valor, leidas, "AR$LN", primeras);
}

// The per-row query, for the row in the block's variables. Its error (a sum
// that overflows, a computed column that fails) leaves the row unanswered
// and the read going; a cancelled statement still ends the block.
std::string preguntar(const ConsultaPorFila& q) {
    const std::string valor = local(q.columna);
    std::string sql = "AR$P = 0;\n";
    for (std::size_t j = 0; j < q.tipos.size(); ++j) sql += respuesta(j) + " = NULL;\n";
    sql += "IF (" + valor + " IS NOT NULL) THEN\nBEGIN\n" + q.consulta + ":" + valor + " INTO ";
    for (std::size_t j = 0; j < q.tipos.size(); ++j) sql += (j ? ", :" : ":") + respuesta(j);
    sql += ";\nAR$P = 1;\nWHEN GDSCODE cancelled DO EXCEPTION;\nWHEN ANY DO AR$P = 0;\nEND\n";
    return sql;
}

// The rule's query for a row left in doubt. A cancelled statement still
// ends the block; any other error leaves the row to the run.
std::string dudar(const DudaPorFila& d) {
    const std::string valor = local(d.columna);
    std::string sql = "AR$DP = NULL;\nAR$DN = NULL;\nAR$DF = NULL;\n";
    sql += "IF (" + valor + " IS NOT NULL AND " + local(d.nula) + " IS NULL) THEN\nBEGIN\nAR$DP = 0;\nAR$DN = 0;\n";
    sql += porCadaFila(d.consulta, valor, {"AR$DL"}, "AR$DN", {"AR$DF"});
    return sql + "AR$DP = 1;\nWHEN GDSCODE cancelled DO EXCEPTION;\nWHEN ANY DO AR$DP = 0;\nEND\n";
}

}  // namespace

bool esBlob(const std::string& tipo) { return tipo.rfind("BLOB", 0) == 0; }

std::optional<ConsultaEmpacada> empacar(const std::string& consulta, const std::string& tabla,
                                        const std::vector<std::string>& nombres, const std::vector<std::string>& tipos,
                                        std::size_t columnasTabla, const std::vector<std::size_t>& columnas,
                                        std::size_t filas, const std::optional<LecturaPorFila>& lectura,
                                        const std::optional<ConsultaPorFila>& porFila,
                                        const std::optional<DudaPorFila>& duda) {
    if (filas == 0 || nombres.size() != tipos.size() || columnasTabla > nombres.size()) return std::nullopt;
    // A table column keeps its own type, domain and character set; a
    // subquery's value takes the type the server describes for it.
    std::vector<std::string> tipo(nombres.size());
    for (std::size_t i = 0; i < nombres.size(); ++i) {
        if (i < columnasTabla) {
            tipo[i] = "TYPE OF COLUMN " + tabla + "." + entreComillas(nombres[i]);
        } else {
            if (esBlob(tipos[i])) return std::nullopt;
            tipo[i] = tipos[i];
        }
    }
    for (std::size_t c : columnas)
        if (c >= nombres.size()) return std::nullopt;
    if (lectura) {
        if (lectura->columna >= nombres.size() || lectura->primeras > lectura->tipos.size()) return std::nullopt;
        if (std::any_of(lectura->tipos.begin(), lectura->tipos.end(), esBlob)) return std::nullopt;
    }
    if (porFila) {
        if (porFila->columna >= nombres.size() || porFila->tipos.empty()) return std::nullopt;
        if (std::any_of(porFila->tipos.begin(), porFila->tipos.end(), esBlob)) return std::nullopt;
    }
    if (duda) {
        if (duda->columna >= nombres.size() || duda->nula >= nombres.size() || esBlob(duda->tipo)) return std::nullopt;
    }
    // Each audit row's outputs: its columns, then the table read's first
    // row and count, then the query's flag and values, then the doubt's.
    std::vector<std::pair<std::string, std::string>> deFila;  // type, value
    for (std::size_t c : columnas) deFila.emplace_back(tipo[c], local(c));
    if (lectura) {
        for (std::size_t j = 0; j < lectura->primeras; ++j) deFila.emplace_back(lectura->tipos[j], primera(j));
        deFila.emplace_back("INTEGER", "AR$LN");
    }
    if (porFila) {
        deFila.emplace_back("SMALLINT", "AR$P");
        for (std::size_t j = 0; j < porFila->tipos.size(); ++j) deFila.emplace_back(porFila->tipos[j], respuesta(j));
    }
    if (duda) {
        deFila.emplace_back("SMALLINT", "AR$DP");
        deFila.emplace_back("INTEGER", "AR$DN");
        deFila.emplace_back(duda->tipo, "AR$DF");
    }

    std::string sql = "EXECUTE BLOCK RETURNS (AR$N INTEGER";
    for (std::size_t f = 0; f < filas; ++f)
        for (std::size_t j = 0; j < deFila.size(); ++j) sql += ", " + salida(f, j) + " " + deFila[j].first;
    sql += ") AS\n";
    for (std::size_t i = 0; i < nombres.size(); ++i) sql += "DECLARE " + local(i) + " " + tipo[i] + ";\n";
    if (lectura) {
        for (std::size_t j = 0; j < lectura->tipos.size(); ++j)
            sql += "DECLARE " + leida(j) + " " + lectura->tipos[j] + ";\n";
        for (std::size_t j = 0; j < lectura->primeras; ++j)
            sql += "DECLARE " + primera(j) + " " + lectura->tipos[j] + ";\n";
        sql += "DECLARE AR$LN INTEGER;\n";
    }
    if (porFila) {
        sql += "DECLARE AR$P SMALLINT;\n";
        for (std::size_t j = 0; j < porFila->tipos.size(); ++j)
            sql += "DECLARE " + respuesta(j) + " " + porFila->tipos[j] + ";\n";
    }
    if (duda) {
        sql += "DECLARE AR$DP SMALLINT;\nDECLARE AR$DN INTEGER;\nDECLARE AR$DF " + duda->tipo + ";\nDECLARE AR$DL " +
               duda->tipo + ";\n";
    }
    sql += "DECLARE AR$I INTEGER = 0;\nBEGIN\nFOR " + consulta + "\nINTO ";
    for (std::size_t i = 0; i < nombres.size(); ++i) sql += (i ? ", :" : ":") + local(i);
    sql += " DO\nBEGIN\n";
    if (lectura) sql += leer(*lectura);
    if (porFila) sql += preguntar(*porFila);
    if (duda) sql += dudar(*duda);
    sql += elegirPorMitades("AR$I", filas, [&](std::size_t f) {
        std::string asignar;
        for (std::size_t j = 0; j < deFila.size(); ++j) asignar += salida(f, j) + " = " + deFila[j].second + "; ";
        return asignar;
    });
    sql += "AR$I = AR$I + 1;\nIF (AR$I = " + std::to_string(filas) +
           ") THEN BEGIN AR$N = AR$I; SUSPEND; AR$I = 0; END\nEND\n"
           "IF (AR$I > 0) THEN BEGIN AR$N = AR$I; SUSPEND; END\nEND";
    return ConsultaEmpacada{std::move(sql), filas, columnas, deFila.size()};
}

}  // namespace autorep::conciliacion
