#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "platform/agregado.h"

namespace autorep::app {

// A text file open for appending. Errors are ignored: a log that cannot be
// created or written loses its record without any report. Each record is one
// write: the threads of a revision may append to one log at once.
class ArchivoTexto {
public:
    ArchivoTexto() = default;
    explicit ArchivoTexto(plataforma::ArchivoAgregado f) : f_(std::move(f)) {}

    // Fields separated by single commas, the last one followed by CR LF; no
    // quoting, no escaping.
    void escribirRegistro(std::initializer_list<std::string_view> campos);
    void cerrar() { f_.cerrar(); }

private:
    plataforma::ArchivoAgregado f_;
};

// Opens a log for appending at its end, creating it when it does not exist.
// An existing file is never truncated.
ArchivoTexto abrir_para_agregar(const std::string& nombre);

// Opens, writes one record, closes.
void agregarRegistro(const std::string& nombre, std::initializer_list<std::string_view> campos);

// The record as bytes: fields joined by "," and ended by CR LF.
std::string lineaDeRegistro(std::initializer_list<std::string_view> campos);

}  // namespace autorep::app
