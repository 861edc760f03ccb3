#include "reconcile/reporte.h"

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/log_texto.h"
#include "platform/cp1252.h"
#include "platform/bloqueo.h"
#include "platform/rutas.h"
#include "platform/sistema.h"

namespace autorep::conciliacion {

namespace {
void truncar(std::FILE* f, long tamanio) {
#ifdef _WIN32
    _chsize_s(_fileno(f), tamanio);
#else
    // A file that refuses even this keeps the partial line; the error that
    // follows names the file all the same.
    [[maybe_unused]] const int resultado = ftruncate(fileno(f), tamanio);
#endif
}
}  // namespace

std::string Reporte::nombreArchivo(const std::string& directorio, const std::string& tipo) {
    return plataforma::rutaArchivo(directorio, "\\comparacion" + tipo + ".txt");
}

Reporte::Reporte(std::string ruta) : ruta_(std::move(ruta)) {
    f_ = plataforma::abrirArchivo(ruta_, "ab");
    if (!f_) fallar("abrir", errno);
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
    if (std::fseek(f_, 0, SEEK_END) != 0 || (tamanio_ = std::ftell(f_)) < 0) fallar("abrir", errno);
    return true;
}

Reporte::~Reporte() {
    if (f_) std::fclose(f_);
}

void Reporte::fallar(const char* accion, int error) {
    throw ErrorReporte(plataforma::ansi("No se pudo ") + accion + " el reporte " + ruta_ + ": " +
                       plataforma::deSistema(std::strerror(error)));
}

void Reporte::escribirLinea(std::initializer_list<std::string_view> campos) {
    if (!f_ || !bloqueado_) fallar("escribir", EBADF);
    const std::string linea = app::lineaDeRegistro(campos);
    errno = 0;
    if (std::fwrite(linea.data(), 1, linea.size(), f_) != linea.size() || std::fflush(f_) != 0) {
        const int error = errno ? errno : EIO;
        // Whatever part of the line reached the file is cut off again.
        std::FILE* f = f_;
        f_ = nullptr;
        truncar(f, tamanio_);
        std::fclose(f);
        fallar("escribir", error);
    }
    tamanio_ += static_cast<long>(linea.size());
    ++lineas_;
}

void Reporte::cerrar() {
    if (!f_) return;
    std::FILE* f = f_;
    f_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) fallar("cerrar", errno ? errno : EIO);
}

}  // namespace autorep::conciliacion
