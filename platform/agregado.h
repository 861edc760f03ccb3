#pragma once
#include <string_view>

namespace autorep::plataforma {

// A file opened for appending only (O_APPEND on Linux, FILE_APPEND_DATA on
// Windows), created when absent, never truncated. Every agregar is a single
// write at the file's end under a lock of the process, so records that the
// threads of a revision append at once never interleave nor overwrite each
// other (the C library's append mode on Windows seeks, then writes).
class ArchivoAgregado {
public:
    ArchivoAgregado() = default;
    // The name is program text; when it cannot be opened, abierto() is false.
    explicit ArchivoAgregado(std::string_view nombre);
    ~ArchivoAgregado() { cerrar(); }
    ArchivoAgregado(ArchivoAgregado&& o) noexcept : h_(o.h_) { o.h_ = nulo; }
    ArchivoAgregado& operator=(ArchivoAgregado&& o) noexcept;
    ArchivoAgregado(const ArchivoAgregado&) = delete;
    ArchivoAgregado& operator=(const ArchivoAgregado&) = delete;

    bool abierto() const { return h_ != nulo; }
    // False when the bytes did not all reach the file.
    bool agregar(std::string_view bytes);
    void cerrar();

private:
    // A file descriptor, or a HANDLE on Windows.
    static constexpr long long nulo = -1;
    long long h_ = nulo;
};

}  // namespace autorep::plataforma
