#include "reconcile/corrida.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <deque>
#include <stdexcept>
#include <thread>

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
struct Limpieza {
    VistaCorrida& vista;
    bd::Conexion& DbCia;
    bd::Conexion& DBEnvio;
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
        DbCia.desconectar();
        DBEnvio.desconectar();
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

void recorrer(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno,
              std::optional<Reporte>& reporte, Resumen& resumen);

// The audit rows in their text forms, for the rules to look up row by row.
void leerAuditoria(bd::Conexion& DbCia, const std::string& consulta, const EntornoCorrida& entorno,
                   std::deque<FilaAuditoria>& filas) {
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
    std::size_t avisadas = 0;
    DbCia.recorrer(consulta, {},
                   [&](const std::vector<bd::Valor>& v) {
                       comprobar(entorno);
                       if (filas.empty()) exigirColumnas();
                       filas.push_back(filaAuditoria(v[iFecha], v[iHora], v[iTipo], v[iOper], v[iIdDoc], v[iCodigo],
                                                     entorno.regional));
                       if (filas.size() - avisadas >= 8192) {
                           avisadas = filas.size();
                           entorno.vista.fase(Fase::LeyendoAuditoria, avisadas, 0);
                       }
                   },
                   &columnas);
    if (filas.empty()) exigirColumnas();
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

std::string consultaAuditoria(const std::string& tipo, const plataforma::Fecha& desde, const plataforma::Fecha& hasta) {
    return "SELECT * FROM AUDITORIA WHERE TIDO_COD = " + tipo +
           " AND ((AUDI_OPER = 'I') OR (AUDI_OPER = 'U')) AND AUDI_FECHA >= " + bd::citar(plataforma::textoIso(desde)) +
           " AND AUDI_FECHA <= " + bd::citar(plataforma::textoIso(hasta)) + " ORDER BY AUDI_IDDOC, AUDI_FECHA, AUDI_HORA";
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

    DBEnvio.desconectar();
    DBEnvio.ponerParametro("Database", app::rutaCompania(e.servidorDestino, e.companiaDestino));
    DBEnvio.ponerParametro("User_Name", e.usuarioDestino);
    DBEnvio.ponerParametro("password", e.claveDestino);
    try {
        DBEnvio.conectar();
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
    Limpieza limpieza{vista, DbCia, DBEnvio, reporte, resumen};
    try {
        recorrer(DbCia, DBEnvio, e, entorno, reporte, resumen);
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
    DbCia.desconectar();
    DBEnvio.desconectar();
    vista.ocultarEstado();
}

namespace {

// The audit rows, their lookups and their lines.
void recorrer(bd::Conexion& DbCia, bd::Conexion& DBEnvio, const EntradasCorrida& e, EntornoCorrida& entorno,
              std::optional<Reporte>& reporte, Resumen& resumen) {
    auto& vista = entorno.vista;

    // The audit rows, read whole before the first line (the bar's maximum is
    // their count): with their lookups done in batches when the type allows
    // it, else kept in their text forms for the rules to look up row by row.
    const auto& regional = entorno.regional;
    const std::string consulta = consultaAuditoria(e.tipo, fechaDe(e.desde, "inicial"), fechaDe(e.hasta, "final"));
    std::unique_ptr<LecturaPorLotes> lotes;
    if (!e.filaAFila)
        lotes = LecturaPorLotes::leer(DbCia, DBEnvio, consulta, *tipoEntero(e.tipo), regional, e.conteo, vista,
                                      entorno.interrupcion);
    std::deque<FilaAuditoria> filas;  // no doubling copies on the way to a million rows
    if (!lotes) leerAuditoria(DbCia, consulta, entorno, filas);
    const std::size_t total = lotes ? lotes->filas() : filas.size();
    vista.fase(Fase::Escribiendo, 0, total);
    vista.iniciarProgreso(total);
    vista.mostrarRegistro();

    const std::string ruta =
        Reporte::nombreArchivo(entorno.directorioReporte ? entorno.directorioReporte() : entorno.directorio(), e.tipo);
    reporte.emplace(ruta);
    resumen.reporte = ruta;
    esperarReporte(*reporte, entorno);

    Reglas reglas(DbCia, DBEnvio, regional, e.conteo);
    for (std::size_t i = 0; i < total; ++i) {
        comprobar(entorno);
        const FilaAuditoria fila = lotes ? lotes->fila(i) : std::move(filas[i]);
        ++resumen.registros;
        vista.avanzar(fila.tipo + "," + fila.oper + "," + fila.fecha);
        std::optional<Desenlace> d;
        if (lotes) d = lotes->desenlace(i, fila);
        if (d && fila.tipoEntero == tipoComprobante) reglas.completarComprobante(fila, *d);
        if (d) anotar(fila, *d, *reporte, resumen, e.conteo);
        else reglas.aplicar(fila, *reporte, resumen);
    }
}

}  // namespace

}  // namespace autorep::conciliacion
