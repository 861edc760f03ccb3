#include "reconcile/reporte.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/cp1252.h"
#include "platform/bloqueo.h"
#include "platform/rutas.h"
#include "platform/sistema.h"

namespace autorep::conciliacion {

std::string Reporte::nombreArchivo(const std::string& directorio, const std::string& tipo) {
    return plataforma::rutaArchivo(directorio, "\\comparacion" + tipo + ".txt");
}

Reporte::Reporte(std::string ruta) : ruta_(std::move(ruta)) {
    f_ = plataforma::abrirArchivo(ruta_, "ab");
    if (!f_) fallar("abrir", errno);
    // Lines are gathered here, not in the C library: a write then goes to the
    // file at once, and a failed one leaves nothing behind to be written later.
    std::setvbuf(f_, nullptr, _IONBF, 0);
    try {
        bloquear();
    } catch (...) {
        // No destructor runs for a constructor that throws: close it here.
        std::fclose(f_);
        f_ = nullptr;
        throw;
    }
}

bool Reporte::bloquear() {
    if (bloqueado_) return true;
    if (!f_ || !plataforma::bloquearArchivo(f_)) return false;
    bloqueado_ = true;
    // Another run may have written up to the moment the lock changed hands.
    if ((tamanio_ = plataforma::irAlFinal(f_)) < 0) fallar("abrir", errno);
    return true;
}

Reporte::~Reporte() {
    // A run cut short still leaves its lines whole on the disk.
    try {
        cerrar();
    } catch (...) {
    }
}

void Reporte::fallar(const char* accion, int error) {
    throw ErrorReporte(plataforma::ansi("No se pudo ") + accion + " el reporte " + ruta_ + ": " +
                       plataforma::deSistema(std::strerror(error)));
}

void Reporte::escribirLinea(std::initializer_list<std::string_view> campos) {
    if (!f_ || !bloqueado_) fallar("escribir", EBADF);
    bool primero = true;
    for (std::string_view c : campos) {
        if (!primero) pendiente_ += ',';
        pendiente_ += c;
        primero = false;
    }
    pendiente_ += "\r\n";
    finesDeLinea_.push_back(pendiente_.size());
    ++lineas_;
    const auto ahora = std::chrono::steady_clock::now();
    if (pendiente_.size() >= 64 * 1024 || ahora - vaciado_ >= std::chrono::milliseconds(100)) vaciar(ahora);
}

void Reporte::vaciar(std::chrono::steady_clock::time_point ahora) {
    vaciado_ = ahora;
    if (pendiente_.empty()) return;
    errno = 0;
    if (std::fwrite(pendiente_.data(), 1, pendiente_.size(), f_) == pendiente_.size()) {
        tamanio_ += static_cast<std::int64_t>(pendiente_.size());
        escritas_ += finesDeLinea_.size();
        pendiente_.clear();
        finesDeLinea_.clear();
        return;
    }
    // Not all of it reached the file: back to the last whole line, then one
    // line at a time, so that every line that fits is kept whole.
    // A file that refuses even the truncation keeps the partial line; the
    // error that follows names the file all the same.
    std::clearerr(f_);
    plataforma::truncar(f_, tamanio_);
    std::size_t desde = 0;
    for (const std::size_t fin : finesDeLinea_) {
        errno = 0;
        if (plataforma::irAlFinal(f_) < 0 || std::fwrite(pendiente_.data() + desde, 1, fin - desde, f_) != fin - desde) {
            const int error = errno ? errno : EIO;
            std::FILE* f = f_;
            f_ = nullptr;
            plataforma::truncar(f, tamanio_);
            std::fclose(f);
            pendiente_.clear();
            finesDeLinea_.clear();
            fallar("escribir", error);
        }
        tamanio_ += static_cast<std::int64_t>(fin - desde);
        ++escritas_;
        desde = fin;
    }
    pendiente_.clear();
    finesDeLinea_.clear();
}

void Reporte::cerrar() {
    if (!f_) return;
    vaciar(std::chrono::steady_clock::now());
    std::FILE* f = f_;
    f_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) fallar("cerrar", errno ? errno : EIO);
}

}  // namespace autorep::conciliacion
