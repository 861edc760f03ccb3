#include "platform/bloqueo.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/file.h>
#endif

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

}  // namespace autorep::plataforma
