#include "lote/revision.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "app/inicio.h"
#include "ctrlaccesoautorep/enomanejada.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "platform/cp1252.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "platform/texto.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "reconcile/reglas.h"
#include "reconcile/resumen_html.h"
#include "reconcile/resumen_json.h"

namespace autorep::lote {

namespace {

using conciliacion::ParRevision;

// Findings kept per pair for the summary page; the report holds them all.
constexpr std::size_t hallazgosPorPar = 300;

// A run's display, as one line of the revision's board.
class VistaPar final : public conciliacion::VistaCorrida {
public:
    VistaPar(TableroRevision& tablero, const std::string& compania, std::int64_t tipo)
        : tablero_(tablero), compania_(compania), tipo_(tipo) {}
    void mostrarEstado(const std::string&) override {}
    void ocultarEstado() override {}
    void iniciarProgreso(std::size_t total) override {
        total_ = total;
        hechos_ = 0;
        tablero_.avanzar(compania_, tipo_, 0, total_);
    }
    void mostrarRegistro() override {}
    void ocultarRegistro() override {}
    void avanzar(const std::string&) override {
        ++hechos_;
        if (hechos_ % 256 == 0 || hechos_ == total_) tablero_.avanzar(compania_, tipo_, hechos_, total_);
    }
    void avisarEspera(const std::string& reporte) override {
        tablero_.avisar(compania_, tipo_, conciliacion::textoEsperaReporte(reporte));
    }

private:
    TableroRevision& tablero_;
    const std::string& compania_;
    std::int64_t tipo_;
    std::size_t total_ = 0, hechos_ = 0;
};

// Message boxes of a run have nowhere to go in a revision: its errors are
// recorded with their pair.
class AvisadorMudo final : public app::Avisador {
public:
    void mensaje(const std::string&) override {}
    void informacion(const std::string&) override {}
};

// <directorio>/revisiones/AAAAMMDD-HHMMSS, or -2, -3... when two start in one second.
std::string carpetaPorOmision(const std::string& directorio, const plataforma::FechaHora& m) {
    const std::string padre = plataforma::rutaArchivo(directorio, "\\revisiones");
    if (!plataforma::crearCarpetas(padre))
        throw ErrorRevision(plataforma::ansi("No se pudo crear la carpeta ") + padre + ".");
    char nombre[32];
    std::snprintf(nombre, sizeof nombre, "%04d%02u%02u-%02u%02u%02u", m.fecha.anio, m.fecha.mes, m.fecha.dia, m.hora.hora,
                  m.hora.minuto, m.hora.segundo);
    for (int n = 1; n < 1000; ++n) {
        const std::string carpeta =
            plataforma::rutaArchivo(padre, "\\" + std::string(nombre) + (n > 1 ? "-" + std::to_string(n) : ""));
        if (plataforma::crearCarpeta(carpeta)) return carpeta;
        if (!plataforma::existe(carpeta)) break;
    }
    throw ErrorRevision(plataforma::ansi("No se pudo crear la carpeta de la revisión en ") + padre + ".");
}

std::string carpetaDada(const std::string& carpeta) {
    if (plataforma::existe(carpeta) && !plataforma::carpetaVacia(carpeta))
        throw ErrorRevision(plataforma::ansi("La carpeta de revisión ") + carpeta +
                            plataforma::ansi(" no está vacía: use otra, o vacíela, para no mezclar dos revisiones."));
    if (!plataforma::crearCarpetas(carpeta))
        throw ErrorRevision(plataforma::ansi("No se pudo crear la carpeta de revisión ") + carpeta + ".");
    return carpeta;
}

// A company code names a folder of the revision: it may not leave it.
bool aptoComoCarpeta(const std::string& codigo) {
    return !codigo.empty() && codigo != "." && codigo != ".." && codigo.find_first_of("/\\:") == std::string::npos;
}

struct Trabajo {
    std::string compania;
    std::vector<std::size_t> pares;  // indexes into the revision's pairs, its types in order
};

}  // namespace

ResultadoRevision ejecutarRevision(const OpcionesLote& o, EntornoRevision& entorno) {
    const auto inicio = entorno.reloj.ahora();
    ResultadoRevision resultado;
    conciliacion::Revision& revision = resultado.revision;
    revision.inicio = plataforma::textoIso8601(inicio);
    revision.origen = o.origen;
    revision.destino = o.destino;
    revision.desde = o.desde;
    revision.hasta = o.hasta;
    revision.margenMinutos = o.margenMinutos;
    revision.tolerancia = conciliacion::Decimal::leer(o.tolerancia).value_or(conciliacion::Decimal{});

    AvisadorMudo mudo;
    app::ValoresIngreso valores;
    const acceso::ENoManejada registrar(mudo, entorno.regional, entorno.reloj, [&] { return entorno.directorio; },
                                        [&] { return valores.UsuarioOrigen; });

    // The companies first: without the origin's list there is no pair to run.
    principal::ListaCompanias lista;
    try {
        bd::Conexion DbGeneral("DbGeneral");
        DbGeneral.ponerParametro("SQLDialect", "3");
        valores = app::ingresarPorArgumentos(DbGeneral, {o.origen, o.usuario, o.clave, o.compania});
        lista.abrir(DbGeneral);
    } catch (const std::exception& e) {
        registrar(e.what());
        throw ErrorRevision(acceso::traducirMensaje(e.what()));
    }
    valores.ServidorDestino = o.destino;
    valores.UsuarioDestino = plataforma::mayusculasAscii(o.usuarioDestino);
    valores.ClaveDestino = o.claveDestino;

    std::vector<std::string> companias = o.companias;
    if (o.todasLasCompanias)
        for (const auto& c : lista.filas()) companias.push_back(c.codigo);
    std::sort(companias.begin(), companias.end());
    companias.erase(std::unique(companias.begin(), companias.end()), companias.end());
    std::vector<std::int64_t> tipos;
    if (o.todosLosTipos) tipos = conciliacion::tiposConRegla();
    for (const auto& t : o.tipos) tipos.push_back(*conciliacion::tipoEntero(t));
    std::sort(tipos.begin(), tipos.end());
    tipos.erase(std::unique(tipos.begin(), tipos.end()), tipos.end());

    // The logs go to the application directory: it must be there, not made up.
    if (!plataforma::existe(entorno.directorio))
        throw ErrorRevision(plataforma::ansi("El directorio de la aplicación ") + entorno.directorio +
                            plataforma::ansi(" no existe."));
    resultado.carpeta =
        plataforma::rutaAbsoluta(o.revision ? carpetaDada(*o.revision) : carpetaPorOmision(entorno.directorio, inicio));

    std::vector<ParRevision> pares;
    std::vector<Trabajo> trabajos;
    for (const auto& c : companias) {
        Trabajo t{c, {}};
        const auto destino = o.destinos.find(c);
        for (const auto tipo : tipos) {
            t.pares.push_back(pares.size());
            ParRevision p;
            p.compania = c;
            p.nombreCompania = lista.nombreDe(c);
            p.companiaDestino = destino != o.destinos.end() ? destino->second : c;
            p.tipo = tipo;
            pares.push_back(std::move(p));
        }
        trabajos.push_back(std::move(t));
    }
    std::vector<char> corrido(pares.size(), 0);
    std::atomic<bool> cortada{false};

    const std::optional<plataforma::FechaHora> pendientesDesde =
        o.margenMinutos > 0 ? std::optional(plataforma::sumarMinutos(inicio, -o.margenMinutos)) : std::nullopt;
    auto pedida = [&] { return entorno.interrupcion && entorno.interrupcion->pedida(); };

    auto revisarCompania = [&](const Trabajo& t) {
        auto fallarTodo = [&](const std::string& mensaje) {
            for (const std::size_t i : t.pares) {
                pares[i].error = mensaje;
                corrido[i] = 1;
                entorno.tablero.terminar(pares[i]);
            }
        };
        if (pedida()) return;
        if (lista.nombreDe(t.compania).empty()) {
            fallarTodo(plataforma::ansi("La compañía \"") + t.compania + plataforma::ansi("\" no existe en COMPANIA de ") +
                       app::rutaGeneral(o.origen) + ".");
            return;
        }
        bd::Conexion DbCia("DbCia"), DBEnvio("DBEnvio");
        principal::configurarConexionCompania(DbCia);
        principal::configurarConexionCompania(DBEnvio);
        try {
            principal::conectarCompania(DbCia, valores, t.compania);
        } catch (const std::exception& e) {
            registrar(e.what());
            fallarTodo(acceso::traducirMensaje(e.what()));
            return;
        }
        const std::string carpeta = plataforma::rutaArchivo(resultado.carpeta, "\\" + t.compania);
        if (!aptoComoCarpeta(t.compania) || !plataforma::crearCarpetas(carpeta)) {
            fallarTodo(plataforma::ansi("No se pudo crear la carpeta ") + carpeta + plataforma::ansi(" de la compañía."));
            return;
        }
        for (const std::size_t i : t.pares) {
            if (pedida()) return;
            ParRevision& p = pares[i];
            if (!conciliacion::reglaImporte(p.tipo) && p.tipo != conciliacion::tipoComprobante) {
                // A type without a rule looks nothing up: reporting it equal would pass what nobody checked.
                p.error = plataforma::ansi("El tipo ") + std::to_string(p.tipo) +
                          plataforma::ansi(" no tiene regla de comparación: no se puede revisar.");
                corrido[i] = 1;
                entorno.tablero.terminar(p);
                continue;
            }
            entorno.tablero.empezar(p.compania, p.tipo);
            VistaPar vista(entorno.tablero, p.compania, p.tipo);
            conciliacion::EntornoCorrida corrida{entorno.regional, entorno.reloj, [&] { return entorno.directorio; },
                                                 mudo, vista, entorno.interrupcion, entorno.esperaReporte,
                                                 [&] { return carpeta; }};
            conciliacion::EntradasCorrida entradas{p.nombreCompania,
                                                   p.companiaDestino,
                                                   std::to_string(p.tipo),
                                                   plataforma::FechaHora{o.desde, {0, 0, 0, 0}},
                                                   plataforma::FechaHora{o.hasta, {23, 59, 59, 999}},
                                                   valores.ServidorDestino,
                                                   valores.UsuarioDestino,
                                                   valores.ClaveDestino,
                                                   o.filaAFila,
                                                   {.pendientesDesde = pendientesDesde,
                                                    .pendientesHasta = entorno.reloj.ahora(),
                                                    .tolerancia = revision.tolerancia,
                                                    .duplicados = true,
                                                    .totales = true,
                                                    .maximoHallazgos = hallazgosPorPar}};
            const auto t0 = std::chrono::steady_clock::now();
            // What the pair counted before a failure or a stop stays with it,
            // as do the whole lines its report holds.
            try {
                conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, corrida, p.resumen);
                p.estado = conciliacion::estadoDe(p.resumen);
            } catch (const conciliacion::CorridaInterrumpida& e) {
                p.error = e.what();
                cortada = true;
            } catch (const std::exception& e) {
                registrar(e.what());
                p.error = acceso::traducirMensaje(e.what());
            }
            p.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            corrido[i] = 1;
            entorno.tablero.terminar(p);
            if (!p.error.empty() && pedida()) return;
        }
    };

    // Each worker takes the next company; one company's types share its connections.
    std::atomic<std::size_t> siguiente{0};
    const std::size_t hilos =
        std::max<std::size_t>(1, std::min<std::size_t>(o.paralelo ? o.paralelo : std::thread::hardware_concurrency(),
                                                       trabajos.size()));
    auto trabajar = [&] {
        for (std::size_t k; (k = siguiente++) < trabajos.size();) revisarCompania(trabajos[k]);
    };
    std::vector<std::thread> grupo;
    for (std::size_t h = 1; h < hilos; ++h) grupo.emplace_back(trabajar);
    trabajar();
    for (auto& h : grupo) h.join();

    for (std::size_t i = 0; i < pares.size(); ++i)
        (corrido[i] ? revision.pares : revision.sinRevisar).push_back(std::move(pares[i]));
    // A stop that came once every pair was done leaves a whole revision.
    revision.interrumpida = cortada || !revision.sinRevisar.empty();
    conciliacion::concluir(revision);
    revision.fin = plataforma::textoIso8601(entorno.reloj.ahora());

    resultado.resumen = plataforma::rutaArchivo(resultado.carpeta, "\\resumen.json");
    const std::string pagina = plataforma::rutaArchivo(resultado.carpeta, "\\resumen.html");
    if (!plataforma::escribirArchivo(resultado.resumen, conciliacion::jsonRevision(revision)) ||
        !plataforma::escribirArchivo(pagina, conciliacion::paginaRevision(revision)))
        throw ErrorRevision(plataforma::ansi("No se pudieron escribir los resúmenes en ") + resultado.carpeta + ".");
    return resultado;
}

}  // namespace autorep::lote
