#include "app/log_texto.h"

namespace autorep::app {

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
    f_.agregar(lineaDeRegistro(campos));
}

ArchivoTexto abrir_para_agregar(const std::string& nombre) {
    // Appending creates an absent file and keeps the contents of one that
    // exists, even when it cannot be read first.
    return ArchivoTexto(plataforma::ArchivoAgregado(nombre));
}

void agregarRegistro(const std::string& nombre, std::initializer_list<std::string_view> campos) {
    ArchivoTexto archivo = abrir_para_agregar(nombre);
    archivo.escribirRegistro(campos);
}

}  // namespace autorep::app
