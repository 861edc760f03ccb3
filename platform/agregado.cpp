#include "platform/agregado.h"

#include <cstdint>
#include <mutex>

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/ancho.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include "platform/sistema.h"
#endif

namespace autorep::plataforma {

namespace {
// Appends within the process wait for each other, also where the file system
// does not keep an append whole (a network share).
std::mutex cerrojoAgregar;

#ifdef _WIN32
HANDLE manejador(long long h) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(h)); }
#endif
}  // namespace

ArchivoAgregado::ArchivoAgregado(std::string_view nombre) {
#ifdef _WIN32
    // Append access alone: every write lands at the end, whatever another
    // handle did to the file in between.
    const HANDLE h = CreateFileW(rutaLarga(nombre).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) h_ = reinterpret_cast<std::intptr_t>(h);
#else
    h_ = ::open(aSistema(nombre).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
#endif
}

ArchivoAgregado& ArchivoAgregado::operator=(ArchivoAgregado&& o) noexcept {
    if (this != &o) {
        cerrar();
        h_ = o.h_;
        o.h_ = nulo;
    }
    return *this;
}

bool ArchivoAgregado::agregar(std::string_view bytes) {
    if (!abierto()) return false;
    const std::lock_guard cerrojo(cerrojoAgregar);
#ifdef _WIN32
    DWORD escritos = 0;
    return WriteFile(manejador(h_), bytes.data(), static_cast<DWORD>(bytes.size()), &escritos, nullptr) &&
           escritos == bytes.size();
#else
    return ::write(static_cast<int>(h_), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
#endif
}

void ArchivoAgregado::cerrar() {
    if (!abierto()) return;
#ifdef _WIN32
    CloseHandle(manejador(h_));
#else
    ::close(static_cast<int>(h_));
#endif
    h_ = nulo;
}

}  // namespace autorep::plataforma
