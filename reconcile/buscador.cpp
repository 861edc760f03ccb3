#include "reconcile/buscador.h"

#include <bit>
#include <charconv>

#include "db/error_bd.h"
#include "db/sql.h"

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

std::string parametro(std::size_t k, std::size_t v) { return "P" + std::to_string(k) + "_" + std::to_string(v); }

// For each of `claves` keys: K (its place in the statement), N (how many rows
// its query yields) and the first of those rows; nothing for a key whose
// query yields none.
std::string bloque(const PlantillaConsulta& p, const std::vector<std::string>& tipos, std::size_t claves,
                   std::size_t largo) {
    std::string s = "EXECUTE BLOCK (";
    for (std::size_t k = 0; k < claves; ++k)
        for (std::size_t v = 0; v < p.citado.size(); ++v)
            s += (k || v ? ", " : "") + parametro(k, v) +
                 (p.citado[v] ? " VARCHAR(" + std::to_string(largo) + ") CHARACTER SET NONE = ?"
                              : " BIGINT = ?");
    s += ") RETURNS (K INTEGER, N INTEGER";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += ", C" + std::to_string(i) + " " + tipos[i];
    s += ") AS";
    for (std::size_t i = 0; i < tipos.size(); ++i) s += " DECLARE T" + std::to_string(i) + " " + tipos[i] + ";";
    s += " BEGIN";
    std::string into = " INTO", copia;
    for (std::size_t i = 0; i < tipos.size(); ++i) {
        into += (i ? ", :T" : " :T") + std::to_string(i);
        copia += " C" + std::to_string(i) + " = T" + std::to_string(i) + ";";
    }
    for (std::size_t k = 0; k < claves; ++k) {
        s += " K = " + std::to_string(k) + "; N = 0; FOR " + p.partes[0];
        for (std::size_t v = 0; v < p.citado.size(); ++v) s += ":" + parametro(k, v) + p.partes[v + 1];
        s += into + " DO BEGIN N = N + 1; IF (N = 1) THEN BEGIN" + copia + " END END IF (N > 0) THEN SUSPEND;";
    }
    return s + " END";
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

std::size_t Buscador::largoNecesario(const std::vector<std::string>& clave) const {
    std::size_t largo = 1;
    for (std::size_t v = 0; v < clave.size(); ++v) {
        // The rule's statement ends at a NUL, as C text does, and fails; a
        // parameter would carry the value whole and answer.
        if (clave[v].find('\0') != std::string::npos) return 0;
        if (plantilla_.citado[v]) largo = std::max(largo, clave[v].size());
        else if (!entero(clave[v])) return 0;
    }
    return largo <= largoCorto ? largoCorto : largo <= largoLargo ? largoLargo : 0;
}

bd::Preparada& Buscador::bloqueDe(std::size_t claves, std::size_t largo) {
    // Few keys take a small block, so that a short run does not prepare a
    // long one; blocks go by powers of two, each prepared once.
    std::size_t tamanio = std::min({std::bit_ceil(claves), maximo_, largo == largoLargo ? std::size_t{16} : maximo_});
    // A block prepared already that carries as many keys takes fewer too:
    // the server compiles a long block in tens of milliseconds, and runs the
    // keys that fill it in microseconds.
    const Bloque* mayor = nullptr;
    for (const auto& b : bloques_)
        if (b.largo == largo && b.claves >= tamanio && (!mayor || b.claves < mayor->claves)) mayor = &b;
    if (mayor) return *mayor->sentencia;
    for (;;) {
        for (const auto& b : bloques_)
            if (b.claves == tamanio && b.largo == largo) return *b.sentencia;
        try {
            bloques_.push_back({tamanio, largo, conexion_.preparar(bloque(plantilla_, tipos_, tamanio, largo))});
            return *bloques_.back().sentencia;
        } catch (const bd::ErrorBaseDatos&) {
            // A statement may name at most 256 tables: a query that joins two
            // takes half the keys.
            if (tamanio == 1) throw;
            maximo_ = tamanio = tamanio / 2;
        }
    }
}

Respuestas Buscador::buscar(const std::vector<std::vector<std::string>>& claves, const Interrupcion* interrupcion) {
    fallas_ = logradas_ = fallidas_ = 0;
    primerError_.clear();
    // Short keys and the rare long ones go in blocks of their own, so that
    // the usual message stays small.
    std::vector<std::size_t> cortas, largas;
    for (std::size_t k = 0; k < claves.size(); ++k) {
        const std::size_t largo = largoNecesario(claves[k]);
        if (largo == largoCorto) cortas.push_back(k);
        else if (largo == largoLargo) largas.push_back(k);
    }
    const std::size_t primera = !cortas.empty() ? cortas.front() : !largas.empty() ? largas.front() : claves.size();
    if (tipos_.empty() && primera < claves.size()) {
        tipos_ = conexion_.describir(plantilla_.referencia(claves[primera]));
        columnas_ = tipos_.size();
    }
    Respuestas r(claves.size(), columnas_);
    preguntar(claves, cortas, largoCorto, r, interrupcion);
    preguntar(claves, largas, largoLargo, r, interrupcion);
    return r;
}

void Buscador::preguntar(const std::vector<std::vector<std::string>>& claves, const std::vector<std::size_t>& aPreguntar,
                         std::size_t largo, Respuestas& r, const Interrupcion* interrupcion) {
    for (std::size_t primero = 0, cuantas = 0; primero < aPreguntar.size(); primero += cuantas) {
        bd::Preparada& bloque = bloqueDe(aPreguntar.size() - primero, largo);
        cuantas = std::min(bloque.parametros() / plantilla_.citado.size(), aPreguntar.size() - primero);
        preguntarTramo(claves, aPreguntar, primero, cuantas, largo, r, interrupcion);
    }
}

void Buscador::preguntarTramo(const std::vector<std::vector<std::string>>& claves,
                              const std::vector<std::size_t>& aPreguntar, std::size_t primero, std::size_t cuantas,
                              std::size_t largo, Respuestas& r, const Interrupcion* interrupcion) {
    if (interrupcion) interrupcion->comprobar();
    bd::Preparada& bloque = bloqueDe(cuantas, largo);
    const std::size_t porSentencia = bloque.parametros() / plantilla_.citado.size();
    std::vector<bd::Parametro> parametros;
    // A statement carries a fixed number of keys: the last one is filled
    // with the first key again, whose answers are not read.
    for (std::size_t i = 0; i < porSentencia; ++i) {
        const auto& clave = claves[aPreguntar[primero + (i < cuantas ? i : 0)]];
        for (std::size_t v = 0; v < clave.size(); ++v) {
            std::int64_t n = 0;
            if (plantilla_.citado[v]) parametros.push_back(bd::Parametro::deTexto(clave[v]));
            else if (entero(clave[v], &n)) parametros.push_back(bd::Parametro::deEntero(n));
        }
    }
    try {
        bloque.ejecutar(parametros, [&](const std::vector<bd::Valor>& fila) {
            const auto i = static_cast<std::size_t>(fila[0].comoEntero());
            if (i >= cuantas) return;
            const std::size_t k = aPreguntar[primero + i];
            r.filas_[k] = fila[1].comoEntero();
            for (std::size_t c = 0; c < columnas_; ++c) r.valores_.poner(k * columnas_ + c, fila[2 + c]);
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
        preguntarTramo(claves, aPreguntar, primero, cuantas / 2, largo, r, interrupcion);
        preguntarTramo(claves, aPreguntar, primero + cuantas / 2, cuantas - cuantas / 2, largo, r, interrupcion);
    }
}

}  // namespace autorep::conciliacion
