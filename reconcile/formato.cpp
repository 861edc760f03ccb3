#include "reconcile/formato.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/fecha.h"

namespace autorep::conciliacion {

std::string miles(std::uint64_t n) {
    std::string digitos = std::to_string(n);
    if (digitos.size() < 5) return digitos;
    std::string texto;
    for (std::size_t i = 0; i < digitos.size(); ++i) {
        if (i > 0 && (digitos.size() - i) % 3 == 0) texto += "\u202f";
        texto += digitos[i];
    }
    return texto;
}

std::string plural(std::uint64_t n, std::string_view singular, std::string_view varios) {
    return miles(n) + " " + std::string(n == 1 ? singular : varios);
}

std::string duracion(double segundos) {
    char texto[32];
    const double decimas = std::round(std::max(segundos, 0.0) * 10) / 10;
    if (decimas < 10 && decimas != std::floor(decimas)) {
        std::snprintf(texto, sizeof texto, "%.1f s", decimas);
        return texto;
    }
    const auto total = std::llround(std::max(segundos, 0.0));
    if (total < 60)
        std::snprintf(texto, sizeof texto, "%lld s", total);
    else if (total < 3600)
        std::snprintf(texto, sizeof texto, "%lld min %02lld s", total / 60, total % 60);
    else
        std::snprintf(texto, sizeof texto, "%lld h %02lld min", total / 3600, total % 3600 / 60);
    return texto;
}

std::optional<MomentoIso> leerMomentoIso(std::string_view iso) {
    auto numero = [&](std::size_t desde, std::size_t largo) -> std::optional<int> {
        if (desde + largo > iso.size()) return std::nullopt;
        int valor = 0;
        for (char c : iso.substr(desde, largo)) {
            if (c < '0' || c > '9') return std::nullopt;
            valor = valor * 10 + (c - '0');
        }
        return valor;
    };
    const auto anio = numero(0, 4), mes = numero(5, 2), dia = numero(8, 2);
    const auto hora = numero(11, 2), minuto = numero(14, 2), segundo = numero(17, 2);
    if (!anio || !mes || !dia || !hora || !minuto || !segundo || iso[4] != '-' || iso[7] != '-' ||
        (iso[10] != 'T' && iso[10] != ' ') || iso[13] != ':' || iso[16] != ':' || *mes < 1 || *mes > 12 ||
        *dia < 1 || *dia > 31 || *hora > 23 || *minuto > 59 || *segundo > 60)
        return std::nullopt;
    std::size_t resto = 19;
    if (resto < iso.size() && (iso[resto] == '.' || iso[resto] == ','))
        for (++resto; resto < iso.size() && iso[resto] >= '0' && iso[resto] <= '9';) ++resto;

    char texto[64];
    std::snprintf(texto, sizeof texto, "%02d/%02d/%04d %02d:%02d:%02d", *dia, *mes, *anio, *hora, *minuto, *segundo);
    MomentoIso m{texto, {}, 0, {}};
    const long long local = plataforma::diasDesde1970({*anio, static_cast<unsigned>(*mes), static_cast<unsigned>(*dia)}) *
                                86400LL +
                            *hora * 3600 + *minuto * 60 + *segundo;
    m.segundosLocales = local;
    const std::string_view zona = iso.substr(resto);
    if (zona == "Z") {
        m.zona = "UTC";
        m.segundosUtc = local;
    } else if (zona.size() == 6 && (zona[0] == '+' || zona[0] == '-') && zona[3] == ':') {
        const auto horas = numero(resto + 1, 2), minutos = numero(resto + 4, 2);
        if (!horas || !minutos) return std::nullopt;
        // U+2212, the minus sign, reads better than a hyphen beside digits.
        m.zona = std::string("UTC") + (zona[0] == '-' ? "\u2212" : "+") + std::string(zona.substr(1));
        const long long desfase = (*horas * 3600 + *minutos * 60) * (zona[0] == '-' ? -1 : 1);
        m.segundosUtc = local - desfase;
    } else if (!zona.empty()) {
        return std::nullopt;
    }
    return m;
}

}  // namespace autorep::conciliacion
