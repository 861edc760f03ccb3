#include "reconcile/buscador.h"

#include <charconv>
#include <cstdio>

#include "db/error_bd.h"
#include "db/sql.h"
#include "reconcile/ramas.h"

namespace autorep::conciliacion {

namespace {

// A bare value the rule writes into its query as it stands: a whole number
// the block can carry in a BIGINT.
bool entero(const std::string& s, std::int64_t* v = nullptr) {
    std::int64_t x = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), x);
    if (s.empty() || ec != std::errc{} || p != s.data() + s.size()) return false;
    if (v) *v = x;
    return true;
}

// The block takes its keys packed in one text, each value as four digits of
// length and its bytes, and runs the rule's query once for each key in a
// loop: one short block serves any number of keys, and the server compiles
// it at once, where a block with the query written out for every key took it
// tens of milliseconds.
// Each row it hands over holds the answers of up to `clavesPorFila` keys,
// since handing a row over costs the server more than a key's query: M (how
// many), then for each key K (its place in the text), N (how many rows its
// query yields) and the first of those rows. A key whose query yields none
// has no answer.
std::string bloque(const PlantillaConsulta& p, const std::vector<std::string>& tipos) {
    const std::string texto = "VARCHAR(" + std::to_string(Buscador::bytesPorSentencia) + ") CHARACTER SET NONE";
    const std::size_t filas = Buscador::clavesPorFila;
    auto lugar = [](std::size_t j, const std::string& que) { return que + std::to_string(j); };
    std::string s = "EXECUTE BLOCK (S " + texto + " = ?, NK BIGINT = ?) RETURNS (M INTEGER";
    for (std::size_t j = 0; j < filas; ++j) {
        s += ", " + lugar(j, "K") + " INTEGER, " + lugar(j, "N") + " INTEGER";
        for (std::size_t i = 0; i < tipos.size(); ++i) s += ", " + lugar(j, "C" + std::to_string(i) + "_") + " " + tipos[i];
    }
    s += ") AS DECLARE P INTEGER = 1; DECLARE L INTEGER; DECLARE K INTEGER = 0; DECLARE N INTEGER;";
    for (std::size_t v = 0; v < p.citado.size(); ++v)
        s += " DECLARE V" + std::to_string(v) +
             (p.citado[v] ? " VARCHAR(" + std::to_string(Buscador::largoMaximo) + ") CHARACTER SET NONE;" : " BIGINT;");
    for (std::size_t i = 0; i < tipos.size(); ++i)
        s += " DECLARE T" + std::to_string(i) + " " + tipos[i] + "; DECLARE F" + std::to_string(i) + " " + tipos[i] + ";";
    s += " BEGIN M = 0; WHILE (K < NK) DO BEGIN";
    for (std::size_t v = 0; v < p.citado.size(); ++v) {
        const std::string valor = "SUBSTRING(S FROM P + 4 FOR L)";
        s += " L = CAST(SUBSTRING(S FROM P FOR 4) AS INTEGER); V" + std::to_string(v) + " = " +
             (p.citado[v] ? valor : "CAST(" + valor + " AS BIGINT)") + "; P = P + 4 + L;";
    }
    std::string into = " INTO", primera;
    for (std::size_t i = 0; i < tipos.size(); ++i) {
        into += (i ? ", :T" : " :T") + std::to_string(i);
        primera += " F" + std::to_string(i) + " = T" + std::to_string(i) + ";";
    }
    s += " N = 0; FOR " + p.partes[0];
    for (std::size_t v = 0; v < p.citado.size(); ++v) s += ":V" + std::to_string(v) + p.partes[v + 1];
    s += into + " DO BEGIN N = N + 1; IF (N = 1) THEN BEGIN" + primera + " END END IF (N > 0) THEN BEGIN\n";
    s += elegirPorMitades("M", filas, [&](std::size_t j) {
        std::string asignar = lugar(j, "K") + " = K; " + lugar(j, "N") + " = N;";
        for (std::size_t i = 0; i < tipos.size(); ++i)
            asignar += " " + lugar(j, "C" + std::to_string(i) + "_") + " = F" + std::to_string(i) + ";";
        return asignar;
    });
    s += " M = M + 1; IF (M = " + std::to_string(filas) + ") THEN BEGIN SUSPEND; M = 0; END END K = K + 1;";
    return s + " END IF (M > 0) THEN SUSPEND; END";
}

// One value as the block reads it.
void empaquetar(std::string& s, const std::string& valor) {
    char largo[8];
    std::snprintf(largo, sizeof largo, "%04zu", valor.size());
    s.append(largo, 4);
    s += valor;
}

}  // namespace

std::string PlantillaConsulta::referencia(const std::vector<std::string>& valores) const {
    std::string s = partes[0];
    for (std::size_t v = 0; v < citado.size(); ++v) s += (citado[v] ? bd::citar(valores[v]) : valores[v]) + partes[v + 1];
    return s;
}

Respuestas::Respuestas(std::size_t claves, std::size_t columnas) : columnas_(columnas), filas_(claves, -1) {
    valores_.redimensionar(claves * columnas);
}

Buscador::Buscador(bd::Conexion& conexion, PlantillaConsulta plantilla)
    : conexion_(conexion), plantilla_(std::move(plantilla)) {}

Buscador::~Buscador() = default;

bool Buscador::llevable(const std::vector<std::string>& clave) const {
    for (std::size_t v = 0; v < clave.size(); ++v) {
        // The rule's statement ends at a NUL, as C text does, and fails; the
        // block would carry the value whole and answer.
        if (clave[v].find('\0') != std::string::npos) return false;
        if (plantilla_.citado[v] ? clave[v].size() > largoMaximo : !entero(clave[v])) return false;
    }
    return bytesDe(clave) <= bytesPorSentencia;
}

std::size_t Buscador::bytesDe(const std::vector<std::string>& clave) {
    std::size_t n = 0;
    for (const auto& v : clave) n += 4 + v.size();
    return n;
}

Respuestas Buscador::buscar(const std::vector<std::vector<std::string>>& claves, const Interrupcion* interrupcion) {
    fallas_ = logradas_ = fallidas_ = 0;
    primerError_.clear();
    std::vector<std::size_t> aPreguntar;
    for (std::size_t k = 0; k < claves.size(); ++k)
        if (llevable(claves[k])) aPreguntar.push_back(k);
    if (!aPreguntar.empty() && !bloque_) {
        tipos_ = conexion_.describir(plantilla_.referencia(claves[aPreguntar.front()]));
        columnas_ = tipos_.size();
        bloque_ = conexion_.preparar(bloque(plantilla_, tipos_));
    }
    Respuestas r(claves.size(), columnas_);
    // As many keys in each statement as its text takes.
    for (std::size_t primero = 0; primero < aPreguntar.size();) {
        std::size_t cuantas = 0, bytes = 0;
        while (primero + cuantas < aPreguntar.size() && cuantas < clavesPorSentencia) {
            const std::size_t b = bytesDe(claves[aPreguntar[primero + cuantas]]);
            if (bytes + b > bytesPorSentencia) break;
            bytes += b;
            ++cuantas;
        }
        preguntarTramo(claves, aPreguntar, primero, cuantas, r, interrupcion);
        primero += cuantas;
    }
    return r;
}

void Buscador::preguntarTramo(const std::vector<std::vector<std::string>>& claves,
                              const std::vector<std::size_t>& aPreguntar, std::size_t primero, std::size_t cuantas,
                              Respuestas& r, const Interrupcion* interrupcion) {
    if (interrupcion) interrupcion->comprobar();
    std::string texto;
    for (std::size_t i = 0; i < cuantas; ++i) {
        const auto& clave = claves[aPreguntar[primero + i]];
        for (std::size_t v = 0; v < clave.size(); ++v) {
            std::int64_t n = 0;
            if (plantilla_.citado[v]) empaquetar(texto, clave[v]);
            else if (entero(clave[v], &n)) empaquetar(texto, std::to_string(n));
        }
    }
    try {
        const std::vector<bd::Parametro> parametros = {bd::Parametro::deTexto(std::move(texto)),
                                                       bd::Parametro::deEntero(static_cast<std::int64_t>(cuantas))};
        bloque_->ejecutar(parametros, [&](const std::vector<bd::Valor>& fila) {
            const auto m = static_cast<std::size_t>(fila[0].comoEntero());
            for (std::size_t j = 0; j < m && j < clavesPorFila; ++j) {
                const bd::Valor* respuesta = fila.data() + 1 + j * (2 + columnas_);
                const auto i = static_cast<std::size_t>(respuesta[0].comoEntero());
                if (i >= cuantas) continue;
                const std::size_t k = aPreguntar[primero + i];
                r.filas_[k] = respuesta[1].comoEntero();
                for (std::size_t c = 0; c < columnas_; ++c) r.valores_.poner(k * columnas_ + c, respuesta[2 + c]);
            }
        });
        for (std::size_t i = 0; i < cuantas; ++i)
            if (r.filas_[aPreguntar[primero + i]] < 0) r.filas_[aPreguntar[primero + i]] = 0;
        ++logradas_;
    } catch (const bd::ErrorBaseDatos& e) {
        if (interrupcion) interrupcion->comprobar();
        if (fallidas_++ == 0) primerError_ = e.what();
        // The query fails for some key (a number that is no number, ...):
        // halves are asked again until that key stands alone, and it is left
        // to the rule, which meets the error at its own row, if it asks.
        for (std::size_t i = 0; i < cuantas; ++i) r.filas_[aPreguntar[primero + i]] = -1;
        // Errors everywhere (a lost connection) are not chased key by key.
        if (cuantas == 1 || ++fallas_ > 64) return;
        preguntarTramo(claves, aPreguntar, primero, cuantas / 2, r, interrupcion);
        preguntarTramo(claves, aPreguntar, primero + cuantas / 2, cuantas - cuantas / 2, r, interrupcion);
    }
}

}  // namespace autorep::conciliacion
