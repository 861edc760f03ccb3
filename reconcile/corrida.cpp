#include "reconcile/corrida.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <deque>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "app/inicio.h"
#include "app/log_texto.h"
#include "db/consulta.h"
#include "platform/cp1252.h"
#include "platform/rutas.h"
#include "platform/texto.h"
#include "db/error_bd.h"
#include "db/sql.h"
#include "reconcile/importe.h"
#include "reconcile/lotes.h"
#include "reconcile/reglas.h"
#include "reconcile/reporte.h"

namespace autorep::conciliacion {

namespace {

plataforma::Fecha fechaDe(const std::optional<plataforma::FechaHora>& valor, const char* cual) {
    if (!valor) throw std::runtime_error(plataforma::ansi("La fecha ") + cual + plataforma::ansi(" está vacía: indique una fecha."));
    return valor->fecha;
}

// The clean-up of a run cut short by an error; the error itself goes on.
// The lookup connections closed at once with the run's own two, or alone
// when the run's two stay open.
void cerrarConexiones(bd::Conexion& DbCia, bd::Conexion& DBEnvio,
                      const std::vector<std::unique_ptr<bd::Conexion>>& busquedas, bool propias) noexcept {
    std::vector<bd::Conexion*> dos;
    if (propias) dos = {&DbCia, &DBEnvio};
    bd::desconectarTodas(std::move(dos), busquedas);
}

struct Limpieza {
    VistaCorrida& vista;
    bd::Conexion& DbCia;
    bd::Conexion& DBEnvio;
    std::vector<std::unique_ptr<bd::Conexion>>& busquedas;
    std::optional<Reporte>& reporte;
    Resumen& resumen;
    bool activa = true;
    ~Limpieza() {
        if (!activa) return;
        if (reporte) {
            try {
                reporte->cerrar();
            } catch (...) {
            }
            // After a failed write, what the file holds, not what was handed to it.
            resumen.lineas = reporte->lineasEscritas();
        }
        vista.ocultarRegistro();
        cerrarConexiones(DbCia, DBEnvio, busquedas, true);
        vista.ocultarEstado();
    }
};

void comprobar(const EntornoCorrida& entorno) {
    if (entorno.interrupcion) entorno.interrupcion->comprobar();
}

// Waits for the lock of a report that another run is writing, polling, so
// that a stop asked for meanwhile is heard.
void esperarReporte(Reporte& reporte, const EntornoCorrida& entorno) {
    if (reporte.bloqueado()) return;
    entorno.vista.avisarEspera(reporte.ruta());
    const auto limite = std::chrono::steady_clock::now() + entorno.esperaReporte;
    while (!reporte.bloquear()) {
        comprobar(entorno);
        if (std::chrono::steady_clock::now() >= limite)
            throw ErrorReporte(plataforma::ansi("El reporte ") + reporte.ruta() +
                               plataforma::ansi(" sigue en uso por otra corrida después de esperar ") +
                               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(entorno.esperaReporte).count()) +
                               plataforma::ansi(" segundos: esta corrida no escribió ninguna línea."));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        entorno.vista.seguirEsperando();
    }
    entorno.vista.mostrarEstado(plataforma::ansi("Revisando información ... "));
}

// The lookup connections a batched read leaves open go to `busquedas`.
void recorrer(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno,
              std::optional<Reporte>& reporte, Resumen& resumen, std::vector<std::unique_ptr<bd::Conexion>>& busquedas);

// The audit rows in their text forms, for the rules to look up row by row;
// the first `saltar` are left out (the batches handed them over already).
// The reading stage is shown with `fases` (no line written yet).
void leerAuditoria(bd::Conexion& DbCia, const std::string& consulta, const EntornoCorrida& entorno,
                   std::deque<FilaAuditoria>& filas, std::size_t saltar, bool fases) {
    std::vector<std::string> columnas;
    std::size_t iFecha = 0, iHora = 0, iTipo = 0, iIdDoc = 0, iOper = 0, iCodigo = 0;
    auto columna = [&columnas](std::string_view nombre) {
        for (std::size_t i = 0; i < columnas.size(); ++i)
            if (plataforma::igualesSinMayusculas(columnas[i], nombre)) return i;
        throw bd::ErrorBaseDatos("CAuditor: Field '" + std::string(nombre) + "' not found");
    };
    auto exigirColumnas = [&] {
        for (std::string_view c : {"AUDI_ID", "AUDI_USUARIO", "AUDI_FECHA", "AUDI_HORA", "TIDO_COD", "AUDI_IDDOC",
                                   "AUDI_OPER", "AUDI_COD", "AUDI_ENVIO", "AUDI_TICO", "AUDI_RAZON", "AUDI_MOTIVO",
                                   "AUDI_IPCLIENTE"})
            columna(c);
        iFecha = columna("AUDI_FECHA");
        iHora = columna("AUDI_HORA");
        iTipo = columna("TIDO_COD");
        iIdDoc = columna("AUDI_IDDOC");
        iOper = columna("AUDI_OPER");
        iCodigo = columna("AUDI_COD");
    };
    std::size_t avisadas = 0, leidas = 0;
    DbCia.recorrer(consulta, {},
                   [&](const std::vector<bd::Valor>& v) {
                       comprobar(entorno);
                       if (leidas++ == 0) exigirColumnas();
                       if (leidas <= saltar) return;
                       filas.push_back(filaAuditoria(v[iFecha], v[iHora], v[iTipo], v[iOper], v[iIdDoc], v[iCodigo],
                                                     entorno.regional));
                       if (fases && filas.size() - avisadas >= 8192) {
                           avisadas = filas.size();
                           entorno.vista.fase(Fase::LeyendoAuditoria, avisadas, 0);
                       }
                   },
                   &columnas);
    if (leidas == 0) exigirColumnas();
}

}  // namespace

std::string textoEsperaReporte(const std::string& reporte) {
    return plataforma::ansi("Esperando a que otra corrida termine con el reporte ") + reporte + " ...";
}

std::optional<std::int64_t> tipoEntero(const std::string& tipo) {
    std::string_view s = tipo;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    std::int64_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || p != s.data() + s.size()) return std::nullopt;
    return v;
}

namespace {

std::string condicionAuditoria(const std::string& tipo, const plataforma::Fecha& desde, const plataforma::Fecha& hasta) {
    return "SELECT * FROM AUDITORIA WHERE TIDO_COD = " + tipo +
           " AND ((AUDI_OPER = 'I') OR (AUDI_OPER = 'U')) AND AUDI_FECHA >= " + bd::citar(plataforma::textoIso(desde)) +
           " AND AUDI_FECHA <= " + bd::citar(plataforma::textoIso(hasta));
}

constexpr std::string_view ordenAuditoria = " ORDER BY AUDI_IDDOC, AUDI_FECHA, AUDI_HORA";

// Room for the ids in one statement: Firebird 3 takes 64 KB of text, and the
// batched read widens the select list with its origin subqueries.
constexpr std::size_t maximoTextoIds = 48 * 1024;
// Whole-number ids to each BETWEEN ... AND IN (...) branch of the audit query.
constexpr std::size_t idsPorRango = 16;

std::optional<std::int64_t> entero(const std::string& s) {
    std::int64_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || p != s.data() + s.size()) return std::nullopt;
    return v;
}

}  // namespace

std::string consultaAuditoria(const std::string& tipo, const plataforma::Fecha& desde, const plataforma::Fecha& hasta) {
    return condicionAuditoria(tipo, desde, hasta) + std::string(ordenAuditoria);
}

std::vector<std::string> consultasAuditoria(const std::string& tipo, const plataforma::Fecha& desde,
                                            const plataforma::Fecha& hasta, const std::vector<FilaBuscada>& filas,
                                            bool idEntero, std::size_t idsPorConsulta) {
    std::vector<std::pair<std::int64_t, std::string>> ids;
    for (const auto& f : filas) {
        const auto v = entero(f.idDoc);
        // No row holds it: no id at all (AUDI_IDDOC NULL), or not a number in a number column.
        if (f.idDoc.empty() || (idEntero && !v)) continue;
        ids.emplace_back(v.value_or(0), f.idDoc);
    }
    // The statements go one after the other and their lines follow in the
    // same order, so the ids are sorted as the query's ORDER BY sorts them:
    // numerically, as the integer AUDI_IDDOC is. A text AUDI_IDDOC is sorted
    // by its bytes: each statement's rows come in the server's order, but
    // across statements the order is the bytes', which the column's collation
    // may not share.
    if (idEntero) std::sort(ids.begin(), ids.end());
    else std::sort(ids.begin(), ids.end(), [](const auto& x, const auto& y) { return x.second < y.second; });
    ids.erase(std::unique(ids.begin(), ids.end(),
                          [idEntero](const auto& x, const auto& y) { return idEntero ? x.first == y.first : x.second == y.second; }),
              ids.end());

    const std::size_t porConsulta = std::max<std::size_t>(1, std::min(idsPorConsulta, maximoIdsPorConsulta));
    std::vector<std::string> consultas;
    for (std::size_t desdeId = 0; desdeId < ids.size();) {
        std::string condicion;
        std::size_t hastaId = desdeId;
        if (idEntero) {
            // Firebird 3 tests an IN list value by value on every row the date
            // range yields: without an index on AUDI_IDDOC, 1,000 ids over a
            // million rows cost as much as the whole run. Short lists behind
            // a range of their own leave each row a few comparisons, and an
            // index on AUDI_IDDOC still serves every branch.
            for (; hastaId < ids.size() && hastaId - desdeId < porConsulta && condicion.size() < maximoTextoIds;) {
                const std::size_t fin = std::min({hastaId + idsPorRango, ids.size(), desdeId + porConsulta});
                std::string lista;
                for (std::size_t i = hastaId; i < fin; ++i) lista += (i == hastaId ? "" : ", ") + std::to_string(ids[i].first);
                condicion += std::string(condicion.empty() ? "" : " OR ") + "(AUDI_IDDOC BETWEEN " +
                             std::to_string(ids[hastaId].first) + " AND " + std::to_string(ids[fin - 1].first) +
                             " AND AUDI_IDDOC IN (" + lista + "))";
                hastaId = fin;
            }
        } else {
            // Quoted, an id compares with a text column as its own text.
            std::string lista;
            for (; hastaId < ids.size() && hastaId - desdeId < porConsulta; ++hastaId) {
                const std::string literal = bd::citar(ids[hastaId].second);
                if (hastaId > desdeId && lista.size() + 2 + literal.size() > maximoTextoIds) break;
                lista += (hastaId == desdeId ? "" : ", ") + literal;
            }
            condicion = "AUDI_IDDOC IN (" + lista + ")";
        }
        consultas.push_back(condicionAuditoria(tipo, desde, hasta) + " AND (" + condicion + ")" +
                            std::string(ordenAuditoria));
        desdeId = hastaId;
    }
    return consultas;
}

Resumen ejecutarCorrida(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno) {
    Resumen resumen;
    ejecutarCorrida(DbCia, DBEnvio, e, entorno, resumen);
    return resumen;
}

void ejecutarCorrida(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno,
                     Resumen& resumen) {
    comprobar(entorno);
    if (e.companiaOrigen.empty()) {
        entorno.avisador.mensaje(plataforma::ansi("Debe indicar la compañía de origen."));
        resumen.fin = Resumen::Fin::SinCompania;
        return;
    }
    // The type code goes into SQL and into a file name: only a whole number may.
    if (!tipoEntero(e.tipo))
        throw std::runtime_error(plataforma::ansi("El tipo a revisar \"") + e.tipo +
                                 plataforma::ansi("\" no es un número entero."));
    // The login puts one server in both boxes: with the origin's own company
    // code the run would compare the origin with itself and find it all equal.
    const std::string rutaDestino = app::rutaCompania(e.servidorDestino, e.companiaDestino);
    if (plataforma::mismaRuta(rutaDestino, DbCia.parametros().valorOVacio("Database")))
        throw std::runtime_error(plataforma::ansi("La base de destino ") + rutaDestino +
                                 plataforma::ansi(" es la misma base de la compañía de origen: no hay nada que comparar."));

    auto& vista = entorno.vista;
    vista.mostrarEstado(plataforma::ansi("Revisando información ... "));

    try {
        conectarDestino(DBEnvio, e);
    } catch (const std::exception& error) {
        const std::string ruta = DBEnvio.parametros().valorOVacio("Database");
        const auto ahora = entorno.reloj.ahora();
        app::agregarRegistro(plataforma::rutaArchivo(entorno.directorio(), "\\errorenvio.txt"),
                             {plataforma::textoFecha(ahora.fecha, entorno.regional),
                              plataforma::textoHora(ahora.hora, entorno.regional),
                              "No se pudo conectar con el servidor " + ruta});
        vista.ocultarEstado();
        // Without a destination there is nothing to compare: the run says so
        // instead of ending as if it had found nothing.
        throw ErrorDestino(plataforma::ansi("No se pudo conectar con el servidor de destino ") + ruta + ": " +
                           error.what());
    }

    // A stop asked for also cancels the statement at work on either side.
    const Interrupcion::Registro cancelables(entorno.interrupcion, {&DbCia, &DBEnvio});
    std::optional<Reporte> reporte;
    std::vector<std::unique_ptr<bd::Conexion>> busquedas;
    Limpieza limpieza{vista, DbCia, DBEnvio, busquedas, reporte, resumen};
    try {
        recorrer(DbCia, DBEnvio, e, entorno, reporte, resumen, busquedas);
    } catch (const bd::ErrorBaseDatos&) {
        // The cancel of a statement, when a stop was asked for, is that stop.
        comprobar(entorno);
        throw;
    }

    // A report that cannot be closed is an error like any other: the clean-up
    // above still hides the run display and disconnects.
    reporte->cerrar();
    resumen.lineas = reporte->lineasEscritas();
    limpieza.activa = false;
    vista.ocultarRegistro();
    // A revision keeps the run's own two for its next pair, and its lookup
    // connections when it takes them.
    if (entorno.conservarConexiones && entorno.busquedasLibres) {
        for (auto& c : busquedas)
            if (c->conectada()) entorno.busquedasLibres->push_back(std::move(c));
        busquedas.clear();
    }
    cerrarConexiones(DbCia, DBEnvio, busquedas, !entorno.conservarConexiones);
    vista.ocultarEstado();
}

void conectarDestino(bd::Conexion& DBEnvio, const EntradasCorrida& e) {
    const std::string ruta = app::rutaCompania(e.servidorDestino, e.companiaDestino);
    const auto& p = DBEnvio.parametros();
    if (DBEnvio.conectada() && p.valorOVacio("Database") == ruta && p.valorOVacio("User_Name") == e.usuarioDestino &&
        p.valorOVacio("password") == e.claveDestino)
        return;
    DBEnvio.desconectar();
    DBEnvio.ponerParametro("Database", ruta);
    DBEnvio.ponerParametro("User_Name", e.usuarioDestino);
    DBEnvio.ponerParametro("password", e.claveDestino);
    DBEnvio.conectar();
}

namespace {

// Whether AUDI_IDDOC is declared a whole number (SMALLINT, INTEGER or BIGINT
// without decimals), which the ids of a restricted run are then compared as.
bool idDocEntero(bd::Conexion& DbCia) {
    bool entera = false;
    DbCia.recorrer("SELECT F.RDB$FIELD_TYPE, F.RDB$FIELD_SCALE FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON "
                   "F.RDB$FIELD_NAME = RF.RDB$FIELD_SOURCE WHERE RF.RDB$RELATION_NAME = 'AUDITORIA' AND "
                   "RF.RDB$FIELD_NAME = 'AUDI_IDDOC'",
                   {}, [&entera](const std::vector<bd::Valor>& v) {
                       const std::int64_t tipo = v[0].comoEntero();
                       entera = (tipo == 7 || tipo == 8 || tipo == 16) && v[1].comoEntero() == 0;
                   });
    return entera;
}

// The rows a restricted run asks for, by the values that name them.
class Buscadas {
public:
    explicit Buscadas(const std::vector<FilaBuscada>& filas) {
        for (const auto& f : filas) claves_.emplace(f.idDoc, f.codigo, f.oper, f.momento);
    }
    bool contiene(const FilaAuditoria& f) const { return claves_.count({f.idDoc, f.codigo, f.oper, f.momento}) > 0; }

private:
    std::set<std::tuple<std::string, std::string, std::string, plataforma::FechaHora>> claves_;
};

// The audit rows, their lookups and their lines.
void recorrer(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno,
              std::optional<Reporte>& reporte, Resumen& resumen, std::vector<std::unique_ptr<bd::Conexion>>& busquedas) {
    auto& vista = entorno.vista;

    // The lines are written as the audit rows arrive, when the type's
    // lookups go in batches: a stretch is written once the destination has
    // answered for it, and forgotten. The rows the rules look up one by one
    // are read whole first, so the bar knows their count. The report opens
    // with the first line (or when the reads end), so a read that fails at
    // once leaves none. A restricted run reads its documents' rows a
    // statement at a time and writes the rows asked for.
    const auto& regional = entorno.regional;
    const auto desde = fechaDe(e.desde, "inicial"), hasta = fechaDe(e.hasta, "final");
    const std::vector<std::string> consultas =
        !e.soloFilas ? std::vector<std::string>{consultaAuditoria(e.tipo, desde, hasta)}
        : e.soloFilas->empty()
            ? std::vector<std::string>{}
            : consultasAuditoria(e.tipo, desde, hasta, *e.soloFilas, idDocEntero(DbCia), e.idsPorConsulta);
    const std::optional<Buscadas> buscadas = e.soloFilas ? std::optional<Buscadas>(*e.soloFilas) : std::nullopt;
    auto contar = [&](std::size_t leidas) {
        if (entorno.filasAuditoria) *entorno.filasAuditoria += leidas;
    };

    std::optional<Reglas> reglas;
    auto abrir = [&](std::size_t total) {
        vista.fase(Fase::Escribiendo, 0, total);
        vista.iniciarProgreso(total);
        vista.mostrarRegistro();
        const std::string ruta = Reporte::nombreArchivo(
            entorno.directorioReporte ? entorno.directorioReporte() : entorno.directorio(), e.tipo);
        reporte.emplace(ruta);
        resumen.reporte = ruta;
        esperarReporte(*reporte, entorno);
        reglas.emplace(DbCia, DBEnvio, regional, e.conteo);
    };
    auto escribir = [&](const FilaAuditoria& fila, std::optional<Desenlace> d) {
        comprobar(entorno);
        ++resumen.registros;
        if (e.conteo.anotarFila) e.conteo.anotarFila(fila.codigo);
        vista.avanzar(fila.tipo + "," + fila.oper + "," + fila.fecha);
        if (d && fila.tipoEntero == tipoComprobante) reglas->completarComprobante(fila, *d);
        if (d) anotar(fila, *d, *reporte, resumen, e.conteo);
        else reglas->aplicar(fila, *reporte, resumen);
    };

    // Rows read for the rules and not yet written; written before any later
    // statement's batches, so the lines keep the statements' order.
    std::deque<FilaAuditoria> pendientes;  // no doubling copies on the way to a million rows
    auto escribirPendientes = [&](bool ultimas) {
        if (!reporte) abrir(ultimas ? pendientes.size() : 0);
        else if (ultimas) vista.conocerTotal(resumen.registros + pendientes.size(), resumen.registros);
        for (auto& fila : pendientes) escribir(std::move(fila), std::nullopt);
        pendientes.clear();
    };

    for (const auto& consulta : consultas) {
        comprobar(entorno);
        std::size_t entregadas = 0;
        if (!e.filaAFila) {
            if (auto lotes = LecturaPorLotes::crear(DbCia, DBEnvio, consulta, *tipoEntero(e.tipo), regional, e.conteo,
                                                    entorno.interrupcion, entorno.busquedasLibres)) {
                if (!pendientes.empty()) escribirPendientes(false);
                const bool completa = lotes->leer(vista, !reporte, [&](const FilaAuditoria& fila, std::optional<Desenlace> d) {
                    if (buscadas && !buscadas->contiene(fila)) return;
                    if (!reporte) abrir(0);
                    escribir(fila, std::move(d));
                });
                entregadas = lotes->entregadas();
                for (auto& c : lotes->terminar()) busquedas.push_back(std::move(c));
                contar(entregadas);
                if (completa) continue;
            }
        }
        // Row by row: the whole statement, or what follows the rows the batches handed over.
        std::deque<FilaAuditoria> filas;
        leerAuditoria(DbCia, consulta, entorno, filas, entregadas, !reporte);
        contar(filas.size());
        for (auto& fila : filas)
            if (!buscadas || buscadas->contiene(fila)) pendientes.push_back(std::move(fila));
    }
    escribirPendientes(true);
}

}  // namespace

}  // namespace autorep::conciliacion
