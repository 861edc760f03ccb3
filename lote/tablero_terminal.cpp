#include "lote/tablero_terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/sistema.h"

namespace autorep::lote {

namespace {

using conciliacion::ParRevision;

const char* textoEstado(const ParRevision& p) {
    if (!p.error.empty()) return "error";
    return p.estado == ParRevision::Estado::Igual ? "igual" : "diferencias";
}

std::string formato(const char* patron, auto... valores) {
    char buf[512];
    std::snprintf(buf, sizeof buf, patron, valores...);
    return buf;
}

}  // namespace

TableroTerminal::TableroTerminal(std::FILE* salida) : salida_(salida), terminal_(isatty(fileno(salida)) == 1) {}

TableroTerminal::EnCurso* TableroTerminal::buscar(const std::string& compania, std::int64_t tipo) {
    for (auto& e : enCurso_)
        if (e.compania == compania && e.tipo == tipo) return &e;
    return nullptr;
}

void TableroTerminal::borrar() {
    if (dibujadas_ > 0) std::fprintf(salida_, "\x1b[%zuA\r\x1b[J", dibujadas_);
    dibujadas_ = 0;
}

void TableroTerminal::dibujar() {
    borrar();
    // A line that wrapped would leave the next redraw one line short.
    winsize ventana{};
    const std::size_t columnas =
        ioctl(fileno(salida_), TIOCGWINSZ, &ventana) == 0 && ventana.ws_col > 0 ? ventana.ws_col - 1 : 79;
    for (const auto& e : enCurso_) {
        const int ancho = 24, lleno = e.total ? static_cast<int>(ancho * e.hechos / e.total) : 0;
        std::string linea = formato("%-4s tipo %-3lld [%s%s] %zu/%zu", plataforma::aSistema(e.compania).c_str(),
                                    static_cast<long long>(e.tipo), std::string(lleno, '#').c_str(),
                                    std::string(ancho - lleno, '.').c_str(), e.hechos, e.total);
        if (!e.aviso.empty()) linea += "  " + plataforma::aSistema(e.aviso);
        std::size_t corte = 0, letras = 0;
        while (corte < linea.size() && letras < columnas) {
            ++letras;
            do ++corte;
            while (corte < linea.size() && (static_cast<unsigned char>(linea[corte]) & 0xC0) == 0x80);
        }
        linea.resize(corte);
        std::fprintf(salida_, "%s\n", linea.c_str());
    }
    dibujadas_ = enCurso_.size();
    std::fflush(salida_);
    ultimo_ = std::chrono::steady_clock::now();
}

void TableroTerminal::empezar(const std::string& compania, std::int64_t tipo) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    enCurso_.push_back({compania, tipo, 0, 0, {}});
    if (terminal_) dibujar();
}

void TableroTerminal::avanzar(const std::string& compania, std::int64_t tipo, std::size_t hechos, std::size_t total) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    EnCurso* e = buscar(compania, tipo);
    if (!e) return;
    e->hechos = hechos;
    e->total = total;
    if (terminal_ && std::chrono::steady_clock::now() - ultimo_ >= std::chrono::milliseconds(100)) dibujar();
}

void TableroTerminal::avisar(const std::string& compania, std::int64_t tipo, const std::string& texto) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    if (EnCurso* e = buscar(compania, tipo)) e->aviso = texto;
    if (terminal_) dibujar();
    else std::fprintf(salida_, "%s tipo %lld: %s\n", plataforma::aSistema(compania).c_str(),
                      static_cast<long long>(tipo), plataforma::aSistema(texto).c_str());
}

void TableroTerminal::terminar(const ParRevision& p) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    std::erase_if(enCurso_, [&](const EnCurso& e) { return e.compania == p.compania && e.tipo == p.tipo; });
    if (terminal_) dibujar();
}

std::string tablaRevision(const conciliacion::Revision& v) {
    std::string r = formato("%-8s %-8s %5s %-12s %10s %10s %10s %10s %14s %10s %10s %10s %9s\n", "compania", "destino",
                            "tipo", "estado", "registros", "lineas", "iguales", "diferentes", "no_encontrados",
                            "pendientes", "duplicados", "sin_origen", "segundos");
    for (const auto& p : v.pares) {
        const auto& s = p.resumen;
        r += formato("%-8s %-8s %5lld %-12s %10zu %10zu %10zu %10zu %14zu %10zu %10zu %10zu %9.2f\n",
                     plataforma::aSistema(p.compania).c_str(), plataforma::aSistema(p.companiaDestino).c_str(),
                     static_cast<long long>(p.tipo), textoEstado(p), s.registros, s.lineas, s.iguales, s.diferentes,
                     s.noEncontrados, s.pendientes, s.duplicados, s.sinOrigen, p.segundos);
    }
    return r;
}

}  // namespace autorep::lote
