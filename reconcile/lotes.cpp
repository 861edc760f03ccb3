#include "reconcile/lotes.h"

#include <map>

#include "db/sql.h"
#include "reconcile/importe.h"

namespace autorep::conciliacion {

namespace {

// What one EXECUTE BLOCK may carry in its one text parameter.
constexpr std::size_t maximoLote = 30000;

bool esEnteroLiteral(const std::string& s) {
    std::size_t i = s.size() > 1 && s[0] == '-' ? 1 : 0;
    if (i == s.size() || s.size() > 19) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// Keys go into the parameter as "<length>:<bytes>" per value, so that any
// byte may stand in a value.
std::string codificar(const std::vector<std::string>& valores) {
    std::string r;
    for (const auto& v : valores) r += std::to_string(v.size()) + ":" + v;
    return r;
}

// The block returns K (the key's position), N (how many rows its query
// yields) and the first of those rows.
std::string bloque(const PlantillaConsulta& p, const std::vector<std::string>& tipos) {
    std::string s = "EXECUTE BLOCK (L VARCHAR(" + std::to_string(maximoLote) + ") CHARACTER SET NONE = ?) RETURNS (K INTEGER, N INTEGER";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += ", C" + std::to_string(i) + " " + tipos[i];
    s += ") AS DECLARE P INTEGER = 1; DECLARE D INTEGER; DECLARE LARGO INTEGER;";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += " DECLARE T" + std::to_string(i) + " " + tipos[i] + ";";
    for (std::size_t v = 0; v < p.citado.size(); ++v)
        s += " DECLARE V" + std::to_string(v) + (p.citado[v] ? " VARCHAR(" + std::to_string(maximoLote) + ") CHARACTER SET NONE;" : " BIGINT;");
    s += " BEGIN K = 0; WHILE (P <= CHAR_LENGTH(L)) DO BEGIN K = K + 1; N = 0;";
    for (std::size_t v = 0; v < p.citado.size(); ++v)
        s += " D = POSITION(':', L, P); LARGO = CAST(SUBSTRING(L FROM P FOR D - P) AS INTEGER); V" + std::to_string(v) +
             " = SUBSTRING(L FROM D + 1 FOR LARGO); P = D + 1 + LARGO;";
    s += " FOR " + p.partes[0];
    for (std::size_t v = 0; v < p.citado.size(); ++v) s += ":V" + std::to_string(v) + p.partes[v + 1];
    s += " INTO";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += (i ? ", :T" : " :T") + std::to_string(i);
    s += " DO BEGIN N = N + 1; IF (N = 1) THEN BEGIN";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += " C" + std::to_string(i) + " = T" + std::to_string(i) + ";";
    s += " END END IF (N > 0) THEN SUSPEND; END END";
    return s;
}

}  // namespace

std::string PlantillaConsulta::referencia(const std::vector<std::string>& valores) const {
    std::string s = partes[0];
    for (std::size_t v = 0; v < citado.size(); ++v) s += (citado[v] ? bd::citar(valores[v]) : valores[v]) + partes[v + 1];
    return s;
}

std::vector<std::optional<Hallado>> buscarPorLotes(bd::Conexion& conexion,
                                                                  const PlantillaConsulta& plantilla,
                                                                  const std::vector<std::vector<std::string>>& claves,
                                                                  const Interrupcion* interrupcion) {
    std::vector<std::optional<Hallado>> r(claves.size());
    if (claves.empty()) return r;
    for (const auto& c : claves)
        for (std::size_t v = 0; v < c.size(); ++v)
            if (!plantilla.citado[v] && !esEnteroLiteral(c[v])) throw SinLotes("valor no entero: " + c[v]);
    const std::string sql = bloque(plantilla, conexion.describir(plantilla.referencia(claves.front())));

    std::size_t primero = 0;
    while (primero < claves.size()) {
        if (interrupcion) interrupcion->comprobar();
        std::string parametro;
        std::size_t ultimo = primero;
        for (; ultimo < claves.size(); ++ultimo) {
            const std::string clave = codificar(claves[ultimo]);
            if (clave.size() > maximoLote) throw SinLotes("clave demasiado larga");
            if (parametro.size() + clave.size() > maximoLote) break;
            parametro += clave;
        }
        conexion.recorrer(sql, {parametro}, [&](const std::vector<bd::Valor>& fila) {
            const auto k = static_cast<std::size_t>(fila[0].comoEntero());
            r.at(primero + k - 1) = Hallado{std::vector<bd::Valor>(fila.begin() + 2, fila.end()), fila[1].comoEntero()};
        });
        primero = ultimo;
    }
    return r;
}

namespace {

// Distinct keys in the order of their first appearance, and each row's index.
struct Claves {
    std::vector<std::vector<std::string>> lista;
    std::map<std::vector<std::string>, std::size_t> indice;
    std::size_t agregar(std::vector<std::string> clave) {
        const auto [it, nueva] = indice.emplace(clave, lista.size());
        if (nueva) lista.push_back(std::move(clave));
        return it->second;
    }
};

}  // namespace

PlanLotes PlanLotes::preparar(const std::vector<FilaAuditoria>& filas, bd::Conexion& origen, bd::Conexion& destino,
                              const plataforma::Regional& regional, const Conteo& conteo,
                              const Interrupcion* interrupcion) {
    PlanLotes plan;
    plan.desenlaces_.resize(filas.size());
    if (filas.empty()) return plan;
    const std::int64_t tipo = filas.front().tipoEntero;
    for (const auto& f : filas)
        if (f.tipoEntero != tipo) throw SinLotes("tipos distintos en una corrida");
    auto texto = [&](const bd::Valor& v) { return textoCampo(v, regional); };

    if (const ReglaImporte* regla = reglaImporte(tipo)) {
        Claves ids;
        std::vector<std::size_t> idDeFila;
        for (const auto& f : filas) idDeFila.push_back(ids.agregar({f.idDoc}));
        const auto enOrigen =
            buscarPorLotes(origen, {{std::string(regla->consultaOrigen), ""}, {false}}, ids.lista, interrupcion);

        Claves codigos;
        std::vector<std::size_t> codigoDeFila(filas.size());
        for (std::size_t i = 0; i < filas.size(); ++i) {
            if (!enOrigen[idDeFila[i]]) continue;
            const auto partes = partirCodigo(filas[i].codigo, regla->ancho);
            codigoDeFila[i] = codigos.agregar({partes.prefijo, partes.numero});
        }
        const auto enDestino = buscarPorLotes(
            destino, {{std::string(regla->cabezaDestino), std::string(regla->condicionNumero), ""}, {true, true}},
            codigos.lista, interrupcion);
        std::vector<std::optional<Hallado>> cabeceras;
        if (conteo.duplicados && !regla->conteoDestino.empty())
            cabeceras = buscarPorLotes(
                destino, {{std::string(regla->conteoDestino), std::string(regla->condicionNumero), ""}, {true, true}},
                codigos.lista, interrupcion);

        for (std::size_t i = 0; i < filas.size(); ++i) {
            const auto& o = enOrigen[idDeFila[i]];
            if (!o) continue;
            Desenlace& d = plan.desenlaces_[i];
            d.enOrigen = true;
            const auto& en = enDestino[codigoDeFila[i]];
            d.encontrado = en.has_value();
            const bd::Valor destinoValor = en ? en->fila.at(0) : bd::Valor::nulo();
            d.campos = {filas[i].codigo, filas[i].fecha, texto(o->fila.at(0)),
                        en ? texto(destinoValor) : std::string(noEncontrado)};
            d.importes = {{o->fila.at(0), destinoValor}};
            d.enDestino = en ? en->filas : 0;
            if (!cabeceras.empty()) d.enDestino = cabeceras[codigoDeFila[i]] ? cabeceras[codigoDeFila[i]]->fila.at(0).comoEntero() : 0;
        }
        return plan;
    }
    if (tipo != tipoComprobante) {
        // No rule: nothing is looked up, so nothing can be gone from the origin.
        plan.conRegla_ = false;
        return plan;
    }

    const std::string sumas(comprobante::sumas);
    Claves ids;
    std::vector<std::size_t> idDeFila;
    for (const auto& f : filas) idDeFila.push_back(ids.agregar({f.idDoc}));
    const auto cabeceras =
        buscarPorLotes(origen, {{std::string(comprobante::cabecera), ""}, {false}}, ids.lista, interrupcion);

    Claves comprobantes;
    std::vector<std::size_t> comprobanteDeId(ids.lista.size());
    for (std::size_t k = 0; k < ids.lista.size(); ++k) {
        if (!cabeceras[k]) continue;
        const auto& c = cabeceras[k]->fila;
        if (c.size() < 4) throw SinLotes("encabezado con menos de cuatro columnas");
        comprobanteDeId[k] = comprobantes.agregar({texto(c.at(1)), texto(c.at(2)), texto(c.at(3))});
    }
    const auto enDestino = buscarPorLotes(
        destino,
        {{std::string(comprobante::destinoTipo), std::string(comprobante::destinoPrefijo),
          std::string(comprobante::destinoNumero), ""},
         {true, true, true}},
        comprobantes.lista, interrupcion);

    Claves idsConDestino, consecutivos;
    std::vector<std::size_t> sumaOrigenDeId(ids.lista.size()), sumaDestinoDeId(ids.lista.size());
    for (std::size_t k = 0; k < ids.lista.size(); ++k) {
        if (!cabeceras[k] || !enDestino[comprobanteDeId[k]]) continue;
        sumaOrigenDeId[k] = idsConDestino.agregar(ids.lista[k]);
        sumaDestinoDeId[k] = consecutivos.agregar({std::to_string(enDestino[comprobanteDeId[k]]->fila.at(0).comoEntero())});
    }
    const auto sumasOrigen = buscarPorLotes(origen, {{sumas, ""}, {false}}, idsConDestino.lista, interrupcion);
    const auto sumasDestino = buscarPorLotes(destino, {{sumas, ""}, {false}}, consecutivos.lista, interrupcion);

    for (std::size_t i = 0; i < filas.size(); ++i) {
        const std::size_t k = idDeFila[i];
        if (!cabeceras[k]) continue;
        Desenlace& d = plan.desenlaces_[i];
        d.enOrigen = true;
        const auto& en = enDestino[comprobanteDeId[k]];
        d.enDestino = en ? en->filas : 0;
        if (!en) {
            const auto& c = cabeceras[k]->fila;
            d.campos = {filas[i].codigo, filas[i].fecha, texto(c.at(0)), texto(c.at(1)), std::string(noEncontrado),
                        std::string(noEncontrado)};
            continue;
        }
        const auto& so = sumasOrigen[sumaOrigenDeId[k]];
        const auto& sd = sumasDestino[sumaDestinoDeId[k]];
        if (!so || !sd) throw SinLotes("suma sin fila");
        d.encontrado = true;
        d.importes = {{so->fila.at(0), sd->fila.at(0)}, {so->fila.at(1), sd->fila.at(1)}};
        d.campos = {filas[i].codigo, filas[i].fecha, texto(so->fila.at(0)), texto(so->fila.at(1)), texto(sd->fila.at(0)),
                    texto(sd->fila.at(1))};
    }
    return plan;
}

void PlanLotes::escribir(const FilaAuditoria& fila, std::size_t i, Reporte& reporte, Resumen& resumen,
                         const Conteo& conteo) const {
    if (!conRegla_) return;
    anotar(fila, desenlaces_.at(i), reporte, resumen, conteo);
}

}  // namespace autorep::conciliacion
