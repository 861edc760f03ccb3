#include "reconcile/lotes.h"

#include <algorithm>
#include <cctype>

#include "db/error_bd.h"
#include "platform/texto.h"
#include "reconcile/importe.h"

namespace autorep::conciliacion {

namespace {

// Rows per stretch: the destination is asked for a stretch's keys while the
// next one arrives.
constexpr std::size_t filasPorTrozo = 8192;

constexpr std::string_view tablaAuditoria = "AUDITORIA";

bool empiezaCon(std::string_view s, std::string_view prefijo) {
    return s.size() >= prefijo.size() && plataforma::igualesSinMayusculas(s.substr(0, prefijo.size()), prefijo);
}

std::size_t buscarSinMayusculas(std::string_view s, std::string_view que) {
    for (std::size_t i = 0; i + que.size() <= s.size(); ++i)
        if (plataforma::igualesSinMayusculas(s.substr(i, que.size()), que)) return i;
    return std::string_view::npos;
}

// A rule's origin query, "select <list> from ... = ", as its select list and
// the rest; nothing when it is not of that form.
struct Seleccion {
    std::vector<std::string> lista;
    std::string resto;  // " from ... = "
};
std::optional<Seleccion> partirSelect(std::string_view consulta) {
    if (!empiezaCon(consulta, "select ")) return std::nullopt;
    const std::size_t desde = buscarSinMayusculas(consulta, " from ");
    if (desde == std::string_view::npos) return std::nullopt;
    Seleccion s;
    s.resto = std::string(consulta.substr(desde));
    std::string_view lista = consulta.substr(7, desde - 7);
    int nivel = 0;
    std::size_t inicio = 0;
    for (std::size_t i = 0; i <= lista.size(); ++i) {
        if (i == lista.size() || (lista[i] == ',' && nivel == 0)) {
            std::string item(lista.substr(inicio, i - inicio));
            while (!item.empty() && item.front() == ' ') item.erase(item.begin());
            while (!item.empty() && item.back() == ' ') item.pop_back();
            if (item.empty()) return std::nullopt;
            s.lista.push_back(item);
            inicio = i + 1;
        } else if (lista[i] == '(') {
            ++nivel;
        } else if (lista[i] == ')') {
            --nivel;
        }
    }
    return s;
}

// The rule's origin lookup of one column, for the audit row at hand: the
// first row its own query yields for the row's document id.
std::string subconsulta(const std::string& columna, const std::string& resto) {
    return "(select FIRST 1 " + columna + resto + std::string(tablaAuditoria) + ".AUDI_IDDOC)";
}

// The column a rule's query compares with the document id (" from
// FACTURAS_COMPRA where FACO_ID = ") and the table it reads; empty when the
// query is not that simple.
struct Comparacion {
    std::string tabla, columna;
};
Comparacion comparacionDe(std::string_view resto) {
    auto palabra = [](std::string_view s, std::size_t i) {
        std::size_t j = i;
        while (j < s.size() && (std::isalnum(static_cast<unsigned char>(s[j])) || s[j] == '_' || s[j] == '$')) ++j;
        return std::string(s.substr(i, j - i));
    };
    const std::size_t desde = buscarSinMayusculas(resto, " from ");
    const std::size_t donde = buscarSinMayusculas(resto, " where ");
    if (desde != 0 || donde == std::string_view::npos) return {};
    Comparacion c{palabra(resto, 6), palabra(resto, donde + 7)};
    // Nothing but "<tabla> where <columna> = ".
    if (c.tabla.empty() || c.columna.empty() || 6 + c.tabla.size() != donde) return {};
    std::string_view cola = resto.substr(donde + 7 + c.columna.size());
    while (!cola.empty() && cola.front() == ' ') cola.remove_prefix(1);
    if (cola != "= " && cola != "=") return {};
    for (auto* t : {&c.tabla, &c.columna})
        for (char& ch : *t) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return c;
}

// Whether the compared column holds whole numbers: only then does comparing
// it with the audit row's id mean what comparing it with the rule's integer
// literal does (a text column is compared with a number by converting every
// value of it).
bool comparaEnteros(bd::Conexion& origen, const Comparacion& c) {
    try {
        const auto tipos = origen.describir("select " + c.columna + " from " + c.tabla);
        return tipos.size() == 1 && (tipos[0] == "SMALLINT" || tipos[0] == "INTEGER" || tipos[0] == "BIGINT");
    } catch (const bd::ErrorBaseDatos&) {
        return false;
    }
}

// Whether the compared column alone is unique in its table: then the rule's
// query yields at most one row, and the subquery's first is all of them.
bool unica(bd::Conexion& origen, const Comparacion& c) {
    bool r = false;
    try {
        origen.recorrer(
            "SELECT COUNT(*) FROM RDB$INDICES I JOIN RDB$INDEX_SEGMENTS S ON S.RDB$INDEX_NAME = I.RDB$INDEX_NAME "
            "WHERE I.RDB$RELATION_NAME = ? AND S.RDB$FIELD_NAME = ? AND I.RDB$UNIQUE_FLAG = 1 AND "
            "I.RDB$SEGMENT_COUNT = 1 AND COALESCE(I.RDB$INDEX_INACTIVE, 0) = 0 AND I.RDB$EXPRESSION_BLR IS NULL",
            {c.tabla, c.columna}, [&r](const std::vector<bd::Valor>& v) { r = v[0].comoEntero() > 0; });
    } catch (const bd::ErrorBaseDatos&) {
        return false;
    }
    return r;
}

// A sum (types 11 and 13) reads every row the way the rule does, and yields one.
bool agregada(std::string_view expresion) {
    for (std::string_view f : {"SUM(", "COUNT(", "MIN(", "MAX(", "AVG("})
        if (empiezaCon(expresion, f)) return true;
    return false;
}

// When the rule's query may yield several rows, the rule reads them all, and
// an error in a later one (a computed column) is its error: this evaluates
// every column it reads in every row, so that the audit query fails alike
// (the run then goes row by row).
std::string todasLasFilas(const std::vector<std::string>& columnas, const std::string& resto) {
    std::string suma;
    for (const auto& c : columnas) suma += (suma.empty() ? "COUNT(" : " + COUNT(") + c + ")";
    return "(select " + suma + resto + std::string(tablaAuditoria) + ".AUDI_IDDOC)";
}

bool identificadorSimple(const std::string& s) {
    if (s.empty() || !(s[0] >= 'A' && s[0] <= 'Z')) return false;
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
    });
}

// A key as one text, each value preceded by its length, for telling keys apart.
std::string unir(const std::vector<std::string>& clave) {
    std::string r;
    for (const auto& v : clave) r += std::to_string(v.size()) + ":" + v;
    return r;
}

}  // namespace

// What the batches of a type look up. Amount rules: one origin column (the
// amount), the destination by (prefix, number), and for types 11 and 13 in a
// revision the destination headers too. Vouchers: the origin header's first
// four columns and its two sums, the destination header by (type, prefix,
// number), then the destination sums by its consecutive number.
struct LecturaPorLotes::Regla {
    const ReglaImporte* importe = nullptr;
    std::vector<std::string> columnasOrigen;  // the subqueries
    PlantillaConsulta origen;                 // the rule's origin query, for rows the subqueries leave in doubt
    PlantillaConsulta destino;
    std::optional<PlantillaConsulta> conteo;
    std::optional<PlantillaConsulta> sumasDestino;
    // Vouchers: the origin sums, asked only for documents the destination
    // holds, as the rule does (a sum may fail where the rule never asks).
    std::optional<PlantillaConsulta> sumasOrigen;
};

struct LecturaPorLotes::Trozo {
    std::size_t primera = 0;  // its first row
    std::vector<std::vector<std::string>> claves;
    Respuestas destino, conteo, sumas;
    std::vector<std::int64_t> sumaDeClave;  // vouchers: the place of a key's consecutive number in sumas, or -1
    bool fallido = false;                   // a database error: its rows go row by row
    std::size_t filas = 0;
};

LecturaPorLotes::LecturaPorLotes(bd::Conexion& origen, bd::Conexion& destino, const plataforma::Regional& regional,
                                 const Conteo& conteo, const Interrupcion* interrupcion)
    : origen_(origen), destino_(destino), regional_(regional), conteo_(conteo), interrupcion_(interrupcion) {}

LecturaPorLotes::~LecturaPorLotes() {
    if (hilo_.joinable()) {
        {
            const std::lock_guard<std::mutex> guarda(mutex_);
            sinMasTrozos_ = true;
        }
        cambio_.notify_all();
        parada_.pedir();
        hilo_.join();
    }
    cancelablesPropios_.reset();
    cancelables_.reset();
    if (destinoPropio_) destinoPropio_->desconectar();
}

std::string LecturaPorLotes::textoDe(const bd::Valor& v) const { return textoCampo(v, regional_); }

std::uint32_t LecturaPorLotes::texto(const bd::Valor& v) {
    std::string t = textoDe(v);
    const auto [it, nuevo] = textoIndice_.emplace(std::move(t), static_cast<std::uint32_t>(textos_.size()));
    if (nuevo) {
        textos_.push_back(it->first);
        tipos_.push_back(0);
    }
    return it->second;
}

bool LecturaPorLotes::preparar(const std::string& consultaAuditoria, std::int64_t tipo) {
    const std::string cabeza = "SELECT * FROM " + std::string(tablaAuditoria) + " ";
    if (!empiezaCon(consultaAuditoria, cabeza)) return false;
    auto regla = std::make_unique<Regla>();
    if (const ReglaImporte* r = reglaImporte(tipo)) {
        const auto s = partirSelect(r->consultaOrigen);
        if (!s || s->lista.size() != 1) return false;
        const Comparacion c = comparacionDe(s->resto);
        if (c.columna.empty() || !comparaEnteros(origen_, c)) return false;
        regla->importe = r;
        regla->columnasOrigen = {subconsulta(s->lista[0], s->resto)};
        if (!agregada(s->lista[0]) && !unica(origen_, c)) regla->columnasOrigen.push_back(todasLasFilas(s->lista, s->resto));
        regla->origen = {{std::string(r->consultaOrigen), ""}, {false}};
        regla->destino = {{std::string(r->cabezaDestino), std::string(r->condicionNumero), ""}, {true, true}};
        if (conteo_.duplicados && !r->conteoDestino.empty())
            regla->conteo = PlantillaConsulta{{std::string(r->conteoDestino), std::string(r->condicionNumero), ""}, {true, true}};
    } else if (tipo == tipoComprobante) {
        const auto cabecera = partirSelect(comprobante::cabecera);
        const auto sumas = partirSelect(comprobante::sumas);
        if (!cabecera || cabecera->lista != std::vector<std::string>{"*"} || !sumas || sumas->lista.size() != 2) return false;
        const Comparacion c = comparacionDe(cabecera->resto);
        if (c.columna.empty() || !comparaEnteros(origen_, c) || comparacionDe(sumas->resto).columna.empty() ||
            !comparaEnteros(origen_, comparacionDe(sumas->resto)))
            return false;
        std::vector<std::string> nombres;
        try {
            origen_.describir(std::string(comprobante::cabecera) + "0", &nombres);
        } catch (const bd::ErrorBaseDatos&) {
            return false;
        }
        if (nombres.size() < 4) return false;
        for (const auto& nombre : nombres)
            if (!identificadorSimple(nombre)) return false;
        for (std::size_t i = 0; i < 4; ++i) regla->columnasOrigen.push_back(subconsulta(nombres[i], cabecera->resto));
        if (!unica(origen_, c)) regla->columnasOrigen.push_back(todasLasFilas(nombres, cabecera->resto));
        regla->sumasOrigen = PlantillaConsulta{{std::string(comprobante::sumas), ""}, {false}};
        regla->origen = {{std::string(comprobante::cabecera), ""}, {false}};
        regla->destino = {{std::string(comprobante::destinoTipo), std::string(comprobante::destinoPrefijo),
                           std::string(comprobante::destinoNumero), ""},
                          {true, true, true}};
        regla->sumasDestino = PlantillaConsulta{{std::string(comprobante::sumas), ""}, {false}};
    } else {
        return false;
    }

    // The audit table must hold what the rules read, with a whole-number
    // document id: the subqueries compare it as the rules' literal does.
    std::vector<std::string> nombres;
    std::vector<std::string> tipos;
    try {
        tipos = origen_.describir(consultaAuditoria, &nombres);
    } catch (const bd::ErrorBaseDatos&) {
        return false;
    }
    auto columna = [&](std::string_view nombre) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < nombres.size(); ++i)
            if (plataforma::igualesSinMayusculas(nombres[i], nombre)) return i;
        return std::nullopt;
    };
    for (std::string_view c : {"AUDI_ID", "AUDI_USUARIO", "AUDI_FECHA", "AUDI_HORA", "TIDO_COD", "AUDI_IDDOC", "AUDI_OPER",
                               "AUDI_COD", "AUDI_ENVIO", "AUDI_TICO", "AUDI_RAZON", "AUDI_MOTIVO", "AUDI_IPCLIENTE"})
        if (!columna(c)) return false;
    iFecha_ = *columna("AUDI_FECHA");
    iHora_ = *columna("AUDI_HORA");
    iTipo_ = *columna("TIDO_COD");
    iIdDoc_ = *columna("AUDI_IDDOC");
    iOper_ = *columna("AUDI_OPER");
    iCodigo_ = *columna("AUDI_COD");
    const std::string& tipoId = tipos[iIdDoc_];
    if (tipoId != "SMALLINT" && tipoId != "INTEGER" && tipoId != "BIGINT") return false;
    columnasAuditoria_ = nombres.size();

    std::string extra;
    for (const auto& c : regla->columnasOrigen) extra += ", " + c;
    consulta_ = "SELECT " + std::string(tablaAuditoria) + ".*" + extra + consultaAuditoria.substr(8);
    try {
        origen_.describir(consulta_);
    } catch (const bd::ErrorBaseDatos&) {
        // An origin table the rule reads is missing or other than it expects:
        // the rule itself says so at the first row.
        return false;
    }
    regla_ = std::move(regla);
    return true;
}

std::unique_ptr<LecturaPorLotes> LecturaPorLotes::leer(bd::Conexion& origen, bd::Conexion& destino,
                                                       const std::string& consultaAuditoria, std::int64_t tipo,
                                                       const plataforma::Regional& regional, const Conteo& conteo,
                                                       VistaCorrida& vista, const Interrupcion* interrupcion) {
    std::unique_ptr<LecturaPorLotes> l(new LecturaPorLotes(origen, destino, regional, conteo, interrupcion));
    if (!l->preparar(consultaAuditoria, tipo)) return nullptr;

    std::size_t avisadas = 0;
    try {
        origen.recorrer(l->consulta_, {}, [&](const std::vector<bd::Valor>& v) {
            if (interrupcion) interrupcion->comprobar();
            l->recibir(v);
            if (l->filas_.size() - avisadas >= filasPorTrozo) {
                if (!l->hilo_.joinable() && !l->sinHilo_) l->iniciarHilo();
                l->cerrarTrozo();
                avisadas = l->filas_.size();
                vista.fase(Fase::LeyendoAuditoria, avisadas, 0);
            }
        });
    } catch (const bd::ErrorBaseDatos&) {
        // A subquery met an error the rule meets only at some row (a sum
        // that overflows, ...), or the read broke off: nothing is written
        // yet, and the rules row by row say what and where.
        if (interrupcion) interrupcion->comprobar();
        return nullptr;
    }
    l->cerrarTrozo();
    vista.fase(Fase::LeyendoAuditoria, l->filas_.size(), 0);
    {
        const std::lock_guard<std::mutex> guarda(l->mutex_);
        l->sinMasTrozos_ = true;
    }
    l->cambio_.notify_all();
    l->resolverDudosos();

    if (!l->destinoPropio_) {
        for (auto& t : l->trozos_) {
            l->buscar(t, destino);
            ++l->trozosListos_;
            vista.fase(Fase::BuscandoEnDestino, t.primera + t.filas, l->filas_.size());
        }
    } else {
        std::unique_lock<std::mutex> espera(l->mutex_);
        while (l->trozosListos_ < l->trozos_.size() && !l->falla_) {
            const std::size_t hechas = l->trozosListos_ == 0 ? 0 : l->trozos_[l->trozosListos_ - 1].primera + l->trozos_[l->trozosListos_ - 1].filas;
            espera.unlock();
            vista.fase(Fase::BuscandoEnDestino, hechas, l->filas_.size());
            if (interrupcion) interrupcion->comprobar();
            espera.lock();
            l->cambio_.wait_for(espera, std::chrono::milliseconds(100));
        }
        if (l->falla_) std::rethrow_exception(l->falla_);
    }
    l->buscarSumasDeOrigen();
    vista.fase(Fase::BuscandoEnDestino, l->filas_.size(), l->filas_.size());
    return l;
}

void LecturaPorLotes::iniciarHilo() {
    // The destination lookups of a long run go on a connection and a thread
    // of their own, beside the audit read; a short run, or one that cannot
    // have them, looks up after the read, on the run's connection.
    auto propio = std::make_unique<bd::Conexion>(destino_.nombre());
    propio->parametros() = destino_.parametros();
    try {
        propio->conectar();
    } catch (const std::exception&) {
        sinHilo_ = true;
        return;
    }
    destinoPropio_ = std::move(propio);
    cancelables_ = std::make_unique<Interrupcion::Registro>(interrupcion_, std::vector<bd::Conexion*>{destinoPropio_.get()});
    cancelablesPropios_ = std::make_unique<Interrupcion::Registro>(&parada_, std::vector<bd::Conexion*>{destinoPropio_.get()});
    hilo_ = std::thread([this] { buscarEnDestino(); });
}

void LecturaPorLotes::recibir(const std::vector<bd::Valor>& v) {
    Fila f;
    f.codigo = textoDe(v[iCodigo_]);
    f.momento = {v[iFecha_].momento().fecha, v[iHora_].momento().hora};
    f.fecha = texto(v[iFecha_]);
    f.oper = texto(v[iOper_]);
    f.tipo = texto(v[iTipo_]);
    tipos_[f.tipo] = v[iTipo_].comoEntero();
    const std::size_t n = regla_->columnasOrigen.size();
    for (std::size_t c = 0; c < n; ++c) origenValores_.agregar(v[columnasAuditoria_ + c]);
    const bd::Valor& id = v[iIdDoc_];
    if (id.esNulo()) {
        // The rule's query would end in "= ": its own error, row by row.
        f.origen = Origen::SinPreguntar;
        f.idNulo = true;
    } else {
        f.idDoc = id.entero();
        f.origen = v[columnasAuditoria_].esNulo() ? Origen::Dudoso : Origen::Hallado;
    }

    // The destination key, for every row its rule may look up there.
    std::vector<std::string> clave;
    if (regla_->importe && f.origen != Origen::SinPreguntar) {
        const auto partes = partirCodigo(f.codigo, regla_->importe->ancho);
        clave = {partes.prefijo, partes.numero};
    } else if (!regla_->importe && f.origen == Origen::Hallado) {
        const std::size_t base = origenValores_.size() - n;
        clave = {textoDe(origenValores_[base + 1]), textoDe(origenValores_[base + 2]), textoDe(origenValores_[base + 3])};
    }
    if (!clave.empty()) {
        const auto [it, nueva] = clavesDelTrozo_.emplace(unir(clave), static_cast<std::uint32_t>(clavesPendientes_.size()));
        if (nueva) clavesPendientes_.push_back(std::move(clave));
        f.clave = it->second;
        f.conClave = true;
    }
    filas_.push_back(std::move(f));
}

void LecturaPorLotes::cerrarTrozo() {
    const std::size_t primera = trozos_.empty() ? 0 : trozos_.back().primera + trozos_.back().filas;
    if (primera == filas_.size()) return;
    Trozo t;
    t.primera = primera;
    t.filas = filas_.size() - primera;
    t.claves = std::move(clavesPendientes_);
    clavesPendientes_.clear();
    clavesDelTrozo_.clear();
    {
        const std::lock_guard<std::mutex> guarda(mutex_);
        trozos_.push_back(std::move(t));
    }
    cambio_.notify_all();
}

void LecturaPorLotes::buscarEnDestino() {
    try {
        for (std::size_t i = 0;; ++i) {
            Trozo* t = nullptr;
            {
                std::unique_lock<std::mutex> espera(mutex_);
                cambio_.wait(espera, [&] { return i < trozos_.size() || sinMasTrozos_; });
                if (i >= trozos_.size()) return;
                t = &trozos_[i];
            }
            buscar(*t, *destinoPropio_);
            {
                const std::lock_guard<std::mutex> guarda(mutex_);
                ++trozosListos_;
            }
            cambio_.notify_all();
        }
    } catch (...) {
        const std::lock_guard<std::mutex> guarda(mutex_);
        falla_ = std::current_exception();
        cambio_.notify_all();
    }
}

Buscador& LecturaPorLotes::buscador(bd::Conexion& conexion, const PlantillaConsulta& plantilla) {
    for (auto& [p, b] : buscadores_)
        if (p == &plantilla) return *b;
    buscadores_.emplace_back(&plantilla, std::make_unique<Buscador>(conexion, plantilla));
    return *buscadores_.back().second;
}

void LecturaPorLotes::buscar(Trozo& t, bd::Conexion& destino) {
    // The lookup thread stops when the run ends early; lookups on the run's
    // own connection hear the run's stop.
    const Interrupcion* oido = destinoPropio_ ? &parada_ : interrupcion_;
    try {
        t.destino = buscador(destino, regla_->destino).buscar(t.claves, oido);
        if (regla_->conteo) t.conteo = buscador(destino, *regla_->conteo).buscar(t.claves, oido);
        if (regla_->sumasDestino) {
            std::vector<std::vector<std::string>> consecutivos;
            std::unordered_map<std::string, std::int64_t> lugar;
            t.sumaDeClave.assign(t.claves.size(), -1);
            for (std::size_t k = 0; k < t.claves.size(); ++k) {
                if (!t.destino.preguntada(k) || t.destino.filas(k) == 0) continue;
                std::string consecutivo;
                try {
                    consecutivo = std::to_string(t.destino.columna(k, 0).comoEntero());
                } catch (const bd::ErrorBaseDatos&) {
                    continue;
                }
                const auto [it, nuevo] = lugar.emplace(consecutivo, static_cast<std::int64_t>(consecutivos.size()));
                if (nuevo) consecutivos.push_back({consecutivo});
                t.sumaDeClave[k] = it->second;
            }
            t.sumas = buscador(destino, *regla_->sumasDestino).buscar(consecutivos, oido);
        }
    } catch (const bd::ErrorBaseDatos&) {
        if (parada_.pedida() || (interrupcion_ && interrupcion_->pedida())) throw CorridaInterrumpida();
        t.fallido = true;
    }
    t.claves.clear();
    t.claves.shrink_to_fit();
}

void LecturaPorLotes::resolverDudosos() {
    std::vector<std::vector<std::string>> ids;
    std::unordered_map<std::int64_t, std::size_t> lugar;
    for (const Fila& f : filas_) {
        if (f.origen != Origen::Dudoso) continue;
        if (lugar.emplace(f.idDoc, ids.size()).second) ids.push_back({std::to_string(f.idDoc)});
    }
    if (ids.empty()) return;
    Respuestas r;
    try {
        r = Buscador(origen_, regla_->origen).buscar(ids, interrupcion_);
    } catch (const bd::ErrorBaseDatos&) {
        if (interrupcion_) interrupcion_->comprobar();
        for (Fila& f : filas_)
            if (f.origen == Origen::Dudoso) f.origen = Origen::SinPreguntar;
        return;
    }
    const std::size_t n = regla_->columnasOrigen.size();
    for (std::size_t i = 0; i < filas_.size(); ++i) {
        Fila& f = filas_[i];
        if (f.origen != Origen::Dudoso) continue;
        const std::size_t k = lugar[f.idDoc];
        if (!r.preguntada(k)) f.origen = Origen::SinPreguntar;
        else if (r.filas(k) == 0) f.origen = Origen::Ausente;
        // A voucher header found with an empty first column: its key was not
        // looked up, the rule does it.
        else if (!regla_->importe) f.origen = Origen::SinPreguntar;
        else {
            f.origen = Origen::Hallado;
            origenValores_.poner(i * n, r.columna(k, 0));
        }
    }
}

void LecturaPorLotes::buscarSumasDeOrigen() {
    if (!regla_->sumasOrigen) return;
    std::vector<std::vector<std::string>> ids;
    for (std::size_t i = 0; i < filas_.size(); ++i) {
        const Fila& f = filas_[i];
        const Trozo& t = trozos_[i / filasPorTrozo];
        if (f.origen != Origen::Hallado || !f.conClave || t.fallido || !t.destino.preguntada(f.clave) ||
            t.destino.filas(f.clave) == 0)
            continue;
        if (sumaOrigenDeId_.emplace(f.idDoc, ids.size()).second) ids.push_back({std::to_string(f.idDoc)});
    }
    try {
        sumasOrigen_ = Buscador(origen_, *regla_->sumasOrigen).buscar(ids, interrupcion_);
    } catch (const bd::ErrorBaseDatos&) {
        // The rule meets the error row by row, at its row.
        if (interrupcion_) interrupcion_->comprobar();
        sumaOrigenDeId_.clear();
    }
}

FilaAuditoria LecturaPorLotes::fila(std::size_t i) const {
    const Fila& f = filas_.at(i);
    return {textos_[f.fecha], textos_[f.tipo], textos_[f.oper],
            f.idNulo ? std::string{} : textoDe(bd::Valor::entero(f.idDoc)),
            f.codigo, tipos_[f.tipo], f.momento};
}

std::optional<Desenlace> LecturaPorLotes::desenlace(std::size_t i, const FilaAuditoria& fila) const {
    const Fila& f = filas_.at(i);
    Desenlace d;
    if (f.origen == Origen::Ausente) return d;
    if (f.origen != Origen::Hallado) return std::nullopt;
    const Trozo& t = trozos_.at(i / filasPorTrozo);
    if (t.fallido || !f.conClave || !t.destino.preguntada(f.clave)) return std::nullopt;
    const std::size_t n = regla_->columnasOrigen.size();
    d.enOrigen = true;
    const bool en = t.destino.filas(f.clave) > 0;
    if (regla_->importe) {
        const bd::Valor o = origenValores_[i * n];
        const bd::Valor dv = en ? t.destino.columna(f.clave, 0) : bd::Valor::nulo();
        d.encontrado = en;
        d.campos = {fila.codigo, fila.fecha, textoDe(o), en ? textoDe(dv) : std::string(noEncontrado)};
        d.importes = {{o, dv}};
        d.enDestino = en ? t.destino.filas(f.clave) : 0;
        if (regla_->conteo) {
            if (!t.conteo.preguntada(f.clave) || t.conteo.filas(f.clave) == 0) return std::nullopt;
            try {
                d.enDestino = t.conteo.columna(f.clave, 0).comoEntero();
            } catch (const bd::ErrorBaseDatos&) {
                return std::nullopt;
            }
        }
        return d;
    }
    d.enDestino = en ? t.destino.filas(f.clave) : 0;
    if (!en) {
        d.campos = {fila.codigo, fila.fecha, textoDe(origenValores_[i * n]), textoDe(origenValores_[i * n + 1]),
                    std::string(noEncontrado), std::string(noEncontrado)};
        return d;
    }
    const std::int64_t s = t.sumaDeClave.at(f.clave);
    if (s < 0 || !t.sumas.preguntada(static_cast<std::size_t>(s)) || t.sumas.filas(static_cast<std::size_t>(s)) == 0)
        return std::nullopt;
    const auto lugar = sumaOrigenDeId_.find(f.idDoc);
    if (lugar == sumaOrigenDeId_.end() || !sumasOrigen_.preguntada(lugar->second) || sumasOrigen_.filas(lugar->second) == 0)
        return std::nullopt;
    const bd::Valor so0 = sumasOrigen_.columna(lugar->second, 0), so1 = sumasOrigen_.columna(lugar->second, 1);
    const bd::Valor sd0 = t.sumas.columna(static_cast<std::size_t>(s), 0), sd1 = t.sumas.columna(static_cast<std::size_t>(s), 1);
    d.encontrado = true;
    d.importes = {{so0, sd0}, {so1, sd1}};
    d.campos = {fila.codigo, fila.fecha, textoDe(so0), textoDe(so1), textoDe(sd0), textoDe(sd1)};
    return d;
}

}  // namespace autorep::conciliacion
