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

std::string bloque(const PlantillaConsulta& p, const std::vector<std::string>& tipos) {
    std::string s = "EXECUTE BLOCK (L VARCHAR(" + std::to_string(maximoLote) + ") CHARACTER SET NONE = ?) RETURNS (K INTEGER";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += ", C" + std::to_string(i) + " " + tipos[i];
    s += ") AS DECLARE P INTEGER = 1; DECLARE D INTEGER; DECLARE N INTEGER;";
    for (std::size_t v = 0; v < p.citado.size(); ++v)
        s += " DECLARE V" + std::to_string(v) + (p.citado[v] ? " VARCHAR(" + std::to_string(maximoLote) + ") CHARACTER SET NONE;" : " BIGINT;");
    s += " BEGIN K = 0; WHILE (P <= CHAR_LENGTH(L)) DO BEGIN K = K + 1;";
    for (std::size_t v = 0; v < p.citado.size(); ++v)
        s += " D = POSITION(':', L, P); N = CAST(SUBSTRING(L FROM P FOR D - P) AS INTEGER); V" + std::to_string(v) +
             " = SUBSTRING(L FROM D + 1 FOR N); P = D + 1 + N;";
    s += " FOR " + p.partes[0];
    for (std::size_t v = 0; v < p.citado.size(); ++v) s += ":V" + std::to_string(v) + p.partes[v + 1];
    s += " INTO";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += (i ? ", :C" : " :C") + std::to_string(i);
    s += " DO BEGIN SUSPEND; LEAVE; END END END";
    return s;
}

}  // namespace

std::string PlantillaConsulta::referencia(const std::vector<std::string>& valores) const {
    std::string s = partes[0];
    for (std::size_t v = 0; v < citado.size(); ++v) s += (citado[v] ? bd::citar(valores[v]) : valores[v]) + partes[v + 1];
    return s;
}

std::vector<std::optional<std::vector<bd::Valor>>> buscarPorLotes(bd::Conexion& conexion,
                                                                  const PlantillaConsulta& plantilla,
                                                                  const std::vector<std::vector<std::string>>& claves,
                                                                  const Interrupcion* interrupcion) {
    std::vector<std::optional<std::vector<bd::Valor>>> r(claves.size());
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
            r.at(primero + k - 1) = std::vector<bd::Valor>(fila.begin() + 1, fila.end());
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
                              const plataforma::Regional& regional, const Interrupcion* interrupcion) {
    PlanLotes plan;
    plan.lineas_.resize(filas.size());
    if (filas.empty()) return plan;
    const std::int64_t tipo = filas.front().tipoEntero;
    for (const auto& f : filas)
        if (f.tipoEntero != tipo) throw SinLotes("tipos distintos en una corrida");
    auto texto = [&](const bd::Valor& v) { return textoCampo(v, regional); };

    if (const ReglaImporte* regla = reglaImporte(tipo)) {
        Claves ids;
        std::vector<std::size_t> idDeFila;
        for (const auto& f : filas) idDeFila.push_back(ids.agregar({f.idDoc}));
        const auto enOrigen = buscarPorLotes(origen, {{std::string(regla->consultaOrigen), ""}, {false}}, ids.lista, interrupcion);

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

        for (std::size_t i = 0; i < filas.size(); ++i) {
            const auto& o = enOrigen[idDeFila[i]];
            if (!o) continue;
            Linea& l = plan.lineas_[i];
            l.enOrigen = true;
            const std::string importeOrigen = texto(o->at(0));
            const auto& d = enDestino[codigoDeFila[i]];
            l.encontrado = d.has_value();
            const std::string importeDestino = d ? texto(d->at(0)) : std::string(noEncontrado);
            l.iguales = l.encontrado && importeOrigen == importeDestino;
            l.campos = {filas[i].codigo, filas[i].fecha, importeOrigen, importeDestino};
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
        if (cabeceras[k]->size() < 4) throw SinLotes("encabezado con menos de cuatro columnas");
        comprobanteDeId[k] = comprobantes.agregar({texto(cabeceras[k]->at(1)), texto(cabeceras[k]->at(2)), texto(cabeceras[k]->at(3))});
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
        sumaDestinoDeId[k] = consecutivos.agregar({std::to_string(enDestino[comprobanteDeId[k]]->at(0).comoEntero())});
    }
    const auto sumasOrigen = buscarPorLotes(origen, {{sumas, ""}, {false}}, idsConDestino.lista, interrupcion);
    const auto sumasDestino = buscarPorLotes(destino, {{sumas, ""}, {false}}, consecutivos.lista, interrupcion);

    for (std::size_t i = 0; i < filas.size(); ++i) {
        const std::size_t k = idDeFila[i];
        if (!cabeceras[k]) continue;
        Linea& l = plan.lineas_[i];
        l.enOrigen = true;
        if (!enDestino[comprobanteDeId[k]]) {
            l.campos = {filas[i].codigo, filas[i].fecha, texto(cabeceras[k]->at(0)), texto(cabeceras[k]->at(1)),
                        std::string(noEncontrado), std::string(noEncontrado)};
            continue;
        }
        const auto& so = sumasOrigen[sumaOrigenDeId[k]];
        const auto& sd = sumasDestino[sumaDestinoDeId[k]];
        if (!so || !sd) throw SinLotes("suma sin fila");
        l.encontrado = true;
        l.campos = {filas[i].codigo, filas[i].fecha, texto(so->at(0)), texto(so->at(1)), texto(sd->at(0)), texto(sd->at(1))};
        l.iguales = l.campos[2] == l.campos[4] && l.campos[3] == l.campos[5];
    }
    return plan;
}

void PlanLotes::escribir(std::size_t i, Reporte& reporte, Resumen& resumen) const {
    if (!conRegla_) return;
    const Linea& l = lineas_.at(i);
    if (!l.enOrigen) {
        ++resumen.sinOrigen;
        return;
    }
    if (l.campos.size() == 4) reporte.escribirLinea({l.campos[0], l.campos[1], l.campos[2], l.campos[3]});
    else reporte.escribirLinea({l.campos[0], l.campos[1], l.campos[2], l.campos[3], l.campos[4], l.campos[5]});
    ++resumen.lineas;
    if (!l.encontrado) ++resumen.noEncontrados;
    else ++(l.iguales ? resumen.iguales : resumen.diferentes);
}

}  // namespace autorep::conciliacion
