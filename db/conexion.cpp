#include "db/conexion.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "db/consulta.h"
#include "db/error_bd.h"
#include "db/firebird.h"
#include "platform/cp1252.h"
#include "platform/texto.h"

namespace autorep::bd {

using namespace Firebird;

struct Conexion::Estado {
    // Guards the attachment against a cancel from another thread while it
    // is made or closed.
    std::mutex mutex;
    fb::Adjunto adjunto;
    fb::Transaccion transaccion;
    unsigned dialecto = SQL_DIALECT_V6;
};

namespace {

template <class T>
T leer(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

plataforma::Fecha decodificarFecha(ISC_DATE d) {
    unsigned a = 0, m = 0, dia = 0;
    fb::util()->decodeDate(d, &a, &m, &dia);
    return {static_cast<int>(a), m, dia};
}

plataforma::Hora decodificarHora(ISC_TIME t) {
    unsigned h = 0, mi = 0, s = 0, fr = 0;
    fb::util()->decodeTime(t, &h, &mi, &s, &fr);
    return {h, mi, s, fr / 10};
}

std::string leerBlob(IAttachment* adjunto, ITransaction* transaccion, ISC_QUAD id) {
    fb::Estado st;
    fb::Blob blob(adjunto->openBlob(&st, transaccion, &id, 0, nullptr));
    std::string r;
    std::vector<char> trozo(32768);
    for (;;) {
        unsigned leido = 0;
        const int res = blob->getSegment(&st, static_cast<unsigned>(trozo.size()), trozo.data(), &leido);
        if (res == IStatus::RESULT_NO_DATA) break;
        r.append(trozo.data(), leido);
    }
    blob.cerrarOFallar();
    return r;
}

// Where a column lies in a fetched row, read once per statement: asking the
// metadata for every value of a million rows costs more than the values.
struct Columna {
    unsigned tipo = 0;
    int subtipo = 0;
    unsigned desplazamiento = 0;
    unsigned desplazamientoNulo = 0;
    unsigned largo = 0;
    int escala = 0;
};

std::vector<Columna> disposicion(IMessageMetadata* meta) {
    fb::Estado st;
    std::vector<Columna> r(meta->getCount(&st));
    for (unsigned i = 0; i < r.size(); ++i) {
        r[i].tipo = meta->getType(&st, i) & ~1u;
        r[i].subtipo = meta->getSubType(&st, i);
        r[i].desplazamiento = meta->getOffset(&st, i);
        r[i].desplazamientoNulo = meta->getNullOffset(&st, i);
        r[i].largo = meta->getLength(&st, i);
        r[i].escala = meta->getScale(&st, i);
    }
    return r;
}

Valor decodificar(const Columna& c, const unsigned char* fila, IAttachment* adjunto, ITransaction* transaccion) {
    if (leer<short>(fila + c.desplazamientoNulo) != 0) return Valor::nulo();
    const unsigned char* p = fila + c.desplazamiento;
    switch (c.tipo) {
        case SQL_TEXT: return Valor::texto(std::string(reinterpret_cast<const char*>(p), c.largo));
        case SQL_VARYING: {
            const auto largo = leer<unsigned short>(p);
            return Valor::texto(std::string(reinterpret_cast<const char*>(p + 2), largo));
        }
        case SQL_SHORT: return Valor::entero(leer<std::int16_t>(p), c.escala);
        case SQL_LONG: return Valor::entero(leer<std::int32_t>(p), c.escala);
        case SQL_INT64: return Valor::entero(leer<std::int64_t>(p), c.escala);
        case SQL_FLOAT: return Valor::real(leer<float>(p));
        case SQL_DOUBLE:
        case SQL_D_FLOAT: return Valor::real(leer<double>(p));
        case SQL_TYPE_DATE: return Valor::fecha(decodificarFecha(leer<ISC_DATE>(p)));
        case SQL_TYPE_TIME: return Valor::hora(decodificarHora(leer<ISC_TIME>(p)));
        case SQL_TIMESTAMP: {
            const auto ts = leer<ISC_TIMESTAMP>(p);
            return Valor::fechaHora({decodificarFecha(ts.timestamp_date), decodificarHora(ts.timestamp_time)});
        }
        case SQL_BOOLEAN: return Valor::booleano(*p != 0);
        case SQL_BLOB: return Valor::texto(leerBlob(adjunto, transaccion, leer<ISC_QUAD>(p)));
        case SQL_NULL: return Valor::nulo();
        default: throw ErrorBaseDatos("Tipo de columna no soportado: " + std::to_string(c.tipo));
    }
}

bool esVerdadero(const std::string& v) { return plataforma::igualesSinMayusculas(v, "true"); }

}  // namespace

Conexion::Conexion(std::string nombre) : nombre_(std::move(nombre)), estado_(new Estado) {}

Conexion::~Conexion() {
    desconectar();
    delete estado_;
}

bool Conexion::conectada() const { return static_cast<bool>(estado_->adjunto); }

void Conexion::conectar() {
    if (conectada()) return;
    const std::string ruta = parametros_.valorOVacio("Database");
    try {
        fb::Estado st;
        fb::Bloque dpb(IXpbBuilder::DPB);
        // The path, user, password and role go as UTF-8, and the block says
        // so: the client then converts nothing after the machine's locale
        // (under the C locale it refuses every accented letter), and the
        // server gets what a Windows client sends for the same text.
        dpb->insertTag(&st, isc_dpb_utf8_filename);
        const std::string usuario = plataforma::cp1252AUtf8(parametros_.valorOVacio("User_Name"));
        const std::string clave = plataforma::cp1252AUtf8(parametros_.valorOVacio("Password"));
        const std::string rol = plataforma::cp1252AUtf8(parametros_.valorOVacio("RoleName"));
        const std::string juego = parametros_.valorOVacio("ServerCharSet");
        const std::string dialecto = parametros_.valorOVacio("SQLDialect");
        if (!usuario.empty()) dpb->insertString(&st, isc_dpb_user_name, usuario.c_str());
        if (!clave.empty()) dpb->insertString(&st, isc_dpb_password, clave.c_str());
        if (!rol.empty()) dpb->insertString(&st, isc_dpb_sql_role_name, rol.c_str());
        if (!juego.empty()) dpb->insertString(&st, isc_dpb_lc_ctype, juego.c_str());
        estado_->dialecto = dialecto == "1" ? SQL_DIALECT_V5 : SQL_DIALECT_V6;
        dpb->insertInt(&st, isc_dpb_sql_dialect, static_cast<int>(estado_->dialecto));

        IProvider* proveedor = fb::maestro()->getDispatcher();
        fb::Manejador<IProvider, fb::SoltarReferencia> guardaProveedor(proveedor);
        fb::Adjunto adjunto(proveedor->attachDatabase(&st, plataforma::cp1252AUtf8(ruta).c_str(), dpb.largo(), dpb.datos()));

        fb::Bloque tpb(IXpbBuilder::TPB);
        tpb->insertTag(&st, isc_tpb_read);
        const std::string aislamiento = plataforma::minusculasAscii(parametros_.valorOVacio("Interbase TransIsolation"));
        if (aislamiento == "snapshot" || aislamiento == "repeatableread") {
            tpb->insertTag(&st, isc_tpb_concurrency);
        } else {
            tpb->insertTag(&st, isc_tpb_read_committed);
            tpb->insertTag(&st, isc_tpb_rec_version);
        }
        const auto espera = parametros_.valor("WaitOnLocks");
        tpb->insertTag(&st, !espera || esVerdadero(*espera) ? isc_tpb_wait : isc_tpb_nowait);
        fb::Transaccion transaccion(adjunto->startTransaction(&st, tpb.largo(), tpb.datos()));

        const std::lock_guard<std::mutex> guarda(estado_->mutex);
        estado_->adjunto = std::move(adjunto);
        estado_->transaccion = std::move(transaccion);
    } catch (const FbException& e) {
        throw ErrorBaseDatos(fb::textoDeError(e));
    }
}

void Conexion::desconectar() noexcept {
    for (Consulta* c : std::vector<Consulta*>(abiertas_)) c->cerrar();
    abiertas_.clear();
    estado_->transaccion.cerrar();
    const std::lock_guard<std::mutex> guarda(estado_->mutex);
    estado_->adjunto.cerrar();
}

void Conexion::cancelar() noexcept {
    const std::lock_guard<std::mutex> guarda(estado_->mutex);
    if (!estado_->adjunto) return;
    try {
        fb::Estado st;
        estado_->adjunto->cancelOperation(&st, fb_cancel_raise);
    } catch (...) {
        // Nothing was running: the next check of the run hears the stop.
    }
}

void Conexion::registrar(Consulta* c) {
    if (std::find(abiertas_.begin(), abiertas_.end(), c) == abiertas_.end()) abiertas_.push_back(c);
}

void Conexion::olvidar(Consulta* c) { std::erase(abiertas_, c); }

bool Conexion::responde() {
    try {
        consultar("SELECT 1 FROM RDB$DATABASE");
        return true;
    } catch (const ErrorBaseDatos&) {
        return false;
    }
}

std::optional<std::chrono::steady_clock::duration> Conexion::idaYVuelta() {
    IAttachment* adjunto = estado_->adjunto.get();
    if (!adjunto) return std::nullopt;
    try {
        fb::Estado st;
        const auto inicio = std::chrono::steady_clock::now();
        adjunto->ping(&st);
        return std::chrono::steady_clock::now() - inicio;
    } catch (const FbException&) {
        return std::nullopt;
    }
}

Resultado Conexion::consultar(const std::string& sql) {
    Resultado r;
    recorrer(sql, {}, [&r](const std::vector<Valor>& fila) { r.filas.push_back(fila); }, &r.columnas);
    return r;
}

namespace {

// A prepared SELECT; anything else is refused before it runs.
fb::Sentencia prepararSelect(IAttachment* adjunto, ITransaction* transaccion, const std::string& sql, unsigned dialecto) {
    fb::Estado st;
    fb::Sentencia sentencia(
        adjunto->prepare(&st, transaccion, 0, sql.c_str(), dialecto, IStatement::PREPARE_PREFETCH_METADATA));
    const unsigned tipo = sentencia->getType(&st);
    if (tipo != isc_info_sql_stmt_select && tipo != isc_info_sql_stmt_select_for_upd)
        throw ErrorBaseDatos(plataforma::ansi("Sentencia rechazada: el programa solo lee las bases de datos (") + sql +
                             ")");
    return sentencia;
}

std::string declaracion(IMessageMetadata* meta, unsigned i) {
    fb::Estado st;
    const int escala = -meta->getScale(&st, i);
    const unsigned largo = meta->getLength(&st, i);
    auto numerico = [escala](const char* entero, int precision) {
        return escala > 0 ? "NUMERIC(" + std::to_string(precision) + "," + std::to_string(escala) + ")" : std::string(entero);
    };
    switch (meta->getType(&st, i) & ~1u) {
        case SQL_TEXT: return "CHAR(" + std::to_string(largo) + ") CHARACTER SET NONE";
        case SQL_VARYING: return "VARCHAR(" + std::to_string(largo) + ") CHARACTER SET NONE";
        case SQL_SHORT: return numerico("SMALLINT", 4);
        case SQL_LONG: return numerico("INTEGER", 9);
        case SQL_INT64: return numerico("BIGINT", 18);
        case SQL_FLOAT: return "FLOAT";
        case SQL_DOUBLE:
        case SQL_D_FLOAT: return "DOUBLE PRECISION";
        case SQL_TYPE_DATE: return "DATE";
        case SQL_TYPE_TIME: return "TIME";
        case SQL_TIMESTAMP: return "TIMESTAMP";
        case SQL_BOOLEAN: return "BOOLEAN";
        case SQL_BLOB: return "BLOB SUB_TYPE " + std::to_string(meta->getSubType(&st, i));
        default:
            throw ErrorBaseDatos("Tipo de columna no soportado: " + std::to_string(meta->getType(&st, i)));
    }
}

}  // namespace

std::vector<std::string> Conexion::describir(const std::string& sql, std::vector<std::string>* nombres) {
    if (!conectada()) conectar();
    try {
        fb::Estado st;
        fb::Sentencia sentencia = prepararSelect(estado_->adjunto.get(), estado_->transaccion.get(), sql, estado_->dialecto);
        fb::Metadatos meta(sentencia->getOutputMetadata(&st));
        std::vector<std::string> tipos;
        for (unsigned i = 0, n = meta->getCount(&st); i < n; ++i) {
            tipos.push_back(declaracion(meta.get(), i));
            if (nombres) nombres->emplace_back(meta->getField(&st, i));
        }
        sentencia.cerrarOFallar();
        return tipos;
    } catch (const FbException& e) {
        throw ErrorBaseDatos(fb::textoDeError(e));
    }
}

namespace {

// Fills a parameter message after its metadata.
std::vector<unsigned char> mensajeDe(IMessageMetadata* entrada, const std::vector<Columna>& columnas,
                                     const std::vector<Parametro>& parametros) {
    fb::Estado st;
    if (columnas.size() != parametros.size())
        throw ErrorBaseDatos("La sentencia espera " + std::to_string(columnas.size()) + plataforma::ansi(" parámetros"));
    std::vector<unsigned char> mensaje(entrada->getMessageLength(&st));
    for (std::size_t i = 0; i < parametros.size(); ++i) {
        const Columna& c = columnas[i];
        const Parametro& p = parametros[i];
        const short nulo = p.tipo == Parametro::Tipo::Nulo ? -1 : 0;
        std::memcpy(mensaje.data() + c.desplazamientoNulo, &nulo, sizeof nulo);
        unsigned char* destino = mensaje.data() + c.desplazamiento;
        if (p.tipo == Parametro::Tipo::Texto && c.tipo == SQL_VARYING && p.texto.size() <= c.largo) {
            const auto largo = static_cast<unsigned short>(p.texto.size());
            std::memcpy(destino, &largo, sizeof largo);
            std::memcpy(destino + sizeof largo, p.texto.data(), p.texto.size());
        } else if (p.tipo == Parametro::Tipo::Entero && c.tipo == SQL_INT64 && c.escala == 0) {
            std::memcpy(destino, &p.entero, sizeof p.entero);
        } else if (p.tipo != Parametro::Tipo::Nulo) {
            throw ErrorBaseDatos(plataforma::ansi("Parámetro de texto demasiado largo o de otro tipo"));
        }
    }
    return mensaje;
}

// Runs a prepared SELECT and hands each row over as it is fetched.
void recorrerCursor(IAttachment* adjunto, ITransaction* transaccion, IStatement* sentencia, IMessageMetadata* entrada,
                    const unsigned char* mensaje, IMessageMetadata* salida, const std::vector<Columna>& columnas,
                    const std::function<void(const std::vector<Valor>&)>& alRecibir) {
    fb::Estado st;
    std::vector<unsigned char> buffer(salida->getMessageLength(&st));
    fb::Cursor cursor(sentencia->openCursor(&st, transaccion, entrada, const_cast<unsigned char*>(mensaje), salida, 0));
    std::vector<Valor> fila(columnas.size());
    while (cursor->fetchNext(&st, buffer.data()) == IStatus::RESULT_OK) {
        for (std::size_t i = 0; i < columnas.size(); ++i) fila[i] = decodificar(columnas[i], buffer.data(), adjunto, transaccion);
        alRecibir(fila);
    }
    cursor.cerrarOFallar();
}

}  // namespace

void Conexion::recorrer(const std::string& sql, const std::vector<std::string>& parametros,
                        const std::function<void(const std::vector<Valor>&)>& alRecibir,
                        std::vector<std::string>* columnas) {
    if (!conectada()) conectar();
    ++sentencias_;
    if (observador_) observador_(sql);
    try {
        fb::Estado st;
        IAttachment* adjunto = estado_->adjunto.get();
        ITransaction* transaccion = estado_->transaccion.get();
        fb::Sentencia sentencia = prepararSelect(adjunto, transaccion, sql, estado_->dialecto);

        fb::Metadatos entrada(sentencia->getInputMetadata(&st));
        const std::vector<Columna> formaEntrada = disposicion(entrada.get());
        std::vector<Parametro> textos;
        for (const auto& t : parametros) textos.push_back(Parametro::deTexto(t));
        const auto mensaje = mensajeDe(entrada.get(), formaEntrada, textos);

        fb::Metadatos meta(sentencia->getOutputMetadata(&st));
        const std::vector<Columna> forma = disposicion(meta.get());
        if (columnas) {
            columnas->clear();
            for (unsigned i = 0; i < forma.size(); ++i) columnas->emplace_back(meta->getAlias(&st, i));
        }
        recorrerCursor(adjunto, transaccion, sentencia.get(), parametros.empty() ? nullptr : entrada.get(),
                       parametros.empty() ? nullptr : mensaje.data(), meta.get(), forma, alRecibir);
        sentencia.cerrarOFallar();
    } catch (const FbException& e) {
        throw ErrorBaseDatos(fb::textoDeError(e));
    }
}

struct Preparada::Estado {
    fb::Sentencia sentencia;
    fb::Metadatos entrada;
    fb::Metadatos salida;
    std::vector<Columna> formaEntrada;
    std::vector<Columna> formaSalida;
};

Preparada::Preparada(Conexion& conexion, std::string sql)
    : conexion_(conexion), sql_(std::move(sql)), estado_(std::make_unique<Estado>()) {}

Preparada::~Preparada() = default;

std::size_t Preparada::parametros() const { return estado_->formaEntrada.size(); }

void Preparada::ejecutar(const std::vector<Parametro>& parametros,
                         const std::function<void(const std::vector<Valor>&)>& alRecibir) {
    ++conexion_.sentencias_;
    if (conexion_.observador_) conexion_.observador_(sql_);
    try {
        const auto mensaje = mensajeDe(estado_->entrada.get(), estado_->formaEntrada, parametros);
        recorrerCursor(conexion_.estado_->adjunto.get(), conexion_.estado_->transaccion.get(), estado_->sentencia.get(),
                       estado_->entrada.get(), mensaje.data(), estado_->salida.get(), estado_->formaSalida, alRecibir);
    } catch (const FbException& e) {
        throw ErrorBaseDatos(fb::textoDeError(e));
    }
}

std::unique_ptr<Preparada> Conexion::preparar(const std::string& sql) {
    if (!conectada()) conectar();
    std::unique_ptr<Preparada> p(new Preparada(*this, sql));
    try {
        fb::Estado st;
        p->estado_->sentencia = prepararSelect(estado_->adjunto.get(), estado_->transaccion.get(), sql, estado_->dialecto);
        p->estado_->entrada = fb::Metadatos(p->estado_->sentencia->getInputMetadata(&st));
        p->estado_->salida = fb::Metadatos(p->estado_->sentencia->getOutputMetadata(&st));
        p->estado_->formaEntrada = disposicion(p->estado_->entrada.get());
        p->estado_->formaSalida = disposicion(p->estado_->salida.get());
    } catch (const FbException& e) {
        throw ErrorBaseDatos(fb::textoDeError(e));
    }
    return p;
}

void desconectarTodas(std::vector<Conexion*> conexiones, const std::vector<std::unique_ptr<Conexion>>& propias) noexcept {
    try {
        for (const auto& c : propias) conexiones.push_back(c.get());
    } catch (const std::bad_alloc&) {
        // No room for the list: the owned ones close here, one after another.
        for (const auto& c : propias) c->desconectar();
    }
    std::vector<std::thread> hilos;
    for (std::size_t i = 1; i < conexiones.size(); ++i) {
        try {
            hilos.emplace_back([c = conexiones[i]] { c->desconectar(); });
        } catch (const std::exception&) {
            // No thread to be had (or no room to keep it): this one closes here.
            conexiones[i]->desconectar();
        }
    }
    if (!conexiones.empty()) conexiones[0]->desconectar();
    for (auto& h : hilos) h.join();
}

}  // namespace autorep::bd
