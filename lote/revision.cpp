#include "lote/revision.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <map>
#include <system_error>
#include <thread>

#include "ctrlaccesoautorep/enomanejada.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "lote/par.h"
#include "platform/cp1252.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "platform/texto.h"
#include "reconcile/corrida.h"
#include "reconcile/reglas.h"
#include "reconcile/resumen_html.h"
#include "reconcile/resumen_json.h"

namespace autorep::lote {

namespace {

using conciliacion::ParRevision;
using plataforma::ansi;

// Findings kept per pair for the summary page; the report holds them all.
constexpr std::size_t hallazgosPorPar = 300;

// A run's display, as one line of the revision's board.
class VistaPar final : public conciliacion::VistaCorrida {
public:
    VistaPar(TableroRevision& tablero, const std::string& compania, std::int64_t tipo)
        : tablero_(tablero), compania_(compania), tipo_(tipo) {}
    void mostrarEstado(const std::string&) override {}
    void ocultarEstado() override {}
    void fase(conciliacion::Fase fase, std::size_t hechos, std::size_t total) override {
        fase_ = fase;
        tablero_.avanzar(compania_, tipo_, fase, hechos, total);
    }
    void iniciarProgreso(std::size_t total) override {
        fase_ = conciliacion::Fase::Escribiendo;
        total_ = total;
        hechos_ = 0;
        tablero_.avanzar(compania_, tipo_, fase_, 0, total_);
    }
    void mostrarRegistro() override {}
    void ocultarRegistro() override {}
    void avanzar(const std::string&) override {
        ++hechos_;
        if (hechos_ % 256 == 0 || hechos_ == total_) tablero_.avanzar(compania_, tipo_, fase_, hechos_, total_);
    }
    void avisarEspera(const std::string& reporte) override {
        tablero_.avisar(compania_, tipo_, conciliacion::textoEsperaReporte(reporte));
    }
    void avisar(const std::string& texto) override { tablero_.avisar(compania_, tipo_, texto); }

private:
    TableroRevision& tablero_;
    const std::string& compania_;
    std::int64_t tipo_;
    conciliacion::Fase fase_ = conciliacion::Fase::LeyendoAuditoria;
    std::size_t total_ = 0, hechos_ = 0;
};

// Message boxes of a run have nowhere to go in a revision: its errors are
// recorded with their pair.
class AvisadorMudo final : public app::Avisador {
public:
    void mensaje(const std::string&) override {}
    void informacion(const std::string&) override {}
};

std::string porque() { return plataforma::deSistema(std::strerror(errno)); }

// <directorio>/revisiones/AAAAMMDD-HHMMSS, or -2, -3... when two start in one second.
std::string carpetaPorOmision(const std::string& directorio, const plataforma::FechaHora& m) {
    const std::string padre = plataforma::rutaArchivo(directorio, "\\revisiones");
    if (!plataforma::crearCarpetas(padre))
        throw ErrorRevision(ansi("No se pudo crear la carpeta ") + padre + ": " + porque() + ".");
    char nombre[32];
    std::snprintf(nombre, sizeof nombre, "%04d%02u%02u-%02u%02u%02u", m.fecha.anio, m.fecha.mes, m.fecha.dia, m.hora.hora,
                  m.hora.minuto, m.hora.segundo);
    for (int n = 1; n < 1000; ++n) {
        const std::string carpeta =
            plataforma::rutaArchivo(padre, "\\" + std::string(nombre) + (n > 1 ? "-" + std::to_string(n) : ""));
        if (plataforma::crearCarpeta(carpeta)) return carpeta;
        if (!plataforma::existe(carpeta))
            throw ErrorRevision(ansi("No se pudo crear la carpeta de la revisión ") + carpeta + ": " + porque() + ".");
    }
    throw ErrorRevision(ansi("No se pudo crear la carpeta de la revisión en ") + padre + ansi(": ya hay mil de ese segundo."));
}

std::string carpetaDada(const std::string& carpeta) {
    if (plataforma::existe(carpeta) && !plataforma::carpetaVacia(carpeta))
        throw ErrorRevision(ansi("La carpeta de revisión ") + carpeta +
                            ansi(" no está vacía: use otra, o vacíela, para no mezclar dos revisiones."));
    if (!plataforma::crearCarpetas(carpeta))
        throw ErrorRevision(ansi("No se pudo crear la carpeta de revisión ") + carpeta + ": " + porque() + ".");
    return carpeta;
}

// One company's pairs, its types in order: they share its connections.
struct Trabajo {
    std::string compania;
    std::vector<std::size_t> pares;  // indexes into the revision's pairs
};

// The pairs the options name, in (company, type) order. A pair that cannot
// be reviewed whatever the databases say (a company not in COMPANIA, a code
// that cannot name a folder, a type without a rule) carries its error from
// here and connects nothing.
std::vector<ParRevision> elegirPares(const OpcionesLote& o, const principal::ListaCompanias& lista) {
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

    // Codes that differ only in letter case would share one folder on Windows.
    std::map<std::string, int> plegados;
    for (const auto& c : companias) ++plegados[plataforma::mayusculasAscii(c)];

    std::vector<ParRevision> pares;
    for (const auto& c : companias) {
        std::string error = motivoCarpeta(c);
        if (error.empty() && plegados[plataforma::mayusculasAscii(c)] > 1)
            error = ansi("El código de compañía \"") + plataforma::textoVisible(c) +
                    ansi("\" difiere de otro de la revisión solo en mayúsculas: Windows les daría la misma carpeta.");
        const auto* fila = lista.buscar(c);
        if (error.empty() && !fila) {
            try {
                companiaListada(lista, c, o.origen);
            } catch (const std::exception& e) {
                error = e.what();
            }
        }
        const auto destino = o.destinos.find(c);
        for (const auto tipo : tipos) {
            ParRevision p;
            p.compania = c;
            p.nombreCompania = fila ? fila->nombre : std::string();
            p.companiaDestino = destino != o.destinos.end() ? destino->second : c;
            p.tipo = tipo;
            p.error = error.empty() ? motivoSinRegla(tipo) : error;
            pares.push_back(std::move(p));
        }
    }
    return pares;
}

// The origin server's clock: the audit rows carry its time, not this machine's.
plataforma::FechaHora relojDelOrigen(bd::Conexion& DbGeneral) {
    plataforma::FechaHora ahora{};
    bool leido = false;
    DbGeneral.recorrer("SELECT CURRENT_TIMESTAMP FROM RDB$DATABASE", {}, [&](const std::vector<bd::Valor>& v) {
        ahora = v.at(0).momento();
        leido = true;
    });
    if (!leido) throw std::runtime_error("CURRENT_TIMESTAMP sin fila");
    return ahora;
}

// The revision at work: its pairs, run company by company on worker threads.
class Revisor {
public:
    Revisor(const OpcionesLote& o, EntornoRevision& entorno, const app::ValoresIngreso& valores,
            const principal::ListaCompanias& lista, ResultadoRevision& resultado, conciliacion::Conteo conteo)
        : o_(o), entorno_(entorno), valores_(valores), lista_(lista), resultado_(resultado), conteo_(std::move(conteo)),
          registrar_(mudo_, entorno.regional, entorno.reloj, [&] { return entorno_.directorio; },
                     [&] { return valores_.UsuarioOrigen; }) {}

    void correr(std::vector<ParRevision> pares) {
        pares_ = std::move(pares);
        hechos_.assign(pares_.size(), 0);
        for (std::size_t i = 0; i < pares_.size(); ++i) {
            if (trabajos_.empty() || trabajos_.back().compania != pares_[i].compania)
                trabajos_.push_back({pares_[i].compania, {}});
            trabajos_.back().pares.push_back(i);
        }
        repartir();
        auto& revision = resultado_.revision;
        for (std::size_t i = 0; i < pares_.size(); ++i)
            (hechos_[i] ? revision.pares : revision.sinRevisar).push_back(std::move(pares_[i]));
        // A stop that came once every pair was done leaves a whole revision.
        revision.interrumpida = cortada_ || !revision.sinRevisar.empty();
    }

private:
    // Each worker takes the next company. A worker that cannot be started
    // leaves its companies to the others: nothing goes unreviewed for it.
    void repartir() {
        const std::size_t hilos = std::max<std::size_t>(
            1, std::min<std::size_t>(o_.paralelo ? o_.paralelo : std::thread::hardware_concurrency(), trabajos_.size()));
        auto trabajar = [this] {
            for (std::size_t k; (k = siguiente_++) < trabajos_.size();) revisarCompania(trabajos_[k]);
        };
        std::vector<std::thread> grupo;
        for (std::size_t h = 1; h < hilos; ++h) {
            try {
                grupo.emplace_back(trabajar);
            } catch (const std::system_error&) {
                break;
            }
        }
        trabajar();
        for (auto& h : grupo) h.join();
    }

    bool pedida() const { return entorno_.interrupcion && entorno_.interrupcion->pedida(); }

    void terminar(std::size_t i) {
        hechos_[i] = 1;
        entorno_.tablero.terminar(pares_[i]);
    }

    void revisarCompania(const Trabajo& t) {
        if (pedida()) return;
        std::vector<std::size_t> aCorrer;
        for (const std::size_t i : t.pares) {
            if (pares_[i].error.empty()) aCorrer.push_back(i);
            else terminar(i);
        }
        if (aCorrer.empty()) return;
        auto fallarTodo = [&](const std::string& mensaje) {
            for (const std::size_t i : aCorrer) {
                pares_[i].error = mensaje;
                terminar(i);
            }
        };
        const std::string carpeta = plataforma::rutaArchivo(resultado_.carpeta, "\\" + t.compania);
        if (!plataforma::crearCarpetas(carpeta)) {
            fallarTodo(ansi("No se pudo crear la carpeta ") + carpeta + ansi(" de la compañía: ") + porque() + ".");
            return;
        }
        bd::Conexion DbCia("DbCia"), DBEnvio("DBEnvio");
        principal::configurarConexionCompania(DbCia);
        principal::configurarConexionCompania(DBEnvio);
        try {
            conectarOrigen(DbCia, valores_, t.compania);
        } catch (const std::exception& e) {
            registrar_(e.what());
            fallarTodo(e.what());
            return;
        }
        for (const std::size_t i : aCorrer) {
            if (pedida()) return;
            correrPar(pares_[i], DbCia, DBEnvio, carpeta);
            terminar(i);
            if (!pares_[i].error.empty() && pedida()) return;
        }
    }

    void correrPar(ParRevision& p, bd::Conexion& DbCia, bd::Conexion& DBEnvio, const std::string& carpeta) {
        entorno_.tablero.empezar(p.compania, p.tipo);
        VistaPar vista(entorno_.tablero, p.compania, p.tipo);
        conciliacion::EntornoCorrida corrida{entorno_.regional,      entorno_.reloj, [&] { return entorno_.directorio; },
                                             mudo_,                  vista,          entorno_.interrupcion,
                                             entorno_.esperaReporte, [&] { return carpeta; }};
        const auto entradas = entradasPar(o_, valores_, *lista_.buscar(p.compania), p.companiaDestino,
                                          std::to_string(p.tipo), conteo_);
        const auto t0 = std::chrono::steady_clock::now();
        // What the pair counted before a failure or a stop stays with it, as
        // do the whole lines its report holds.
        try {
            conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, corrida, p.resumen);
            p.estado = conciliacion::estadoDe(p.resumen);
        } catch (const conciliacion::CorridaInterrumpida& e) {
            p.error = e.what();
            p.incompleto = true;
            cortada_ = true;
        } catch (const std::exception& e) {
            registrar_(e.what());
            p.error = acceso::traducirMensaje(e.what());
        }
        p.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

    const OpcionesLote& o_;
    EntornoRevision& entorno_;
    const app::ValoresIngreso& valores_;
    const principal::ListaCompanias& lista_;
    ResultadoRevision& resultado_;
    const conciliacion::Conteo conteo_;
    AvisadorMudo mudo_;
    const acceso::ENoManejada registrar_;
    std::vector<ParRevision> pares_;
    std::vector<char> hechos_;
    std::vector<Trabajo> trabajos_;
    std::atomic<std::size_t> siguiente_{0};
    std::atomic<bool> cortada_{false};
};

// The page first and resumen.json last, each published whole: a monitor that
// sees resumen.json sees a finished revision, and its estado_salida is the
// exit status. Summaries that cannot be written make the revision fail.
void escribirResumenes(ResultadoRevision& r, const EntornoRevision& entorno) {
    auto& revision = r.revision;
    const auto publicar = [&](const std::string& ruta, const std::string& bytes, std::string& error) {
        return entorno.publicar ? entorno.publicar(ruta, bytes, error) : plataforma::publicarArchivo(ruta, bytes, error);
    };
    const std::string pagina = plataforma::rutaArchivo(r.carpeta, "\\resumen.html");
    const std::string json = plataforma::rutaArchivo(r.carpeta, "\\resumen.json");
    auto fallar = [&](const std::string& ruta, const std::string& error) {
        if (revision.estadoSalida != conciliacion::salida::interrumpida) revision.estadoSalida = conciliacion::salida::error;
        revision.mensaje = ansi("No se pudo escribir el resumen ") + ruta + ": " + error + ".";
    };
    std::string error;
    if (!publicar(pagina, conciliacion::paginaRevision(revision), error)) fallar(pagina, error);
    if (publicar(json, conciliacion::jsonRevision(revision), error)) {
        r.resumen = json;
        return;
    }
    fallar(json, error);
    // The page may say the revision passed: it must not outlive the failure.
    std::string ignorado;
    if (!publicar(pagina, conciliacion::paginaRevision(revision), ignorado)) plataforma::borrarArchivo(pagina);
}

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

    // The companies and the origin's clock first: without them there is no pair to run.
    principal::ListaCompanias lista;
    app::ValoresIngreso valores;
    plataforma::FechaHora ahoraOrigen;
    {
        AvisadorMudo mudo;
        const acceso::ENoManejada registrar(mudo, entorno.regional, entorno.reloj, [&] { return entorno.directorio; },
                                            [&] { return valores.UsuarioOrigen; });
        bd::Conexion DbGeneral("DbGeneral");
        try {
            valores = ingresarOrigen(DbGeneral, o, lista);
            ahoraOrigen = entorno.relojOrigen ? entorno.relojOrigen() : relojDelOrigen(DbGeneral);
        } catch (const std::exception& e) {
            registrar(e.what());
            throw ErrorRevision(e.what());
        }
    }
    revision.ahoraOrigen = plataforma::textoIso(ahoraOrigen);

    // The logs go to the application directory: it must be there, not made up.
    if (!plataforma::existe(entorno.directorio))
        throw ErrorRevision(ansi("El directorio de la aplicación ") + entorno.directorio + ansi(" no existe."));
    resultado.carpeta =
        plataforma::rutaAbsoluta(o.revision ? carpetaDada(*o.revision) : carpetaPorOmision(entorno.directorio, inicio));

    conciliacion::Conteo conteo;
    if (o.margenMinutos > 0) {
        conteo.pendientesDesde = plataforma::sumarMinutos(ahoraOrigen, -o.margenMinutos);
        conteo.pendientesHasta = ahoraOrigen;
    }
    conteo.tolerancia = revision.tolerancia;
    conteo.duplicados = true;
    conteo.totales = true;
    conteo.maximoHallazgos = hallazgosPorPar;
    Revisor(o, entorno, valores, lista, resultado, conteo).correr(elegirPares(o, lista));

    conciliacion::concluir(revision);
    revision.fin = plataforma::textoIso8601(entorno.reloj.ahora());
    escribirResumenes(resultado, entorno);
    return resultado;
}

}  // namespace autorep::lote
