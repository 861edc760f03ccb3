#include "reconcile/lotes.h"

#include <algorithm>
#include <cctype>

#include "db/error_bd.h"
#include "platform/cp1252.h"
#include "platform/texto.h"
#include "reconcile/empaque.h"
#include "reconcile/importe.h"

namespace autorep::conciliacion {

namespace {

// Rows per stretch: the destination is asked for a stretch's keys while the
// next one arrives.
constexpr std::size_t filasPorTrozo = 2048;
// Stretches read and not yet handed over before the read waits for the
// first of them: what memory holds, whatever the run's length.
constexpr std::size_t trozosEnVuelo = 24;
// Lookup threads at most, each on a destination connection of its own: over
// a slow link their round trips overlap.
constexpr std::size_t maximoHilos = 8;
// Near the server the lookups are bound by its work, not by the wait: two
// keep pace with the audit read, which is one statement, and more only
// contend with it for the server's processors.
constexpr std::size_t hilosCerca = 2;
// A link is slow when a round trip takes this long.
constexpr auto idaYVueltaLenta = std::chrono::milliseconds(2);
// Audit rows to each row fetched: a round trip brings at most 1,000 fetched
// rows, and about 120 KB of them.
constexpr std::size_t filasPorMensaje = 16;

constexpr std::string_view tablaAuditoria = "AUDITORIA";

bool empiezaCon(std::string_view s, std::string_view prefijo) {
    return s.size() >= prefijo.size() && plataforma::igualesSinMayusculas(s.substr(0, prefijo.size()), prefijo);
}

std::size_t buscarSinMayusculas(std::string_view s, std::string_view que) {
    for (std::size_t i = 0; i + que.size() <= s.size(); ++i)
        if (plataforma::igualesSinMayusculas(s.substr(i, que.size()), que)) return i;
    return std::string_view::npos;
}

// A rule's origin query, "select <list> from ... = ", as its select list and
// the rest; nothing when it is not of that form.
struct Seleccion {
    std::vector<std::string> lista;
    std::string resto;  // " from ... = "
};
std::optional<Seleccion> partirSelect(std::string_view consulta) {
    if (!empiezaCon(consulta, "select ")) return std::nullopt;
    const std::size_t desde = buscarSinMayusculas(consulta, " from ");
    if (desde == std::string_view::npos) return std::nullopt;
    Seleccion s;
    s.resto = std::string(consulta.substr(desde));
    std::string_view lista = consulta.substr(7, desde - 7);
    int nivel = 0;
    std::size_t inicio = 0;
    for (std::size_t i = 0; i <= lista.size(); ++i) {
        if (i == lista.size() || (lista[i] == ',' && nivel == 0)) {
            std::string item(lista.substr(inicio, i - inicio));
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            while (!item.empty() && item.back() == ' ') item.pop_back();
            if (item.empty()) return std::nullopt;
            s.lista.push_back(item);
            inicio = i + 1;
        } else if (lista[i] == '(') {
            ++nivel;
        } else if (lista[i] == ')') {
            --nivel;
        }
    }
    return s;
}

// The rule's origin lookup of one column, for the audit row at hand: the
// first row its own query yields for the row's document id.
std::string subconsulta(const std::string& columna, const std::string& resto) {
    return "(select FIRST 1 " + columna + resto + std::string(tablaAuditoria) + ".AUDI_IDDOC)";
}

// The column a rule's query compares with the document id (" from
// FACTURAS_COMPRA where FACO_ID = ") and the table it reads; empty when the
// query is not that simple.
struct Comparacion {
    std::string tabla, columna;
};
Comparacion comparacionDe(std::string_view resto) {
    auto palabra = [](std::string_view s, std::size_t i) {
        std::size_t j = i;
        while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' || s[j] == '$')) ++j;
        return std::string(s.substr(i, j - i));
    };
    const std::size_t desde = buscarSinMayusculas(resto, " from ");
    const std::size_t donde = buscarSinMayusculas(resto, " where ");
    if (desde != 0 || donde == std::string_view::npos) return {};
    Comparacion c{palabra(resto, 6), palabra(resto, donde + 7)};
    // Nothing but "<tabla> where <columna> = ".
    if (c.tabla.empty() || c.columna.empty() || 6 + c.tabla.size() != donde) return {};
    std::string_view cola = resto.substr(donde + 7 + c.columna.size());
    while (!cola.empty() && cola.front() == ' ') cola.remove_prefix(1);
    if (cola != "= " && cola != "=") return {};
    for (auto* t : {&c.tabla, &c.columna})
        for (char& ch : *t) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return c;
}

// What the schema says of the compared column. Whether it holds whole
// numbers: only then does comparing it with the audit row's id mean what
// comparing it with the rule's integer literal does (a text column is
// compared with a number by converting every value of it). Whether it alone
// is unique in its table: then the rule's query yields at most one row, and
// the subquery's first is all of them. Both in one statement, as the run's
// first round trips are the ones a slow link makes everyone wait for.
struct ColumnaComparada {
    bool entera = false;
    bool unica = false;
};
ColumnaComparada columnaComparada(bd::Conexion& origen, const Comparacion& c) {
    ColumnaComparada r;
    try {
        origen.recorrer(
            "SELECT F.RDB$FIELD_TYPE, F.RDB$FIELD_SCALE, (SELECT COUNT(*) FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S "
            "ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME WHERE I.RDB$RELATION_NAME = RF.RDB$RELATION_NAME AND "
            "S.RDB$FIELD_NAME = RF.RDB$FIELD_NAME AND I.RDB$UNIQUE_FLAG = 1 AND I.RDB$SEGMENT_COUNT = 1 AND "
            "COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0 AND I.RDB$EXPRESSION_BLR IS NULL) FROM RDB$RELATION_FIELDS RF "
            "JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE RF.RDB$RELATION_NAME = CAST(? AS VARCHAR(63)) AND "
            "RF.RDB$FIELD_NAME = CAST(? AS VARCHAR(63))",
            {c.tabla, c.columna}, [&r](const std::vector<bd::Valor>& v) {
                // SMALLINT, INTEGER and BIGINT, with no decimals.
                const std::int64_t tipo = v[0].comoEntero();
                r.entera = (tipo == 7 || tipo == 8 || tipo == 16) && v[1].comoEntero() == 0;
                r.unica = v[2].comoEntero() > 0;
            });
    } catch (const bd::ErrorBaseDatos&) {
        return {};
    }
    return r;
}

// A sum (types 11 and 13) reads every row the way the rule does, and yields one.
bool agregada(std::string_view expresion) {
    for (std::string_view f : {"SUM(", "COUNT(", "MIN(", "MAX(", "AVG("})
        if (empiezaCon(expresion, f)) return true;
    return false;
}

// The rule reads every column of every row its query yields, and an error in
// any (a computed column, a later row) is its error: this evaluates them all,
// so that the audit query fails alike (the run then goes row by row).
std::string todasLasFilas(const std::vector<std::string>& columnas, const std::string& resto) {
    std::string suma;
    for (const auto& c : columnas) suma += (suma.empty() ? "COUNT(" : " + COUNT(") + c + ")";
    return "(select " + suma + resto + std::string(tablaAuditoria) + ".AUDI_IDDOC)";
}

bool identificadorSimple(const std::string& s) {
    if (s.empty() || !(s[0] >= 'A' && s[0] <= 'Z')) return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    });
}

// A key as one text, each value preceded by its length, for telling keys apart.
std::string unir(const std::vector<std::string>& clave) {
    std::string r;
    for (const auto& v : clave) r += std::to_string(v.size()) + ":" + v;
    return r;
}

}  // namespace

// What the batches of a type look up. Amount rules: one origin column (the
// amount), the destination by (prefix, number), and for types 11 and 13 in a
// revision the destination headers too. Vouchers: the origin header's first
// four columns and its two sums, the destination header by (type, prefix,
// number), then the destination sums by its consecutive number.
struct LecturaPorLotes::Regla {
    const ReglaImporte* importe = nullptr;
    std::vector<std::string> columnasOrigen;  // the subqueries
    PlantillaConsulta origen;                 // the rule's origin query, for rows the subqueries leave in doubt
    PlantillaConsulta destino;
    std::optional<PlantillaConsulta> conteo;
    std::optional<PlantillaConsulta> sumasDestino;
    // Vouchers: the origin sums, asked only for documents the destination
    // holds, as the rule does (a sum may fail where the rule never asks).
    std::optional<PlantillaConsulta> sumasOrigen;
    // Vouchers read packed: the origin header, every column, read once per
    // audit row in place of the subqueries (each of them one more lookup).
    std::optional<LecturaPorFila> cabecera;
};

struct LecturaPorLotes::Trozo {
    std::vector<Fila> filasDe;
    ValoresCompactos origenValores;  // columnasOrigen per row
    Respuestas sumasOrigen;
    std::unordered_map<std::int64_t, std::size_t> sumaOrigenDeId;
    ValoresCompactos sumasLeidas;  // read packed: three per row
    bool listo = false;  // its lookups are done
    std::vector<std::vector<std::string>> claves;
    Respuestas destino, conteo, sumas;
    std::vector<std::int64_t> sumaDeClave;  // vouchers: the place of a key's consecutive number in sumas, or -1
    bool fallido = false;                   // a database error: its rows go row by row
    bool devuelto = false;                  // a retired thread left it once
    bool dudososResueltos = false;
    std::size_t filas = 0;
};

LecturaPorLotes::LecturaPorLotes(bd::Conexion& origen, bd::Conexion& destino, const plataforma::Regional& regional,
                                 const Conteo& conteo, const Interrupcion* interrupcion)
    : origen_(origen), destino_(destino), regional_(regional), conteo_(conteo), interrupcion_(interrupcion) {}

// The lookups asked on one connection, each prepared once on it.
struct LecturaPorLotes::Destino {
    bd::Conexion& conexion;
    std::vector<std::pair<const PlantillaConsulta*, std::unique_ptr<Buscador>>> buscadores;
    Buscador& buscador(const PlantillaConsulta& plantilla) {
        for (auto& [p, b] : buscadores)
            if (p == &plantilla) return *b;
        buscadores.emplace_back(&plantilla, std::make_unique<Buscador>(conexion, plantilla));
        return *buscadores.back().second;
    }
};

LecturaPorLotes::~LecturaPorLotes() {
    // A run that ends early stops the statements at work.
    if (!hilos_.empty()) parada_.pedir();
    bd::desconectarTodas({}, terminar());
}

std::vector<std::unique_ptr<bd::Conexion>> LecturaPorLotes::terminar() {
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        sinMasTrozos_ = true;
    }
    cambio_.notify_all();
    for (auto& h : hilos_) h.join();
    hilos_.clear();
    registros_.clear();
    std::vector<std::unique_ptr<bd::Conexion>> abiertas;
    for (auto& c : conexionesPropias_)
        if (c->conectada()) abiertas.push_back(std::move(c));
    conexionesPropias_.clear();
    return abiertas;
}

std::string LecturaPorLotes::textoDe(const bd::Valor& v) const { return textoCampo(v, regional_); }

std::uint32_t LecturaPorLotes::texto(const bd::Valor& v) {
    // try_emplace builds no node for a text already known: most are.
    std::string t = textoDe(v);
    const auto [it, nuevo] = textoIndice_.try_emplace(std::move(t), static_cast<std::uint32_t>(textos_.size()));
    if (nuevo) {
        textos_.push_back(it->first);
        tipos_.push_back(0);
    }
    return it->second;
}

bool LecturaPorLotes::preparar(const std::string& consultaAuditoria, std::int64_t tipo) {
    const std::string cabeza = "SELECT * FROM " + std::string(tablaAuditoria) + " ";
    if (!empiezaCon(consultaAuditoria, cabeza)) return false;
    if (empiezaCon(consultaAuditoria, cabeza + "WHERE TIDO_COD = " + std::to_string(tipo) + " AND "))
        tipoEnConsulta_ = tipo;
    auto regla = std::make_unique<Regla>();
    if (const ReglaImporte* r = reglaImporte(tipo)) {
        const auto s = partirSelect(r->consultaOrigen);
        if (!s || s->lista.size() != 1) return false;
        const Comparacion c = comparacionDe(s->resto);
        if (c.columna.empty()) return false;
        const ColumnaComparada id = columnaComparada(origen_, c);
        if (!id.entera) return false;
        regla->importe = r;
        regla->columnasOrigen = {subconsulta(s->lista[0], s->resto)};
        if (!agregada(s->lista[0]) && !id.unica) regla->columnasOrigen.push_back(todasLasFilas(s->lista, s->resto));
        regla->origen = {{std::string(r->consultaOrigen), ""}, {false}};
        regla->destino = {{std::string(r->cabezaDestino), std::string(r->condicionNumero), ""}, {true, true}};
        if (conteo_.duplicados && !r->conteoDestino.empty())
            regla->conteo = PlantillaConsulta{{std::string(r->conteoDestino), std::string(r->condicionNumero), ""}, {true, true}};
    } else if (tipo == tipoComprobante) {
        const auto cabecera = partirSelect(comprobante::cabecera);
        const auto sumas = partirSelect(comprobante::sumas);
        if (!cabecera || cabecera->lista != std::vector<std::string>{"*"} || !sumas || sumas->lista.size() != 2) return false;
        const Comparacion c = comparacionDe(cabecera->resto), cs = comparacionDe(sumas->resto);
        if (c.columna.empty() || cs.columna.empty()) return false;
        const ColumnaComparada id = columnaComparada(origen_, c);
        if (!id.entera || !columnaComparada(origen_, cs).entera) return false;
        std::vector<std::string> nombres, tipos;
        try {
            tipos = origen_.describir(std::string(comprobante::cabecera) + "0", &nombres);
        } catch (const bd::ErrorBaseDatos&) {
            return false;
        }
        if (nombres.size() < 4) return false;
        for (const auto& nombre : nombres)
            if (!identificadorSimple(nombre)) return false;
        for (std::size_t i = 0; i < 4; ++i) regla->columnasOrigen.push_back(subconsulta(nombres[i], cabecera->resto));
        // The rule's select * evaluates every column even of a single row:
        // one after the fourth (a computed one) may fail where the four
        // subqueries do not.
        regla->columnasOrigen.push_back(todasLasFilas(nombres, cabecera->resto));
        if (std::none_of(tipos.begin(), tipos.end(), esBlob)) {
            std::string lista;
            for (const auto& nombre : nombres) lista += (lista.empty() ? "" : ", ") + nombre;
            regla->cabecera = LecturaPorFila{"SELECT " + lista + cabecera->resto, 0, tipos, 4};
        }
        regla->sumasOrigen = PlantillaConsulta{{std::string(comprobante::sumas), ""}, {false}};
        regla->origen = {{std::string(comprobante::cabecera), ""}, {false}};
        regla->destino = {{std::string(comprobante::destinoTipo), std::string(comprobante::destinoPrefijo),
                           std::string(comprobante::destinoNumero), ""},
                          {true, true, true}};
        regla->sumasDestino = PlantillaConsulta{{std::string(comprobante::sumas), ""}, {false}};
    } else {
        return false;
    }

    std::string extra;
    for (const auto& c : regla->columnasOrigen) extra += ", " + c;
    consulta_ = "SELECT " + std::string(tablaAuditoria) + ".*" + extra + consultaAuditoria.substr(8);
    consultaSola_ = "SELECT " + std::string(tablaAuditoria) + ".*" + consultaAuditoria.substr(8);
    regla_ = std::move(regla);
    return true;
}

bool LecturaPorLotes::conColumnas(const std::vector<std::string>& nombres) {
    // The audit table must hold what the rules read.
    auto columna = [&](std::string_view nombre) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < nombres.size(); ++i)
            if (plataforma::igualesSinMayusculas(nombres[i], nombre)) return i;
        return std::nullopt;
    };
    for (std::string_view c : {"AUDI_ID", "AUDI_USUARIO", "AUDI_FECHA", "AUDI_HORA", "TIDO_COD", "AUDI_IDDOC", "AUDI_OPER",
                               "AUDI_COD", "AUDI_ENVIO", "AUDI_TICO", "AUDI_RAZON", "AUDI_MOTIVO", "AUDI_IPCLIENTE"})
        if (!columna(c)) return false;
    iFecha_ = *columna("AUDI_FECHA");
    iHora_ = *columna("AUDI_HORA");
    iTipo_ = *columna("TIDO_COD");
    iIdDoc_ = *columna("AUDI_IDDOC");
    iOper_ = *columna("AUDI_OPER");
    iCodigo_ = *columna("AUDI_COD");
    columnasAuditoria_ = nombres.size() - regla_->columnasOrigen.size();
    // The plain query's rows carry TIDO_COD and no sums: a packed read the
    // server refused leaves none of its layout behind.
    sumasEnLectura_ = false;
    dudaEnLectura_ = false;
    textoTipoFijo_.reset();
    return true;
}

std::unique_ptr<LecturaPorLotes> LecturaPorLotes::crear(bd::Conexion& origen, bd::Conexion& destino,
                                                        const std::string& consultaAuditoria, std::int64_t tipo,
                                                        const plataforma::Regional& regional, const Conteo& conteo,
                                                        const Interrupcion* interrupcion,
                                                        std::vector<std::unique_ptr<bd::Conexion>>* libres) {
    std::unique_ptr<LecturaPorLotes> l(new LecturaPorLotes(origen, destino, regional, conteo, interrupcion));
    l->libres_ = libres;
    if (!l->preparar(consultaAuditoria, tipo)) return nullptr;
    return l;
}

std::optional<ConsultaEmpacada> LecturaPorLotes::empacada() {
    // A dialect 1 database declares other types under the same names.
    if (origen_.parametros().valorOVacio("SQLDialect") == "1") return std::nullopt;
    std::vector<std::string> nombres, tipos;
    try {
        tipos = origen_.describir(consulta_, &nombres);
    } catch (const bd::ErrorBaseDatos&) {
        return std::nullopt;
    }
    if (!conColumnas(nombres)) return std::nullopt;
    // The query keeps only the rows whose TIDO_COD equals the type: a
    // whole-number column holds that very number in each of them, and the
    // fetched rows need not carry it. A fetch brings about as many bytes
    // whatever the rows, so each value left out brings more audit rows to
    // a round trip.
    const std::string& tipoTidoCod = tipos.at(iTipo_);
    const bool tipoFijo =
        tipoEnConsulta_ && (tipoTidoCod == "SMALLINT" || tipoTidoCod == "INTEGER" || tipoTidoCod == "BIGINT");
    std::vector<std::size_t> usadas = {iFecha_, iHora_, iIdDoc_, iOper_, iCodigo_};
    if (!tipoFijo) usadas.push_back(iTipo_);
    // The header read in the block hands over what the subqueries would, in
    // their order; the block's own query then goes without them. The
    // server sorts the audit rows before it evaluates a select list's
    // subqueries, so its sort carries the same fields either way.
    std::optional<LecturaPorFila> cabecera = regla_->cabecera;
    if (cabecera) {
        cabecera->columna = iIdDoc_;
        nombres.resize(columnasAuditoria_);
        tipos.resize(columnasAuditoria_);
    } else {
        for (std::size_t c = 0; c < regla_->columnasOrigen.size(); ++c) usadas.push_back(columnasAuditoria_ + c);
    }
    // A voucher's origin sums ride along with its row: asked for every row
    // with a document id, where the rule asks only for documents the
    // destination holds, but a sum that fails only leaves its row
    // unanswered, and such a row goes to the rule as before.
    std::optional<ConsultaPorFila> sumas;
    if (regla_->sumasOrigen) {
        try {
            const std::string texto = regla_->sumasOrigen->partes.front();
            sumas = ConsultaPorFila{texto, iIdDoc_, origen_.describir(texto + "0")};
        } catch (const bd::ErrorBaseDatos&) {
            sumas.reset();
        }
        if (sumas && sumas->tipos.size() != 2) sumas.reset();
    }
    // A row whose amount came back NULL (its document gone, or its amount
    // NULL) is asked again with the rule's own query, in the block: asked
    // on the origin connection, a handful of such rows in each stretch cost
    // a statement there, two round trips the audit read waited for. The
    // rule reads one column, the one the first subquery reads: its type is
    // the subquery's, and no statement need describe it.
    std::optional<DudaPorFila> duda;
    if (regla_->importe)
        duda = DudaPorFila{regla_->origen.partes.front(), iIdDoc_, columnasAuditoria_, tipos.at(columnasAuditoria_)};
    auto e = empacar(cabecera ? consultaSola_ : consulta_, std::string(tablaAuditoria), nombres, tipos,
                     columnasAuditoria_, usadas, filasPorMensaje, cabecera, sumas, duda);
    if (e) {
        sumasEnLectura_ = sumas.has_value();
        dudaEnLectura_ = duda.has_value();
        // Each audit row of a fetched one: its columns in the order above.
        iFecha_ = 0;
        iHora_ = 1;
        iIdDoc_ = 2;
        iOper_ = 3;
        iCodigo_ = 4;
        iTipo_ = 5;
        columnasAuditoria_ = tipoFijo ? 5 : 6;
        if (tipoFijo) {
            textoTipoFijo_ = texto(bd::Valor::entero(*tipoEnConsulta_));
            tipos_[*textoTipoFijo_] = *tipoEnConsulta_;
        }
    }
    return e;
}

bool LecturaPorLotes::leer(VistaCorrida& vista, bool fases, const Entrega& entrega) {
    fases_ = fases;
    // A row the subqueries cannot stand for (a document id that is not a
    // whole number compares otherwise than the rule's literal) ends the
    // batches; so does an error of the audit query (a subquery meets one the
    // rule meets only at some row, a sum that overflows, ...): the rows read
    // until then are handed over, and the rules row by row say what and
    // where for the rest.
    struct NoPorLotes {};
    // The run's own failure while a stretch was handed over: its error, not
    // the audit query's.
    struct EntregaFallida {};
    std::exception_ptr errorEntrega;
    bool completa = true;
    const auto alRecibir = [&](const bd::Valor* v) {
        const bd::Valor& id = v[iIdDoc_];
        if (!id.esNulo() && (id.tipo() != bd::Valor::Tipo::Entero || id.escala() != 0)) throw NoPorLotes{};
        recibir(v);
        if (filas_.size() >= filasPorTrozo) {
            cerrarTrozo();
            iniciarHilo();
            avisar(vista);
            if (fases_ && entregados_ == 0) vista.fase(Fase::LeyendoAuditoria, recibidas_, 0);
            try {
                entregar(vista, entrega, trozosEnVuelo);
            } catch (...) {
                errorEntrega = std::current_exception();
                throw EntregaFallida{};
            }
        }
    };
    // One round trip on the destination connection, before the read: how
    // many lookup threads may pay.
    const auto idaYVuelta = destino_.idaYVuelta();
    enlaceLento_ = idaYVuelta && *idaYVuelta >= idaYVueltaLenta;
    try {
        bool leida = false;
        if (const auto empacada = this->empacada()) {
            try {
                origen_.recorrer(empacada->sql, {}, [&](const std::vector<bd::Valor>& m) {
                    if (interrupcion_) interrupcion_->comprobar();
                    const auto n = static_cast<std::size_t>(m[0].entero());
                    for (std::size_t k = 0; k < n && k < empacada->filas; ++k)
                        alRecibir(m.data() + 1 + k * empacada->ancho);
                });
                leida = true;
            } catch (const bd::ErrorBaseDatos&) {
                // Refused before its first rows (a column its variables
                // cannot be declared for): the plain query reads them, and
                // meets any error of its own.
                if (recibidas_ > 0) throw;
                if (interrupcion_) interrupcion_->comprobar();
            }
        }
        if (!leida) {
            std::vector<std::string> columnas;
            origen_.recorrer(
                consulta_, {},
                [&](const std::vector<bd::Valor>& v) {
                    if (interrupcion_) interrupcion_->comprobar();
                    if (recibidas_ == 0 && !conColumnas(columnas)) throw NoPorLotes{};
                    alRecibir(v.data());
                },
                &columnas);
            if (recibidas_ == 0 && !conColumnas(columnas)) completa = false;
        }
    } catch (const NoPorLotes&) {
        completa = false;
    } catch (const EntregaFallida&) {
        std::rethrow_exception(errorEntrega);
    } catch (const bd::ErrorBaseDatos&) {
        if (interrupcion_) interrupcion_->comprobar();
        completa = false;
    }
    cerrarTrozo();
    if (fases_ && entregados_ == 0) vista.fase(Fase::LeyendoAuditoria, recibidas_, 0);
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        sinMasTrozos_ = true;
    }
    cambio_.notify_all();
    entregar(vista, entrega, 0);
    return completa;
}

void LecturaPorLotes::entregar(VistaCorrida& vista, const Entrega& entrega, std::size_t enVuelo) {
    std::unique_lock<std::mutex> espera(mutex_);
    while (entregados_ < trozos_.size() && !falla_) {
        Trozo& t = trozos_[entregados_];
        if (!t.listo) {
            if (trozos_.size() - entregados_ <= enVuelo) break;
            // What no thread takes (none was started, or none could
            // connect), the run looks up itself.
            Trozo* propio = hilosVivos_ == 0 ? tomarTrozo() : nullptr;
            const std::size_t hechas = filasBuscadas_;
            espera.unlock();
            if (propio) {
                if (!propio_) propio_ = std::make_unique<Destino>(Destino{destino_, {}});
                buscar(*propio, *propio_, interrupcion_);
                terminarTrozo(*propio);
            } else {
                avisar(vista);
                if (fases_ && entregados_ == 0) vista.fase(Fase::BuscandoEnDestino, hechas, recibidas_);
                if (interrupcion_) interrupcion_->comprobar();
                espera.lock();
                if (!t.listo && !falla_) cambio_.wait_for(espera, std::chrono::milliseconds(100));
                espera.unlock();
            }
            espera.lock();
            continue;
        }
        // The origin is asked about the doubtful rows of every stretch read
        // so far at once: on a slow link each statement is a round trip
        // the audit read waits for, and a stretch holds few such rows.
        std::vector<Trozo*> dudosos;
        if (!t.dudososResueltos)
            for (std::size_t i = entregados_; i < trozos_.size(); ++i) dudosos.push_back(&trozos_[i]);
        espera.unlock();
        avisar(vista);
        if (!dudosos.empty()) resolverDudosos(dudosos);
        buscarSumasDeOrigen(t);
        for (std::size_t i = 0; i < t.filasDe.size(); ++i) {
            const FilaAuditoria f = fila(t.filasDe[i]);
            entrega(f, desenlace(t, i, f));
        }
        // Handed over: only the shell stays. Each member is replaced by a new
        // one, since `= {}` would empty a vector but keep its storage.
        t.filasDe = std::vector<Fila>();
        t.origenValores = ValoresCompactos();
        t.sumasLeidas = ValoresCompactos();
        t.destino = t.conteo = t.sumas = t.sumasOrigen = Respuestas();
        t.sumaDeClave = std::vector<std::int64_t>();
        t.sumaOrigenDeId = std::unordered_map<std::int64_t, std::size_t>();
        espera.lock();
        ++entregados_;
    }
    if (falla_) std::rethrow_exception(falla_);
}

void LecturaPorLotes::iniciarHilo() {
    // The destination lookups of a long run go on connections and threads of
    // their own, beside the audit read; another one starts while stretches
    // wait for a thread (a slow link), up to a few. A short run looks up
    // after the read, on the run's connection.
    if (hilos_.size() >= (enlaceLento_ ? maximoHilos : hilosCerca)) return;
    if (!hilos_.empty()) {
        const std::lock_guard<std::mutex> guarda(mutex_);
        if (trozos_.size() - siguiente_ < 2) return;
    }
    std::unique_ptr<bd::Conexion> propia;
    if (libres_)
        for (auto it = libres_->begin(); it != libres_->end(); ++it)
            if ((*it)->parametros().lineas() == destino_.parametros().lineas()) {
                propia = std::move(*it);
                libres_->erase(it);
                break;
            }
    if (!propia) {
        propia = std::make_unique<bd::Conexion>(destino_.nombre());
        propia->parametros() = destino_.parametros();
    }
    bd::Conexion* c = propia.get();
    conexionesPropias_.push_back(std::move(propia));
    registros_.push_back(std::make_unique<Interrupcion::Registro>(interrupcion_, std::vector<bd::Conexion*>{c}));
    registros_.push_back(std::make_unique<Interrupcion::Registro>(&parada_, std::vector<bd::Conexion*>{c}));
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        ++hilosVivos_;
    }
    hilos_.emplace_back([this, c] { buscarEnDestino(*c); });
}

void LecturaPorLotes::recibir(const bd::Valor* v) {
    Fila f;
    f.codigo = textoDe(v[iCodigo_]);
    f.momento = {v[iFecha_].momento().fecha, v[iHora_].momento().hora};
    f.fecha = texto(v[iFecha_]);
    f.oper = texto(v[iOper_]);
    if (textoTipoFijo_) {
        f.tipo = *textoTipoFijo_;
    } else {
        f.tipo = texto(v[iTipo_]);
        tipos_[f.tipo] = v[iTipo_].comoEntero();
    }
    const std::size_t n = regla_->columnasOrigen.size();
    for (std::size_t c = 0; c < n; ++c) origenValores_.agregar(v[columnasAuditoria_ + c]);
    if (sumasEnLectura_)
        for (std::size_t c = 0; c < 3; ++c) sumasLeidas_.agregar(v[columnasAuditoria_ + n + c]);
    ++recibidas_;
    const bd::Valor& id = v[iIdDoc_];
    if (id.esNulo()) {
        // The rule's query would end in "= ": its own error, row by row.
        f.origen = Origen::SinPreguntar;
        f.idNulo = true;
    } else {
        f.idDoc = id.entero();
        f.origen = v[columnasAuditoria_].esNulo() ? Origen::Dudoso : Origen::Hallado;
        // The block asked the rule's query for it: no rows, or the first
        // row's amount. Unread (its query failed), it stays in doubt.
        const bd::Valor* duda = dudaEnLectura_ ? v + columnasAuditoria_ + n + (sumasEnLectura_ ? 3 : 0) : nullptr;
        if (f.origen == Origen::Dudoso && duda && !duda[0].esNulo() && duda[0].entero() == 1) {
            if (duda[1].entero() == 0) {
                f.origen = Origen::Ausente;
            } else {
                f.origen = Origen::Hallado;
                origenValores_.poner(origenValores_.size() - n, duda[2]);
            }
        }
    }

    // The destination key, for every row its rule may look up there.
    std::vector<std::string> clave;
    if (regla_->importe && f.origen != Origen::SinPreguntar) {
        const auto partes = partirCodigo(f.codigo, regla_->importe->ancho);
        clave = {partes.prefijo, partes.numero};
    } else if (!regla_->importe && f.origen == Origen::Hallado) {
        const std::size_t base = origenValores_.size() - n;
        clave = {textoDe(origenValores_[base + 1]), textoDe(origenValores_[base + 2]), textoDe(origenValores_[base + 3])};
    }
    if (!clave.empty()) {
        const auto [it, nueva] = clavesDelTrozo_.emplace(unir(clave), static_cast<std::uint32_t>(clavesPendientes_.size()));
        if (nueva) clavesPendientes_.push_back(std::move(clave));
        f.clave = it->second;
        f.conClave = true;
    }
    filas_.push_back(std::move(f));
}

void LecturaPorLotes::cerrarTrozo() {
    if (filas_.empty()) return;
    Trozo t;
    t.filas = filas_.size();
    t.filasDe = std::move(filas_);
    filas_ = {};
    t.origenValores = std::move(origenValores_);
    origenValores_ = {};
    t.sumasLeidas = std::move(sumasLeidas_);
    sumasLeidas_ = {};
    t.claves = std::move(clavesPendientes_);
    clavesPendientes_.clear();
    clavesDelTrozo_.clear();
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        trozos_.push_back(std::move(t));
    }
    cambio_.notify_all();
}

void LecturaPorLotes::buscarEnDestino(bd::Conexion& conexion) {
    // Each thread connects on its own, so that the audit read does not wait
    // for it; one that cannot connect leaves its stretches to the others, or
    // to the run. One that retires closes its connection at once; one that
    // runs out of stretches leaves it open, for the run to close beside its
    // own.
    bool abierta = false;
    try {
        // One a run before left open may have gone with its server since.
        if (conexion.conectada() && !conexion.responde()) conexion.desconectar();
        conexion.conectar();
        {
            Destino destino{conexion, {}};
            bool retirada = false;
            while (Trozo* t = siguienteTrozo()) {
                const Intento intento = buscar(*t, destino, &parada_);
                // Failures with nothing answered, or with the connection
                // gone, are no key's doing: the thread that met them leaves.
                if (intento.fallidas > 0 && (intento.logradas == 0 || !conexion.responde())) {
                    retirarse(*t, intento.error);
                    retirada = true;
                    break;
                }
                terminarTrozo(*t);
            }
            abierta = !retirada;
        }
    } catch (const bd::ErrorBaseDatos&) {
        if (!conexion.conectada() && !parada_.pedida()) {
            conexion.desconectar();
            const std::lock_guard<std::mutex> guarda(mutex_);
            --hilosVivos_;
            cambio_.notify_all();
            return;
        }
        guardarFalla();
    } catch (...) {
        guardarFalla();
    }
    if (!abierta) conexion.desconectar();
    const std::lock_guard<std::mutex> guarda(mutex_);
    --hilosVivos_;
    cambio_.notify_all();
}

LecturaPorLotes::Trozo* LecturaPorLotes::siguienteTrozo() {
    std::unique_lock<std::mutex> espera(mutex_);
    cambio_.wait(espera, [&] { return !devueltos_.empty() || siguiente_ < trozos_.size() || sinMasTrozos_ || falla_; });
    return falla_ ? nullptr : tomarTrozo();
}

LecturaPorLotes::Trozo* LecturaPorLotes::tomarTrozo() {
    if (!devueltos_.empty()) {
        Trozo* t = devueltos_.front();
        devueltos_.pop_front();
        return t;
    }
    return siguiente_ < trozos_.size() ? &trozos_[siguiente_++] : nullptr;
}

void LecturaPorLotes::terminarTrozo(Trozo& t) {
    t.claves.clear();
    t.claves.shrink_to_fit();
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        t.listo = true;
        filasBuscadas_ += t.filas;
    }
    cambio_.notify_all();
}

void LecturaPorLotes::retirarse(Trozo& t, const std::string& error) {
    const std::string motivo = error.substr(0, error.find_first_of("\r\n"));
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        avisos_.push_back(plataforma::ansi("Se retiró una conexión de búsqueda en el destino (") + motivo +
                          plataforma::ansi("); las demás siguen con sus tramos."));
    }
    // Once only: a stretch that fails so on a second connection too is
    // its keys' doing after all, and goes row by row.
    if (t.devuelto) {
        terminarTrozo(t);
        return;
    }
    t.devuelto = true;
    t.fallido = false;
    t.destino = t.conteo = t.sumas = Respuestas();
    t.sumaDeClave.clear();
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        devueltos_.push_back(&t);
    }
    cambio_.notify_all();
}

void LecturaPorLotes::avisar(VistaCorrida& vista) {
    std::vector<std::string> avisos;
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        avisos.swap(avisos_);
    }
    for (const auto& a : avisos) vista.avisar(a);
}

void LecturaPorLotes::guardarFalla() {
    const std::lock_guard<std::mutex> guarda(mutex_);
    if (!falla_) falla_ = std::current_exception();
    cambio_.notify_all();
}

LecturaPorLotes::Intento LecturaPorLotes::buscar(Trozo& t, Destino& destino, const Interrupcion* oido) {
    Intento intento;
    auto contar = [&intento](const Buscador& b) {
        intento.logradas += b.logradas();
        if (b.fallidas() > 0 && intento.fallidas == 0) intento.error = b.primerError();
        intento.fallidas += b.fallidas();
    };
    try {
        Buscador& busca = destino.buscador(regla_->destino);
        t.destino = busca.buscar(t.claves, oido);
        contar(busca);
        if (regla_->conteo) {
            Buscador& cuenta = destino.buscador(*regla_->conteo);
            t.conteo = cuenta.buscar(t.claves, oido);
            contar(cuenta);
        }
        if (regla_->sumasDestino) {
            std::vector<std::vector<std::string>> consecutivos;
            std::unordered_map<std::string, std::int64_t> lugar;
            t.sumaDeClave.assign(t.claves.size(), -1);
            for (std::size_t k = 0; k < t.claves.size(); ++k) {
                if (!t.destino.preguntada(k) || t.destino.filas(k) == 0) continue;
                std::string consecutivo;
                try {
                    consecutivo = std::to_string(t.destino.columna(k, 0).comoEntero());
                } catch (const bd::ErrorBaseDatos&) {
                    continue;
                }
                const auto [it, nuevo] = lugar.emplace(consecutivo, static_cast<std::int64_t>(consecutivos.size()));
                if (nuevo) consecutivos.push_back({consecutivo});
                t.sumaDeClave[k] = it->second;
            }
            Buscador& suma = destino.buscador(*regla_->sumasDestino);
            t.sumas = suma.buscar(consecutivos, oido);
            contar(suma);
        }
    } catch (const bd::ErrorBaseDatos& e) {
        if (parada_.pedida() || (interrupcion_ && interrupcion_->pedida())) throw CorridaInterrumpida();
        t.fallido = true;
        if (intento.fallidas++ == 0) intento.error = e.what();
    }
    return intento;
}

void LecturaPorLotes::resolverDudosos(const std::vector<Trozo*>& trozos) {
    std::vector<std::vector<std::string>> ids;
    std::unordered_map<std::int64_t, std::size_t> lugar;
    for (Trozo* t : trozos) {
        t->dudososResueltos = true;
        for (const Fila& f : t->filasDe)
            if (f.origen == Origen::Dudoso && lugar.emplace(f.idDoc, ids.size()).second)
                ids.push_back({std::to_string(f.idDoc)});
    }
    if (ids.empty()) return;
    Respuestas r;
    try {
        if (!origenDudosos_) origenDudosos_ = std::make_unique<Buscador>(origen_, regla_->origen);
        r = origenDudosos_->buscar(ids, interrupcion_);
    } catch (const bd::ErrorBaseDatos&) {
        if (interrupcion_) interrupcion_->comprobar();
        origenDudosos_.reset();
        for (Trozo* t : trozos)
            for (Fila& f : t->filasDe)
                if (f.origen == Origen::Dudoso) f.origen = Origen::SinPreguntar;
        return;
    }
    const std::size_t n = regla_->columnasOrigen.size();
    for (Trozo* t : trozos) {
        for (std::size_t i = 0; i < t->filasDe.size(); ++i) {
            Fila& f = t->filasDe[i];
            if (f.origen != Origen::Dudoso) continue;
            const std::size_t k = lugar[f.idDoc];
            if (!r.preguntada(k)) f.origen = Origen::SinPreguntar;
            else if (r.filas(k) == 0) f.origen = Origen::Ausente;
            // A voucher header found with an empty first column: its key was
            // not looked up, the rule does it.
            else if (!regla_->importe) f.origen = Origen::SinPreguntar;
            else {
                f.origen = Origen::Hallado;
                t->origenValores.poner(i * n, r.columna(k, 0));
            }
        }
    }
}

void LecturaPorLotes::buscarSumasDeOrigen(Trozo& t) {
    if (!regla_->sumasOrigen || sumasEnLectura_) return;
    std::vector<std::vector<std::string>> ids;
    for (const Fila& f : t.filasDe) {
        if (f.origen != Origen::Hallado || !f.conClave || t.fallido || !t.destino.preguntada(f.clave) ||
            t.destino.filas(f.clave) == 0)
            continue;
        if (t.sumaOrigenDeId.emplace(f.idDoc, ids.size()).second) ids.push_back({std::to_string(f.idDoc)});
    }
    if (ids.empty()) return;
    try {
        if (!origenSumas_) origenSumas_ = std::make_unique<Buscador>(origen_, *regla_->sumasOrigen);
        t.sumasOrigen = origenSumas_->buscar(ids, interrupcion_);
    } catch (const bd::ErrorBaseDatos&) {
        // The rule meets the error row by row, at its row.
        if (interrupcion_) interrupcion_->comprobar();
        origenSumas_.reset();
        t.sumaOrigenDeId.clear();
    }
}

FilaAuditoria LecturaPorLotes::fila(const Fila& f) const {
    return {textos_[f.fecha], textos_[f.tipo], textos_[f.oper],
            f.idNulo ? std::string{} : textoDe(bd::Valor::entero(f.idDoc)),
            f.codigo, tipos_[f.tipo], f.momento};
}

std::optional<Desenlace> LecturaPorLotes::desenlace(const Trozo& t, std::size_t i, const FilaAuditoria& fila) const {
    const Fila& f = t.filasDe.at(i);
    Desenlace d;
    if (f.origen == Origen::Ausente) return d;
    if (f.origen != Origen::Hallado) return std::nullopt;
    if (t.fallido || !f.conClave || !t.destino.preguntada(f.clave)) return std::nullopt;
    const std::size_t n = regla_->columnasOrigen.size();
    d.enOrigen = true;
    const bool en = t.destino.filas(f.clave) > 0;
    if (regla_->importe) {
        const bd::Valor o = t.origenValores[i * n];
        const bd::Valor dv = en ? t.destino.columna(f.clave, 0) : bd::Valor::nulo();
        d.encontrado = en;
        d.campos = {fila.codigo, fila.fecha, textoDe(o), en ? textoDe(dv) : std::string(noEncontrado)};
        d.importes = {{o, dv}};
        d.enDestino = en ? t.destino.filas(f.clave) : 0;
        if (regla_->conteo) {
            if (!t.conteo.preguntada(f.clave) || t.conteo.filas(f.clave) == 0) return std::nullopt;
            try {
                d.enDestino = t.conteo.columna(f.clave, 0).comoEntero();
            } catch (const bd::ErrorBaseDatos&) {
                return std::nullopt;
            }
        }
        return d;
    }
    d.enDestino = en ? t.destino.filas(f.clave) : 0;
    if (!en) {
        d.campos = {fila.codigo, fila.fecha, textoDe(t.origenValores[i * n]), textoDe(t.origenValores[i * n + 1]),
                    std::string(noEncontrado), std::string(noEncontrado)};
        return d;
    }
    const std::int64_t s = t.sumaDeClave.at(f.clave);
    if (s < 0 || !t.sumas.preguntada(static_cast<std::size_t>(s)) || t.sumas.filas(static_cast<std::size_t>(s)) == 0)
        return std::nullopt;
    bd::Valor so0, so1;
    if (sumasEnLectura_) {
        const bd::Valor respondida = t.sumasLeidas[i * 3];
        if (respondida.esNulo() || respondida.entero() != 1) return std::nullopt;
        so0 = t.sumasLeidas[i * 3 + 1];
        so1 = t.sumasLeidas[i * 3 + 2];
    } else {
        const auto lugar = t.sumaOrigenDeId.find(f.idDoc);
        if (lugar == t.sumaOrigenDeId.end() || !t.sumasOrigen.preguntada(lugar->second) ||
            t.sumasOrigen.filas(lugar->second) == 0)
            return std::nullopt;
        so0 = t.sumasOrigen.columna(lugar->second, 0);
        so1 = t.sumasOrigen.columna(lugar->second, 1);
    }
    const bd::Valor sd0 = t.sumas.columna(static_cast<std::size_t>(s), 0), sd1 = t.sumas.columna(static_cast<std::size_t>(s), 1);
    d.encontrado = true;
    d.importes = {{so0, sd0}, {so1, sd1}};
    d.campos = {fila.codigo, fila.fecha, textoDe(so0), textoDe(so1), textoDe(sd0), textoDe(sd1)};
    return d;
}

}  // namespace autorep::conciliacion
