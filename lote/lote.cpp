// autorep-lote: the reconciliation as a headless command for scheduled runs.
// It drives the same run and rules as the window program and ends with an
// exit status: 0 all equal, 1 differences or missing documents, 2 it could
// not complete, 130 interrupted.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/avisador.h"
#include "app/diraplicacion.h"
#include "app/inicio.h"
#include "lote/opciones_lote.h"
#include "lote/revision.h"
#include "lote/par.h"
#include "lote/tablero_terminal.h"
#include "ctrlaccesoautorep/enomanejada.h"
#include "platform/cp1252.h"
#include "platform/regional.h"
#include "platform/registro.h"
#include "platform/reloj.h"
#include "platform/senales.h"
#include "platform/sistema.h"
#include "platform/texto.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"
#include "reconcile/revision.h"

using namespace autorep;

namespace {

void escribirError(const std::string& texto) {
    const std::string linea = plataforma::aSistema(texto) + "\n";
    std::fwrite(linea.data(), 1, linea.size(), stderr);
}

// Message boxes become lines on standard error.
class AvisadorConsola final : public app::Avisador {
public:
    void mensaje(const std::string& texto) override { escribirError(texto); }
    void informacion(const std::string& texto) override { escribirError(texto); }
};

// A progress bar on standard error, drawn only on a terminal: it names the
// stage of the run and, once the stage's size is known, the time left.
class VistaTerminal final : public conciliacion::VistaCorrida {
public:
    VistaTerminal() : terminal_(isatty(STDERR_FILENO) == 1) {}
    void mostrarEstado(const std::string&) override {}
    void ocultarEstado() override {
        if (terminal_ && dibujada_) std::fputs("\n", stderr);
    }
    void fase(conciliacion::Fase fase, std::size_t hechos, std::size_t total) override {
        using conciliacion::Fase;
        if (!enFase_ || fase != fase_ || hechos < hechos_) inicio_ = std::chrono::steady_clock::now();
        enFase_ = true;
        fase_ = fase;
        hechos_ = hechos;
        total_ = total;
        dibujar(false);
    }
    void iniciarProgreso(std::size_t total) override {
        fase_ = conciliacion::Fase::Escribiendo;
        total_ = total;
        hechos_ = 0;
        inicio_ = std::chrono::steady_clock::now();
    }
    void conocerTotal(std::size_t total, std::size_t) override { total_ = total; }
    void mostrarRegistro() override {}
    void ocultarRegistro() override { dibujar(true); }
    void avanzar(const std::string&) override {
        ++hechos_;
        dibujar(false);
    }
    void avisarEspera(const std::string& reporte) override { escribirError(conciliacion::textoEsperaReporte(reporte)); }
    void avisar(const std::string& texto) override {
        // On a line of its own: the bar is drawn again below it.
        if (terminal_ && dibujada_) std::fputs("\r\x1b[K", stderr);
        escribirError(texto);
    }

private:
    void dibujar(bool final) {
        if (!terminal_) return;
        const auto ahora = std::chrono::steady_clock::now();
        if (!final && ahora - ultimo_ < std::chrono::milliseconds(100)) return;
        ultimo_ = ahora;
        dibujada_ = true;
        using conciliacion::Fase;
        const char* nombre = fase_ == Fase::LeyendoAuditoria    ? "leyendo la auditoría"
                             : fase_ == Fase::BuscandoEnDestino ? "buscando en el destino"
                                                                : "escribiendo";
        const double segundos = std::chrono::duration<double>(ahora - inicio_).count();
        const double ritmo = segundos > 0 ? hechos_ / segundos : 0.0;
        std::string linea;
        if (total_ == 0) {
            linea = std::string(nombre) + ": " + std::to_string(hechos_) + " filas  " +
                    std::to_string(static_cast<long>(ritmo)) + " filas/s";
        } else {
            const int ancho = 30, lleno = static_cast<int>(ancho * std::min(hechos_, total_) / total_);
            linea = "[" + std::string(lleno, '#') + std::string(ancho - lleno, '.') + "] " + std::to_string(hechos_) + "/" +
                    std::to_string(total_) + "  " + nombre;
            if (ritmo > 0 && hechos_ < total_)
                linea += "  quedan " + std::to_string(static_cast<long>((total_ - hechos_) / ritmo + 0.5)) + " s";
        }
        // The line is redrawn in place: what a shorter one leaves is blanked.
        std::fprintf(stderr, "\r%s\x1b[K", plataforma::aSistema(plataforma::ansi(linea)).c_str());
        std::fflush(stderr);
    }
    bool terminal_;
    bool dibujada_ = false;
    bool enFase_ = false;  // a stage was announced: its clock runs
    conciliacion::Fase fase_ = conciliacion::Fase::LeyendoAuditoria;
    std::size_t total_ = 0, hechos_ = 0;
    std::chrono::steady_clock::time_point inicio_, ultimo_;
};

// Many (company, type) pairs: a revision folder, a table, and the status of
// the worst pair.
int revisar(const lote::OpcionesLote& o, const std::string& directorio, const plataforma::Regional& regional,
            const plataforma::Reloj& reloj) {
    lote::TableroTerminal tablero(stderr);
    lote::EntornoRevision entorno{regional, reloj, directorio, &conciliacion::Interrupcion::delPrograma(), tablero,
                                 std::chrono::seconds(o.esperaReporte)};
    try {
        const auto r = lote::ejecutarRevision(o, entorno);
        std::fputs(lote::tablaRevision(r.revision).c_str(), stdout);
        for (const auto& aviso : r.revision.avisos) escribirError(plataforma::ansi("Aviso: ") + aviso);
        if (!r.revision.mensaje.empty()) escribirError(r.revision.mensaje);
        // One line per company and message: a company that cannot be opened fails every type alike.
        const auto& pares = r.revision.pares;
        for (std::size_t i = 0; i < pares.size();) {
            std::size_t j = i + 1;
            while (j < pares.size() && pares[j].compania == pares[i].compania && pares[j].error == pares[i].error) ++j;
            if (!pares[i].error.empty()) {
                std::string tipos;
                for (std::size_t k = i; k < j; ++k) tipos += (k > i ? "," : "") + std::to_string(pares[k].tipo);
                escribirError(plataforma::textoVisible(pares[i].compania) + (j - i > 1 ? " tipos " : " tipo ") + tipos +
                              ": " + plataforma::textoVisible(pares[i].error, true));
            }
            i = j;
        }
        if (r.revision.interrumpida)
            escribirError(plataforma::ansi("Interrumpido: el resumen lista los pares que alcanzaron a correr."));
        // A re-check says what remains in its message.
        if (!r.revision.comparadaCon.empty() && r.revision.reverificacionDe.empty()) {
            std::size_t comparados = 0, nuevos = 0, persistentes = 0, resueltos = 0;
            for (const auto& p : pares)
                if (p.comparacion) {
                    ++comparados;
                    nuevos += p.comparacion->nuevos;
                    persistentes += p.comparacion->persistentes;
                    resueltos += p.comparacion->resueltos;
                }
            // Zeros summed over no pair would read as "nothing changed".
            const std::string linea =
                plataforma::ansi("Frente a la revisión ") + r.revision.comparadaCon + ": " +
                (comparados == 0 ? plataforma::ansi("no se pudo comparar ningún par.")
                                 : std::to_string(nuevos) + " nuevos, " + std::to_string(persistentes) +
                                       " persistentes, " + std::to_string(resueltos) + " resueltos.");
            std::printf("%s\n", plataforma::aSistema(plataforma::textoVisible(linea)).c_str());
        }
        if (!r.resumen.empty()) std::printf("resumen: %s\n", plataforma::aSistema(r.resumen).c_str());
        if (o.estadisticas)
            std::fprintf(stderr, "sentencias: %zu\nfilas_auditoria: %zu\n", r.sentencias, r.filasAuditoria);
        return r.revision.estadoSalida;
    } catch (const std::exception& e) {
        escribirError(e.what());
        return 2;
    }
}

int correr(const lote::OpcionesLote& o, AvisadorConsola& avisador, const plataforma::Regional& regional,
           const plataforma::Reloj& reloj) {
    std::string directorio;
    if (o.directorio) {
        directorio = *o.directorio;
    } else {
        try {
            directorio = app::diraplicacion(avisador);
        } catch (const std::exception& e) {
            escribirError(plataforma::ansi("No se pudo leer el directorio de la aplicación en el registro (") + e.what() +
                          plataforma::ansi("): indíquelo con --directorio."));
            return 2;
        }
        if (directorio.empty()) {
            const std::string registro = plataforma::rutaArchivoRegistro();
            if (!registro.empty() && !plataforma::existe(registro))
                escribirError(plataforma::ansi("No existe el archivo del registro ") + registro +
                              plataforma::ansi(" (AUTOREP_REGISTRO): no hay directorio de la aplicación; indíquelo con "
                                               "--directorio."));
            else
                escribirError(plataforma::ansi("No hay directorio de la aplicación: indíquelo con --directorio."));
            return 2;
        }
    }
    if (o.esRevision()) return revisar(o, directorio, regional, reloj);
    app::ValoresIngreso valores;
    const acceso::ENoManejada ENoManejada(avisador, regional, reloj, [&] { return directorio; },
                                          [&] { return valores.UsuarioOrigen; });
    bd::Conexion DbGeneral("DbGeneral"), DbCia("DbCia"), DBEnvio("DBEnvio");
    principal::configurarConexionCompania(DbCia);
    principal::configurarConexionCompania(DBEnvio);
    principal::ListaCompanias companias;
    try {
        // What a revision refuses, a single run refuses too: it would pass what nobody checked.
        if (const auto tipo = conciliacion::tipoEntero(o.tipo)) {
            if (const auto motivo = lote::motivoSinRegla(*tipo); !motivo.empty()) throw std::runtime_error(motivo);
        }
        valores = lote::ingresarOrigen(DbGeneral, o, companias);
        const auto& compania = lote::companiaListada(companias, o.compania, o.origen);
        const auto entradas = lote::entradasPar(o, valores, compania, o.companiaDestino, o.tipo);
        {
            // Over a slow link each sign-in and goodbye is a few round trips:
            // the general database's goodbye and the destination's sign-in go
            // on while the origin company signs in. A destination that cannot
            // be reached is met again by the run, which says so.
            std::thread adelanto([&] {
                DbGeneral.desconectar();
                try {
                    conciliacion::conectarDestino(DBEnvio, entradas);
                } catch (const std::exception&) {
                }
            });
            try {
                lote::conectarOrigen(DbCia, valores, o.compania);
            } catch (...) {
                adelanto.join();
                throw;
            }
            adelanto.join();
        }

        VistaTerminal vista;
        conciliacion::EntornoCorrida entorno{regional, reloj, [&] { return directorio; }, avisador, vista,
                                             &conciliacion::Interrupcion::delPrograma(), std::chrono::seconds(o.esperaReporte)};
        std::size_t filasAuditoria = 0;
        entorno.filasAuditoria = &filasAuditoria;
        const auto r = conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
        std::printf("registros: %zu\nlineas: %zu\niguales: %zu\ndiferentes: %zu\nno_encontrados: %zu\nsin_origen: %zu\n",
                    r.registros, r.lineas, r.iguales, r.diferentes, r.noEncontrados, r.sinOrigen);
        std::printf("reporte: %s\n", plataforma::aSistema(r.reporte).c_str());
        if (o.estadisticas) {
            std::fprintf(stderr, "sentencias: %llu\n",
                         static_cast<unsigned long long>(DbGeneral.sentenciasEjecutadas() + DbCia.sentenciasEjecutadas() +
                                                         DBEnvio.sentenciasEjecutadas()));
            std::fprintf(stderr, "filas_auditoria: %zu\n", filasAuditoria);
        }
        if (r.registros == 0) {
            escribirError(plataforma::ansi("No se encontró ninguna fila de auditoría del tipo ") + o.tipo + " del " +
                          plataforma::textoIso(o.desde) + " al " + plataforma::textoIso(o.hasta) +
                          plataforma::ansi(": no se comparó ningún documento."));
            return conciliacion::salida::sinAuditoria;
        }
        return r.diferentes + r.noEncontrados == 0 ? conciliacion::salida::completa : conciliacion::salida::diferencias;
    } catch (const conciliacion::CorridaInterrumpida& e) {
        escribirError(e.what());
        return 130;
    } catch (const std::exception& e) {
        ENoManejada(e.what());
        return 2;
    }
}

int ejecutar(int argc, char** argv) {
    plataforma::RelojSistema reloj;
    AvisadorConsola avisador;
    lote::OpcionesLote opciones;
    try {
        opciones = lote::leerOpcionesLote(plataforma::argumentosDelPrograma(argc, argv), reloj.ahora().fecha);
    } catch (const plataforma::TextoNoRepresentable& e) {
        plataforma::escribirErrorUtf8("El argumento \"" + e.utf8() +
                                      "\" tiene letras que el programa no puede representar (Windows-1252).\n");
        return 2;
    } catch (const lote::ErrorOpciones& e) {
        escribirError(e.what());
        return 2;
    }
    if (opciones.ayuda) {
        std::fputs(plataforma::aSistema(lote::ayudaLote()).c_str(), stdout);
        return 0;
    }
    if (opciones.version) {
        std::printf("autorep-lote %s\n", AUTOREP_VERSION);
        return 0;
    }
    plataforma::Regional regional;
    try {
        regional = plataforma::leerRegional(*plataforma::registroDelSistema());
    } catch (const std::exception& e) {
        escribirError(e.what());
        return 2;
    }
    return correr(opciones, avisador, regional, reloj);
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C, SIGTERM and SIGHUP ask the run to stop at its next check.
    plataforma::atenderSenalesDeTerminacion([](int) { conciliacion::Interrupcion::delPrograma().pedir(); });
    plataforma::usarCaracteresDelSistema();
    // Whatever goes wrong ends in a Spanish message and an exit status, never an abort.
    try {
        return ejecutar(argc, argv);
    } catch (const std::exception& e) {
        escribirError(plataforma::ansi("Error inesperado: ") + e.what());
    } catch (...) {
        escribirError("Error inesperado.");
    }
    return 2;
}
