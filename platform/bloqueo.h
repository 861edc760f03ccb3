#pragma once
#include <chrono>
#include <cstdio>
#include <string_view>

namespace autorep::plataforma {

// An exclusive advisory lock on an open file (flock on Linux, LockFileEx on
// Windows), without waiting: true when it is now held. It lasts until the
// file is closed; only programs that ask for the same lock are kept out.
bool bloquearArchivo(std::FILE* archivo);

// The lock of a file kept only for it (created when missing, never removed:
// removing it would let a third program lock a new file while a second holds
// the old one), waited for at most `espera`. Held while the object lives.
class Cerrojo {
public:
    Cerrojo(std::string_view archivo, std::chrono::milliseconds espera);
    ~Cerrojo();
    Cerrojo(const Cerrojo&) = delete;
    Cerrojo& operator=(const Cerrojo&) = delete;
    bool tomado() const { return tomado_; }

private:
    std::FILE* archivo_ = nullptr;
    bool tomado_ = false;
};

}  // namespace autorep::plataforma
