#include "reconcile/ramas.h"

namespace autorep::conciliacion {

namespace {

void mitades(std::string& sql, const std::string& variable, std::size_t desde, std::size_t hasta,
             const std::function<std::string(std::size_t)>& rama) {
    if (hasta - desde == 1) {
        sql += "BEGIN " + rama(desde) + " END\n";
        return;
    }
    const std::size_t medio = desde + (hasta - desde) / 2;
    sql += "IF (" + variable + " < " + std::to_string(medio) + ") THEN\n";
    mitades(sql, variable, desde, medio, rama);
    sql += "ELSE\n";
    mitades(sql, variable, medio, hasta, rama);
}

}  // namespace

std::string elegirPorMitades(const std::string& variable, std::size_t n,
                             const std::function<std::string(std::size_t)>& rama) {
    std::string sql;
    if (n > 0) mitades(sql, variable, 0, n, rama);
    return sql;
}

}  // namespace autorep::conciliacion
