#include "db/parametros.h"

#include "platform/texto.h"

namespace autorep::bd {

namespace {
std::string_view nombreDe(const std::string& linea) {
    const auto igual = linea.find('=');
    return std::string_view(linea).substr(0, igual);
}
}  // namespace

void ListaParametros::poner(std::string_view nombre, std::string_view valor) {
    for (auto it = lineas_.begin(); it != lineas_.end(); ++it) {
        if (!plataforma::igualesSinMayusculas(nombreDe(*it), nombre)) continue;
        if (valor.empty()) lineas_.erase(it);
        else *it = std::string(nombre) + "=" + std::string(valor);
        return;
    }
    if (!valor.empty()) lineas_.push_back(std::string(nombre) + "=" + std::string(valor));
}

std::optional<std::string> ListaParametros::valor(std::string_view nombre) const {
    for (const auto& linea : lineas_) {
        if (!plataforma::igualesSinMayusculas(nombreDe(linea), nombre)) continue;
        const auto igual = linea.find('=');
        return igual == std::string::npos ? std::string{} : linea.substr(igual + 1);
    }
    return std::nullopt;
}

}  // namespace autorep::bd
