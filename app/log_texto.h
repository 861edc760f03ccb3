#pragma once
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace autorep::app {

// A text file open for appending. Errors are ignored: a log that cannot be
// created or written loses its record without any report.
class ArchivoTexto {
public:
    ArchivoTexto() = default;
    explicit ArchivoTexto(std::FILE* f) : f_(f) {}
    ~ArchivoTexto() { cerrar(); }
    ArchivoTexto(ArchivoTexto&& o) noexcept : f_(o.f_) { o.f_ = nullptr; }
    ArchivoTexto& operator=(ArchivoTexto&& o) noexcept;
    ArchivoTexto(const ArchivoTexto&) = delete;
    ArchivoTexto& operator=(const ArchivoTexto&) = delete;

    // Fields separated by single commas, the last one followed by CR LF; no
    // quoting, no escaping.
    void escribirRegistro(std::initializer_list<std::string_view> campos);
    void cerrar();

private:
    std::FILE* f_ = nullptr;
};

// Opens a log for appending at its end, creating it when it does not exist.
// An existing file is never truncated.
ArchivoTexto abrir_para_agregar(const std::string& nombre);

// Opens, writes one record, closes.
void agregarRegistro(const std::string& nombre, std::initializer_list<std::string_view> campos);

// The record as bytes: fields joined by "," and ended by CR LF.
std::string lineaDeRegistro(std::initializer_list<std::string_view> campos);

}  // namespace autorep::app
