#include "db/consulta.h"

#include "db/error_bd.h"
#include "platform/texto.h"

namespace autorep::bd {

Consulta::Consulta(Conexion& conexion, std::string nombre) : conexion_(conexion), nombre_(std::move(nombre)) {}

Consulta::~Consulta() { cerrar(); }

void Consulta::ponerTexto(std::string sql) {
    cerrar();
    sql_ = std::move(sql);
}

void Consulta::abrir() {
    if (activa_) return;
    resultado_ = conexion_.consultar(sql_);
    fila_ = 0;
    activa_ = true;
    conexion_.registrar(this);
}

void Consulta::cerrar() noexcept {
    if (activa_) conexion_.olvidar(this);
    activa_ = false;
    resultado_ = {};
    fila_ = 0;
}

const Valor& Consulta::campo(std::size_t indice) const {
    if (fin()) throw ErrorBaseDatos(nombre_ + ": Cannot perform this operation on a closed dataset");
    if (indice >= resultado_.columnas.size())
        throw ErrorBaseDatos(nombre_ + ": Field index out of range");
    return resultado_.filas[fila_][indice];
}

const Valor& Consulta::campo(std::string_view nombre) const {
    for (std::size_t i = 0; i < resultado_.columnas.size(); ++i)
        if (plataforma::igualesSinMayusculas(resultado_.columnas[i], nombre)) return campo(i);
    throw ErrorBaseDatos(nombre_ + ": Field '" + std::string(nombre) + "' not found");
}

void Consulta::exigirColumnas(std::initializer_list<std::string_view> declaradas) const {
    for (std::string_view d : declaradas) {
        bool hay = false;
        for (const auto& c : resultado_.columnas) hay = hay || plataforma::igualesSinMayusculas(c, d);
        if (!hay) throw ErrorBaseDatos(nombre_ + ": Field '" + std::string(d) + "' not found");
    }
}

}  // namespace autorep::bd
