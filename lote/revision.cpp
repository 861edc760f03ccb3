#include "lote/revision.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_set>

#include "ctrlaccesoautorep/enomanejada.h"
#include "ctrlaccesoautorep/traduccion.h"
#include "lote/par.h"
#include "platform/cp1252.h"
#include "platform/rutas.h"
#include "platform/sistema.h"
#include "platform/texto.h"
#include "reconcile/corrida.h"
#include "reconcile/hallazgos.h"
#include "reconcile/historial.h"
#include "reconcile/reglas.h"
#include "reconcile/revision_leida.h"
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
    void conocerTotal(std::size_t total, std::size_t) override {
        total_ = total;
        tablero_.avanzar(compania_, tipo_, fase_, hechos_, total_);
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
            const principal::ListaCompanias& lista, ResultadoRevision& resultado, conciliacion::Conteo conteo,
            const conciliacion::RevisionLeida* anterior,
            const std::map<std::pair<std::string, std::int64_t>, std::vector<conciliacion::Hallazgo>>* porVerificar)
        : o_(o), entorno_(entorno), valores_(valores), lista_(lista), resultado_(resultado), conteo_(std::move(conteo)),
          anterior_(anterior), porVerificar_(porVerificar),
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
        resultado_.sentencias = sentencias_;
        resultado_.filasAuditoria = filasAuditoria_;
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
        // The statements of the company's connections, however its pairs end.
        struct Contar {
            Revisor& r;
            bd::Conexion &a, &b;
            ~Contar() { r.sentencias_ += a.sentenciasEjecutadas() + b.sentenciasEjecutadas(); }
        } contar{*this, DbCia, DBEnvio};
        // The pairs leave both connections open for the next one, and their
        // lookup connections too.
        std::vector<std::unique_ptr<bd::Conexion>> busquedas;
        struct Cerrar {
            bd::Conexion &a, &b;
            std::vector<std::unique_ptr<bd::Conexion>>& busquedas;
            ~Cerrar() { bd::desconectarTodas({&a, &b}, busquedas); }
        } cerrar{DbCia, DBEnvio, busquedas};
        bool primero = true;
        for (const std::size_t i : aCorrer) {
            if (pedida()) return;
            // A connection kept from the pair before may have gone with its
            // server in between: it is opened afresh, as every pair's was.
            if (!primero)
                for (bd::Conexion* c : {&DbCia, &DBEnvio})
                    if (c->conectada() && !c->responde()) c->desconectar();
            primero = false;
            correrPar(pares_[i], DbCia, DBEnvio, busquedas, carpeta);
            terminar(i);
            if (!pares_[i].error.empty() && pedida()) return;
        }
    }

    void correrPar(ParRevision& p, bd::Conexion& DbCia, bd::Conexion& DBEnvio,
                   std::vector<std::unique_ptr<bd::Conexion>>& busquedas, const std::string& carpeta) {
        entorno_.tablero.empezar(p.compania, p.tipo);
        VistaPar vista(entorno_.tablero, p.compania, p.tipo);
        conciliacion::EntornoCorrida corrida{entorno_.regional,      entorno_.reloj, [&] { return entorno_.directorio; },
                                             mudo_,                  vista,          entorno_.interrupcion,
                                             entorno_.esperaReporte, [&] { return carpeta; }};
        corrida.conservarConexiones = true;
        corrida.busquedasLibres = &busquedas;
        // Every finding goes to the pair's findings file, and its document to
        // the set the revision before is compared with.
        std::string lineas;
        std::unordered_set<std::string> documentos, leidos;
        auto conteo = conteo_;
        conteo.anotarHallazgo = [&](const conciliacion::Hallazgo& h) {
            lineas += conciliacion::lineaHallazgo(h);
            documentos.insert(h.codigo);
        };
        // A re-check resolves only what it read again.
        if (porVerificar_) conteo.anotarFila = [&](const std::string& codigo) { leidos.insert(codigo); };
        auto entradas = entradasPar(o_, valores_, *lista_.buscar(p.compania), p.companiaDestino,
                                    std::to_string(p.tipo), conteo);
        // A re-check reads only the audit rows of the findings it checks again.
        if (porVerificar_) {
            std::vector<conciliacion::FilaBuscada> filas;
            for (const auto& h : porVerificar_->at({p.compania, p.tipo}))
                filas.push_back({h.idDoc, h.codigo, h.oper, h.momento});
            entradas.soloFilas = std::move(filas);
        }
        std::size_t filasAuditoria = 0;
        corrida.filasAuditoria = &filasAuditoria;
        const auto t0 = std::chrono::steady_clock::now();
        // What the pair counted before a failure or a stop stays with it, as
        // do the whole lines its report holds.
        try {
            conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, corrida, p.resumen);
            p.estado = conciliacion::estadoDe(p.resumen);
            guardarHallazgos(p, carpeta, lineas);
            comparar(p, documentos, porVerificar_ ? &leidos : nullptr);
        } catch (const conciliacion::CorridaInterrumpida& e) {
            p.error = e.what();
            p.incompleto = true;
            cortada_ = true;
        } catch (const std::exception& e) {
            registrar_(e.what());
            p.error = acceso::traducirMensaje(e.what());
        }
        p.segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        filasAuditoria_ += filasAuditoria;
    }

    void avisar(std::string aviso) {
        const std::lock_guard<std::mutex> cerrojo(avisos_);
        resultado_.revision.avisos.push_back(std::move(aviso));
    }

    // Published whole like the summaries: a later revision or a re-check
    // must not take a cut file for the whole list.
    void guardarHallazgos(ParRevision& p, const std::string& carpeta, const std::string& lineas) {
        const std::string nombre = conciliacion::nombreArchivoHallazgos(p.tipo);
        std::string error;
        if (plataforma::publicarArchivo(plataforma::rutaArchivo(carpeta, "\\" + nombre), lineas, error))
            p.hallazgos = p.compania + "/" + nombre;
        else
            avisar(ansi("No se pudo escribir la lista de hallazgos de ") + p.compania + ", tipo " +
                   std::to_string(p.tipo) + ": " + error + ansi(". La próxima revisión no podrá compararse con este par."));
    }

    // New, persistent and resolved documents beside the same pair of the
    // revision before; the listed findings marked, the persistent first.
    void comparar(ParRevision& p, const std::unordered_set<std::string>& documentos,
                  const std::unordered_set<std::string>* leidos) {
        if (!anterior_) return;
        const auto previo = std::find_if(anterior_->pares.begin(), anterior_->pares.end(), [&](const auto& a) {
            return a.compania == p.compania && a.companiaDestino == p.companiaDestino && a.tipo == p.tipo;
        });
        // A pair that failed or was cut short there found what it found so far.
        if (previo == anterior_->pares.end() || previo->hallazgos.empty() || previo->incompleto ||
            previo->estado == "error") {
            avisar(ansi("No se comparó ") + p.compania + ", tipo " + std::to_string(p.tipo) + ansi(" con la revisión ") +
                   anterior_->carpeta + ansi(": allí ese par no se completó."));
            return;
        }
        std::string error;
        const auto hallados = conciliacion::HallazgosAnteriores::leer(previo->hallazgos, error);
        if (!hallados) {
            avisar(ansi("No se comparó ") + p.compania + ", tipo " + std::to_string(p.tipo) +
                   ansi(", con la revisión anterior: ") + error + ".");
            return;
        }
        p.comparacion = hallados->comparar(documentos, o_.desde, o_.hasta, leidos);
        auto& lista = p.resumen.hallazgos;
        for (auto& h : lista)
            h.marca = hallados->contiene(h.codigo) ? conciliacion::Hallazgo::Marca::Persistente
                                                   : conciliacion::Hallazgo::Marca::Nuevo;
        std::stable_partition(lista.begin(), lista.end(), [](const conciliacion::Hallazgo& h) {
            return h.marca == conciliacion::Hallazgo::Marca::Persistente;
        });
    }

    const OpcionesLote& o_;
    EntornoRevision& entorno_;
    const app::ValoresIngreso& valores_;
    const principal::ListaCompanias& lista_;
    ResultadoRevision& resultado_;
    const conciliacion::Conteo conteo_;
    const conciliacion::RevisionLeida* anterior_;
    const std::map<std::pair<std::string, std::int64_t>, std::vector<conciliacion::Hallazgo>>* porVerificar_;
    std::mutex avisos_;
    AvisadorMudo mudo_;
    const acceso::ENoManejada registrar_;
    std::vector<ParRevision> pares_;
    std::vector<char> hechos_;
    std::vector<Trabajo> trabajos_;
    std::atomic<std::size_t> siguiente_{0};
    std::atomic<bool> cortada_{false};
    std::atomic<std::size_t> sentencias_{0}, filasAuditoria_{0};
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

namespace {

// The audit rows a re-check looks at again, by pair (company, type).
using FilasPorPar = std::map<std::pair<std::string, std::int64_t>, std::vector<conciliacion::Hallazgo>>;

// The revision a re-check checks again: its servers (unless given), pairs,
// range and rules go into the options, its findings into `filas`; a pair
// that did not complete there has no findings to trust, and goes into
// `sinCompletar` as an error pair: nothing of it was ever checked.
conciliacion::RevisionLeida prepararReverificacion(OpcionesLote& o, FilasPorPar& filas,
                                                  std::vector<ParRevision>& sinCompletar) {
    const std::string carpeta = plataforma::rutaAbsoluta(*o.reverificar);
    std::string error;
    auto r = conciliacion::leerRevision(carpeta, error);
    if (!r) throw ErrorRevision(ansi("No se puede volver a verificar la revisión ") + carpeta + ": " + error + ".");
    if (!r->conHallazgos())
        throw ErrorRevision(ansi("La revisión ") + carpeta +
                            ansi(" no guarda la lista de sus hallazgos (la escribió una versión anterior del "
                                 "programa): no se puede volver a verificar."));
    if (o.origen.empty()) o.origen = r->origen;
    if (o.destino.empty()) o.destino = r->destino;
    o.desde = r->desde;
    o.hasta = r->hasta;
    o.margenMinutos = r->margenMinutos;
    o.tolerancia = r->tolerancia;
    o.todasLasCompanias = false;
    o.todosLosTipos = false;
    o.companias.clear();
    o.tipos.clear();
    o.destinos.clear();
    for (const auto& par : r->pares) {
        if (par.hallazgos.empty()) {
            if (par.estado == "error" || par.incompleto) {
                ParRevision p;
                p.compania = par.compania;
                p.companiaDestino = par.companiaDestino;
                p.tipo = par.tipo;
                p.error = ansi("El par no se completó en la revisión ") + carpeta +
                          ansi(": no hay hallazgos suyos que volver a verificar; revíselo con una revisión completa.");
                sinCompletar.push_back(std::move(p));
            }
            continue;
        }
        auto hallazgos = conciliacion::leerHallazgos(par.hallazgos, error);
        if (!hallazgos)
            throw ErrorRevision(ansi("No se puede volver a verificar la revisión ") + carpeta + ": " + error + ".");
        if (hallazgos->empty()) continue;
        filas[{par.compania, par.tipo}] = std::move(*hallazgos);
        if (std::find(o.companias.begin(), o.companias.end(), par.compania) == o.companias.end())
            o.companias.push_back(par.compania);
        const std::string tipo = std::to_string(par.tipo);
        if (std::find(o.tipos.begin(), o.tipos.end(), tipo) == o.tipos.end()) o.tipos.push_back(tipo);
        o.destinos[par.compania] = par.companiaDestino;
    }
    return std::move(*r);
}

// The revision this one is compared with: the one named, else the latest
// beside it with the same servers. One that cannot be read is a warning.
std::optional<conciliacion::RevisionLeida> revisionAnterior(const OpcionesLote& o, const std::string& carpeta,
                                                            const std::string& inicio,
                                                            std::vector<std::string>& avisos) {
    if (o.sinComparar) return std::nullopt;
    std::optional<conciliacion::RevisionLeida> anterior;
    if (o.compararCon) {
        const std::string dir = plataforma::rutaAbsoluta(*o.compararCon);
        std::string error;
        anterior = conciliacion::leerRevision(dir, error);
        if (!anterior) {
            avisos.push_back(ansi("No se comparó con la revisión ") + dir + ": " + error + ".");
            return std::nullopt;
        }
    } else {
        anterior = conciliacion::buscarAnterior(plataforma::carpetaPadre(carpeta), carpeta, o.origen, o.destino, inicio,
                                                avisos);
        if (!anterior) return std::nullopt;
    }
    if (!anterior->conHallazgos()) {
        avisos.push_back(ansi("No se comparó con la revisión ") + anterior->carpeta +
                         ansi(": no guarda la lista de sus hallazgos (la escribió una versión anterior del programa)."));
        return std::nullopt;
    }
    return anterior;
}

}  // namespace

ResultadoRevision ejecutarRevision(const OpcionesLote& opciones, EntornoRevision& entorno) {
    const auto inicio = entorno.reloj.ahora();
    ResultadoRevision resultado;
    conciliacion::Revision& revision = resultado.revision;
    OpcionesLote o = opciones;
    FilasPorPar porVerificar;
    std::vector<ParRevision> sinCompletar;
    std::optional<conciliacion::RevisionLeida> anterior;
    if (o.reverificar) {
        anterior = prepararReverificacion(o, porVerificar, sinCompletar);
        revision.reverificacionDe = anterior->carpeta;
    }
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
    if (!o.reverificar) anterior = revisionAnterior(o, resultado.carpeta, revision.inicio, revision.avisos);
    if (anterior) revision.comparadaCon = anterior->carpeta;

    conciliacion::Conteo conteo;
    if (o.margenMinutos > 0) {
        conteo.pendientesDesde = plataforma::sumarMinutos(ahoraOrigen, -o.margenMinutos);
        conteo.pendientesHasta = ahoraOrigen;
    }
    conteo.tolerancia = revision.tolerancia;
    conteo.duplicados = true;
    conteo.totales = true;
    conteo.maximoHallazgos = hallazgosPorPar;
    auto pares = elegirPares(o, lista);
    if (o.reverificar) {
        std::erase_if(pares, [&](const ParRevision& p) { return !porVerificar.count({p.compania, p.tipo}); });
        for (auto& p : sinCompletar) {
            if (const auto* fila = lista.buscar(p.compania)) p.nombreCompania = fila->nombre;
            pares.push_back(std::move(p));
        }
        std::stable_sort(pares.begin(), pares.end(), [](const ParRevision& a, const ParRevision& b) {
            return std::tie(a.compania, a.tipo) < std::tie(b.compania, b.tipo);
        });
    }
    Revisor(o, entorno, valores, lista, resultado, conteo, anterior ? &*anterior : nullptr,
            o.reverificar ? &porVerificar : nullptr)
        .correr(std::move(pares));

    conciliacion::concluir(revision);
    revision.fin = plataforma::textoIso8601(entorno.reloj.ahora());
    escribirResumenes(resultado, entorno);
    // The history is a view of the summaries, which monitors read: failing
    // to update it is worth a warning, not a change of the revision's status.
    if (!resultado.resumen.empty()) {
        // Old revisions go only after one that completed: nights of a replica
        // out of reach must not wipe out the last good revisions.
        const bool completa = revision.estadoSalida != conciliacion::salida::error &&
                              revision.estadoSalida != conciliacion::salida::interrumpida;
        if (o.conservar && !completa)
            revision.avisos.push_back(ansi("No se borraron revisiones antiguas (--conservar): esta no se completó."));
        auto historial = conciliacion::actualizarHistorial(plataforma::carpetaPadre(resultado.carpeta), resultado.carpeta,
                                                           completa ? o.conservar : std::nullopt);
        for (auto& aviso : historial.avisos) revision.avisos.push_back(std::move(aviso));
    }
    return resultado;
}

}  // namespace autorep::lote
