#pragma once
#include <cstdio>

namespace autorep::plataforma {

// An exclusive advisory lock on an open file (flock on Linux, LockFileEx on
// Windows), without waiting: true when it is now held. It lasts until the
// file is closed; only programs that ask for the same lock are kept out.
bool bloquearArchivo(std::FILE* archivo);

}  // namespace autorep::plataforma
