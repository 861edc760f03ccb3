#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The audit query's rows, several to a fetched row. The client library asks
// the server for at most 1,000 rows, and about 128 KB, a round trip, so a
// slow link pays one round trip for every 1,000 audit rows read one to a
// row. A selectable block runs the same query (the same select list, so the
// server's sort carries the same fields and orders ties alike) and hands over
// `filas` rows at a time, each as the few columns the run reads.
namespace autorep::conciliacion {

struct ConsultaEmpacada {
    std::string sql;
    // Each fetched row: the count of audit rows it holds (INTEGER), then
    // `filas` groups of `columnas.size()` values, in the order of `columnas`.
    std::size_t filas = 0;
    std::vector<std::size_t> columnas;  // places in the plain query's row
};

// The block for `consulta` ("SELECT <table>.*, <subqueries> FROM <table> ...
// ORDER BY ..."), whose result columns are `nombres` and `tipos` (as
// bd::Conexion::describir gives them), the first `columnasTabla` the table's
// own. Nothing when a result column cannot sit in a variable unchanged (a
// subquery's BLOB: assigning one may copy it).
std::optional<ConsultaEmpacada> empacar(const std::string& consulta, const std::string& tabla,
                                        const std::vector<std::string>& nombres, const std::vector<std::string>& tipos,
                                        std::size_t columnasTabla, const std::vector<std::size_t>& columnas,
                                        std::size_t filas);

}  // namespace autorep::conciliacion
