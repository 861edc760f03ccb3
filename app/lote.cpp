// autorep-lote: the reconciliation as a headless command for scheduled runs.
// It drives the same run and rules as the window program and ends with an
// exit status: 0 all equal, 1 differences or missing documents, 2 it could
// not complete, 130 interrupted.
#include <pthread.h>
#include <unistd.h>

#include <atomic>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "app/avisador.h"
#include "app/diraplicacion.h"
#include "app/inicio.h"
#include "app/opciones_lote.h"
#include "ctrlaccesoautorep/enomanejada.h"
#include "platform/cp1252.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "platform/texto.h"
#include "principalautorep/companias.h"
#include "reconcile/corrida.h"

using namespace autorep;

namespace {

std::atomic<bool> interrumpido{false};

// Ctrl-C and SIGTERM are taken by a thread of ours through sigwait, blocked
// everywhere else: the Firebird engine would otherwise shut its connections
// down on the signal, in the middle of a lookup, before the run could stop
// between two audit rows.
void esperarInterrupciones() {
    sigset_t senales;
    sigemptyset(&senales);
    sigaddset(&senales, SIGINT);
    sigaddset(&senales, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &senales, nullptr);
    std::thread([senales] {
        int senal = 0;
        while (sigwait(&senales, &senal) == 0) interrumpido = true;
    }).detach();
}

struct Interrupcion {};

void escribirError(const std::string& texto) {
    const std::string utf8 = plataforma::cp1252AUtf8(texto) + "\n";
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

// Message boxes become lines on standard error.
class AvisadorConsola final : public app::Avisador {
public:
    void mensaje(const std::string& texto) override { escribirError(texto); }
    void informacion(const std::string& texto) override { escribirError(texto); }
};

// A progress bar on standard error, drawn only on a terminal. An interrupt
// stops the run at the next audit row.
class VistaTerminal final : public conciliacion::VistaCorrida {
public:
    VistaTerminal() : terminal_(isatty(STDERR_FILENO) == 1) {}
    void mostrarEstado(const std::string&) override {}
    void ocultarEstado() override {
        if (terminal_ && total_ > 0) std::fputs("\n", stderr);
    }
    void iniciarProgreso(std::size_t total) override {
        total_ = total;
        hechos_ = 0;
        inicio_ = std::chrono::steady_clock::now();
    }
    void mostrarRegistro() override {}
    void ocultarRegistro() override { dibujar(true); }
    void avanzar(const std::string&) override {
        if (interrumpido) throw Interrupcion{};
        ++hechos_;
        dibujar(false);
    }

private:
    void dibujar(bool final) {
        if (!terminal_ || total_ == 0) return;
        const auto ahora = std::chrono::steady_clock::now();
        if (!final && ahora - ultimo_ < std::chrono::milliseconds(100)) return;
        ultimo_ = ahora;
        const double segundos = std::chrono::duration<double>(ahora - inicio_).count();
        const int ancho = 30, lleno = static_cast<int>(ancho * hechos_ / total_);
        std::fprintf(stderr, "\r[%s%s] %zu/%zu  %.0f filas/s ", std::string(lleno, '#').c_str(),
                     std::string(ancho - lleno, '.').c_str(), hechos_, total_, segundos > 0 ? hechos_ / segundos : 0.0);
        std::fflush(stderr);
    }
    bool terminal_;
    std::size_t total_ = 0, hechos_ = 0;
    std::chrono::steady_clock::time_point inicio_, ultimo_;
};

int correr(const app::OpcionesLote& o, AvisadorConsola& avisador, const plataforma::Regional& regional,
           const plataforma::Reloj& reloj) {
    std::string directorio;
    if (o.directorio) {
        directorio = *o.directorio;
    } else {
        directorio = app::diraplicacion(avisador);
        if (directorio.empty()) {
            escribirError(plataforma::ansi("No hay directorio de la aplicación: indíquelo con --directorio."));
            return 2;
        }
    }
    app::ValoresIngreso valores;
    const acceso::ENoManejada ENoManejada(avisador, regional, reloj, [&] { return directorio; },
                                          [&] { return valores.UsuarioOrigen; });
    bd::Conexion DbGeneral("DbGeneral"), DbCia("DbCia"), DBEnvio("DBEnvio");
    principal::configurarConexionCompania(DbCia);
    principal::configurarConexionCompania(DBEnvio);
    DbGeneral.ponerParametro("SQLDialect", "3");
    try {
        valores = app::ingresarPorArgumentos(DbGeneral, {o.origen, o.usuario, o.clave, o.compania});
        valores.ServidorDestino = o.destino;
        valores.UsuarioDestino = plataforma::mayusculasAscii(o.usuarioDestino);
        valores.ClaveDestino = o.claveDestino;

        principal::ListaCompanias companias;
        companias.abrir(DbGeneral);
        const std::string nombre = companias.nombreDe(o.compania);
        if (nombre.empty())
            throw std::runtime_error(plataforma::ansi("La compañía \"") + o.compania +
                                     plataforma::ansi("\" no existe en COMPANIA de ") + app::rutaGeneral(o.origen) + ".");
        principal::conectarCompania(DbCia, valores, o.compania);

        VistaTerminal vista;
        conciliacion::EntornoCorrida entorno{regional, reloj, [&] { return directorio; }, avisador, vista};
        const conciliacion::EntradasCorrida entradas{nombre,
                                                     o.companiaDestino,
                                                     o.tipo,
                                                     plataforma::FechaHora{o.desde, {0, 0, 0, 0}},
                                                     plataforma::FechaHora{o.hasta, {23, 59, 59, 999}},
                                                     valores.ServidorDestino,
                                                     valores.UsuarioDestino,
                                                     valores.ClaveDestino,
                                                     o.filaAFila};
        const auto r = conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
        std::printf("registros: %zu\nlineas: %zu\niguales: %zu\ndiferentes: %zu\nno_encontrados: %zu\nsin_origen: %zu\n",
                    r.registros, r.lineas, r.iguales, r.diferentes, r.noEncontrados, r.sinOrigen);
        std::printf("reporte: %s\n", plataforma::cp1252AUtf8(r.reporte).c_str());
        if (o.estadisticas)
            std::fprintf(stderr, "sentencias: %llu\n",
                         static_cast<unsigned long long>(DbGeneral.sentenciasEjecutadas() + DbCia.sentenciasEjecutadas() +
                                                         DBEnvio.sentenciasEjecutadas()));
        return r.diferentes + r.noEncontrados == 0 ? 0 : 1;
    } catch (const Interrupcion&) {
        escribirError(plataforma::ansi("Interrumpido: el reporte guarda las líneas escritas hasta aquí."));
        return 130;
    } catch (const std::exception& e) {
        ENoManejada(e.what());
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    esperarInterrupciones();
    plataforma::RelojSistema reloj;
    AvisadorConsola avisador;
    app::OpcionesLote opciones;
    try {
        opciones = app::leerOpcionesLote(std::vector<std::string>(argv + 1, argv + argc), reloj.ahora().fecha);
    } catch (const app::ErrorOpciones& e) {
        escribirError(e.what());
        return 2;
    }
    if (opciones.ayuda) {
        std::fputs(plataforma::cp1252AUtf8(app::ayudaLote()).c_str(), stdout);
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
