#include "lote/tablero_terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "platform/cp1252.h"
#include "platform/sistema.h"
#include "platform/texto.h"

namespace autorep::lote {

namespace {

using conciliacion::ParRevision;

std::string formato(const char* patron, auto... valores) {
    char buf[512];
    std::snprintf(buf, sizeof buf, patron, valores...);
    return buf;
}

// A code or a message as the terminal may show it: no control characters.
std::string visible(const std::string& texto) { return plataforma::aSistema(plataforma::textoVisible(texto)); }

std::string nombreFase(conciliacion::Fase fase) {
    const char* nombre = fase == conciliacion::Fase::LeyendoAuditoria    ? "leyendo la auditoría"
                         : fase == conciliacion::Fase::BuscandoEnDestino ? "buscando en el destino"
                                                                         : "escribiendo";
    return plataforma::aSistema(plataforma::ansi(nombre));
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
        const std::string cabeza = formato("%-4s tipo %-3lld ", visible(e.compania).c_str(), static_cast<long long>(e.tipo));
        std::string linea;
        if (e.total == 0) {
            // The audit rows arrive: their count is all there is to show.
            linea = cabeza + nombreFase(e.fase) + ": " + std::to_string(e.hechos) + " filas";
        } else {
            const int ancho = 24, lleno = static_cast<int>(ancho * std::min(e.hechos, e.total) / e.total);
            linea = cabeza + formato("[%s%s] %zu/%zu %s", std::string(lleno, '#').c_str(),
                                     std::string(ancho - lleno, '.').c_str(), e.hechos, e.total, nombreFase(e.fase).c_str());
        }
        if (!e.aviso.empty()) linea += "  " + visible(e.aviso);
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
    enCurso_.push_back({compania, tipo, conciliacion::Fase::LeyendoAuditoria, 0, 0, {}});
    if (terminal_) dibujar();
}

void TableroTerminal::avanzar(const std::string& compania, std::int64_t tipo, conciliacion::Fase fase, std::size_t hechos,
                              std::size_t total) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    EnCurso* e = buscar(compania, tipo);
    if (!e) return;
    e->fase = fase;
    e->hechos = hechos;
    e->total = total;
    if (terminal_ && std::chrono::steady_clock::now() - ultimo_ >= std::chrono::milliseconds(100)) dibujar();
}

void TableroTerminal::avisar(const std::string& compania, std::int64_t tipo, const std::string& texto) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    if (EnCurso* e = buscar(compania, tipo)) e->aviso = texto;
    if (terminal_) dibujar();
    else std::fprintf(salida_, "%s tipo %lld: %s\n", visible(compania).c_str(), static_cast<long long>(tipo),
                      visible(texto).c_str());
}

void TableroTerminal::terminar(const ParRevision& p) {
    const std::lock_guard<std::mutex> guarda(mutex_);
    std::erase_if(enCurso_, [&](const EnCurso& e) { return e.compania == p.compania && e.tipo == p.tipo; });
    if (terminal_) dibujar();
}

std::string tablaRevision(const conciliacion::Revision& v) {
    // Built in Windows-1252, one byte a letter, so the widths line up; each
    // column as wide as its widest cell.
    std::vector<std::vector<std::string>> filas = {{"compañía", "destino", "tipo", "estado", "filas", "líneas", "iguales",
                                                    "difer.", "faltan", "pend.", "dupl.", "sin orig.", "seg."}};
    for (auto& celda : filas[0]) celda = plataforma::ansi(celda);
    for (const auto& p : v.pares) {
        const auto& s = p.resumen;
        const auto estado = !p.error.empty() ? ParRevision::Estado::Error : p.estado;
        filas.push_back({plataforma::textoVisible(p.compania), plataforma::textoVisible(p.companiaDestino),
                         std::to_string(p.tipo), std::string(conciliacion::nombreEstado(estado)),
                         std::to_string(s.registros), std::to_string(s.lineas), std::to_string(s.iguales),
                         std::to_string(s.diferentes), std::to_string(s.noEncontrados), std::to_string(s.pendientes),
                         std::to_string(s.duplicados), std::to_string(s.sinOrigen), formato("%.1f", p.segundos)});
    }
    std::vector<std::size_t> anchos(filas[0].size(), 0);
    for (const auto& f : filas)
        for (std::size_t c = 0; c < f.size(); ++c) anchos[c] = std::max(anchos[c], f[c].size());
    std::string r;
    for (const auto& f : filas) {
        std::string linea;
        for (std::size_t c = 0; c < f.size(); ++c) {
            const std::string relleno(anchos[c] - f[c].size(), ' ');
            // Codes and the state to the left, counts to the right.
            linea += (c > 0 ? " " : "") + (c < 4 ? f[c] + relleno : relleno + f[c]);
        }
        while (!linea.empty() && linea.back() == ' ') linea.pop_back();
        r += linea + "\n";
    }
    return plataforma::aSistema(r);
}

}  // namespace autorep::lote
