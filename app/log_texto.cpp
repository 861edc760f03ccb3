#include "app/log_texto.h"

#include "platform/sistema.h"

namespace autorep::app {

ArchivoTexto& ArchivoTexto::operator=(ArchivoTexto&& o) noexcept {
    if (this != &o) {
        cerrar();
        f_ = o.f_;
        o.f_ = nullptr;
    }
    return *this;
}

std::string lineaDeRegistro(std::initializer_list<std::string_view> campos) {
    std::string linea;
    bool primero = true;
    for (std::string_view c : campos) {
        if (!primero) linea += ',';
        linea += c;
        primero = false;
    }
    linea += "\r\n";
    return linea;
}

void ArchivoTexto::escribirRegistro(std::initializer_list<std::string_view> campos) {
    if (!f_) return;
    const std::string linea = lineaDeRegistro(campos);
    std::fwrite(linea.data(), 1, linea.size(), f_);
}

void ArchivoTexto::cerrar() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
}

ArchivoTexto abrir_para_agregar(const std::string& nombre) {
    // Appending creates an absent file and keeps the contents of one that
    // exists, even when it cannot be read first.
    return ArchivoTexto(plataforma::abrirArchivo(nombre, "ab"));
}

void agregarRegistro(const std::string& nombre, std::initializer_list<std::string_view> campos) {
    ArchivoTexto archivo = abrir_para_agregar(nombre);
    archivo.escribirRegistro(campos);
}

}  // namespace autorep::app
