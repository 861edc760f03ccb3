#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The audit query's rows, several to a fetched row. The client library asks
// the server for at most 1,000 rows, and about 120 KB of them, a round trip,
// so a slow link pays one round trip for every 1,000 audit rows read one to a
// row. A selectable block runs the same query (the
// table's every column in its select list: the server sorts before it
// evaluates the list's subqueries, so its sort carries the same fields and
// orders ties alike) and hands over `filas` rows at a time, each as the few
// columns the run reads.
namespace autorep::conciliacion {

// A table read for each audit row inside the block, in place of the
// subqueries that would stand for it in the select list: "SELECT <every
// column> FROM ... WHERE <col> = " followed by the row's value at
// `columna`. Every column of every row it yields is read, and an error in
// any ends the block as the subqueries' would. Its values come after the
// row's `columnas`: the first row's first `primeras` columns (NULL when
// there is none), then the count of its rows (INTEGER).
struct LecturaPorFila {
    std::string consulta;
    std::size_t columna = 0;
    std::vector<std::string> tipos;  // of every column it reads
    std::size_t primeras = 0;
};

// A query asked for each audit row inside the block, whose error stays with
// its row instead of ending the read: "SELECT <list> FROM ... WHERE <col> = "
// followed by the row's value at `columna`. Its values come after the
// table read's: a SMALLINT that is 1 when it was answered (0 when it
// failed, or the value was NULL and it was not asked), then one value of
// each of `tipos`.
struct ConsultaPorFila {
    std::string consulta;
    std::size_t columna = 0;
    std::vector<std::string> tipos;
};

// The rule's own query for an audit row whose value at `nula` is NULL (the
// subquery found no document, or found one whose amount is NULL):
// "SELECT <column> FROM ... WHERE <col> = " followed by the row's value at
// `columna`, every row it yields read, an error staying with its row. Asked inside the block, it spares the run a statement on
// the origin connection for such rows, each a round trip on a slow link
// that the audit read waits for. Its values come after the query's: a
// SMALLINT that is 1 when it was read (0 when it failed, NULL when it was
// not asked), the count of its rows (INTEGER), and the first row's value.
struct DudaPorFila {
    std::string consulta;
    std::size_t columna = 0;
    std::size_t nula = 0;
    std::string tipo;  // of the column it reads
};

struct ConsultaEmpacada {
    std::string sql;
    // Each fetched row: the count of audit rows it holds (INTEGER), then
    // `filas` groups of `ancho` values: the row's `columnas` in their order,
    // then the values of the table read, of the query and of the doubt,
    // when there are.
    std::size_t filas = 0;
    std::vector<std::size_t> columnas;  // places in the plain query's row
    std::size_t ancho = 0;              // values per audit row
};

// Whether a declaration (as bd::Conexion::describir gives it) is a BLOB's:
// no block variable holds one unchanged, since assigning one may copy it.
bool esBlob(const std::string& tipo);

// The block for `consulta` ("SELECT <table>.*, <subqueries> FROM <table> ...
// ORDER BY ...", the subqueries left out where `lectura` stands for them),
// whose result columns are `nombres` and `tipos` (as bd::Conexion::describir
// gives them), the first `columnasTabla` the table's own. Nothing when a result column cannot sit in a variable unchanged (a
// subquery's BLOB: assigning one may copy it).
std::optional<ConsultaEmpacada> empacar(const std::string& consulta, const std::string& tabla,
                                        const std::vector<std::string>& nombres, const std::vector<std::string>& tipos,
                                        std::size_t columnasTabla, const std::vector<std::size_t>& columnas,
                                        std::size_t filas, const std::optional<LecturaPorFila>& lectura = {},
                                        const std::optional<ConsultaPorFila>& porFila = {},
                                        const std::optional<DudaPorFila>& duda = {});

}  // namespace autorep::conciliacion
