#include "platform/bloqueo.h"

#include <thread>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#endif

#include "platform/sistema.h"

namespace autorep::plataforma {

bool bloquearArchivo(std::FILE* archivo) {
#ifdef _WIN32
    const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(archivo)));
    OVERLAPPED zona{};
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &zona) != 0;
#else
    return flock(fileno(archivo), LOCK_EX | LOCK_NB) == 0;
#endif
}

Cerrojo::Cerrojo(std::string_view archivo, std::chrono::milliseconds espera) {
    archivo_ = abrirArchivo(archivo, "ab");
    if (!archivo_) return;
    const auto limite = std::chrono::steady_clock::now() + espera;
    while (!(tomado_ = bloquearArchivo(archivo_)) && std::chrono::steady_clock::now() < limite)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

Cerrojo::~Cerrojo() {
    if (archivo_) std::fclose(archivo_);
}

}  // namespace autorep::plataforma
