#pragma once
// Internal to the database layer: the Firebird client's object-oriented API
// with RAII holders and the translation of its status into ErrorBaseDatos.
#include <firebird/Interface.h>

#include <string>
#include <utility>

namespace autorep::bd::fb {

Firebird::IMaster* maestro();
Firebird::IUtil* util();

// A status vector that throws on error; owned and disposed here.
class Estado {
public:
    Estado() : estado_(maestro()->getStatus()), envoltura_(estado_) {}
    ~Estado() { estado_->dispose(); }
    Estado(const Estado&) = delete;
    Estado& operator=(const Estado&) = delete;
    Firebird::ThrowStatusWrapper* operator&() { return &envoltura_; }

private:
    Firebird::IStatus* estado_;
    Firebird::ThrowStatusWrapper envoltura_;
};

// The whole text of a Firebird error, every line, joined by CR LF.
std::string textoDeError(const Firebird::FbException& e);

// Holds one interface. cerrar() runs the interface's own closing call
// (detach, commit, free, close) which releases it on success; when that call
// fails the interface is released by hand. Never both.
template <class I, class Cierre>
class Manejador {
public:
    Manejador() = default;
    explicit Manejador(I* p) : p_(p) {}
    ~Manejador() { cerrar(); }
    Manejador(const Manejador&) = delete;
    Manejador& operator=(const Manejador&) = delete;
    Manejador(Manejador&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    Manejador& operator=(Manejador&& o) noexcept {
        if (this != &o) {
            cerrar();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }

    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Closes and reports failure to the caller; the interface is gone either way.
    void cerrarOFallar() {
        if (!p_) return;
        I* p = std::exchange(p_, nullptr);
        try {
            Estado st;
            Cierre{}(p, &st);
        } catch (...) {
            p->release();
            throw;
        }
    }

    void cerrar() noexcept {
        try {
            cerrarOFallar();
        } catch (...) {
        }
    }

private:
    I* p_ = nullptr;
};

struct Desconectar {
    void operator()(Firebird::IAttachment* p, Firebird::ThrowStatusWrapper* s) const { p->detach(s); }
};
struct Confirmar {
    void operator()(Firebird::ITransaction* p, Firebird::ThrowStatusWrapper* s) const { p->commit(s); }
};
struct Liberar {
    void operator()(Firebird::IStatement* p, Firebird::ThrowStatusWrapper* s) const { p->free(s); }
};
struct CerrarCursor {
    void operator()(Firebird::IResultSet* p, Firebird::ThrowStatusWrapper* s) const { p->close(s); }
};
struct CerrarBlob {
    void operator()(Firebird::IBlob* p, Firebird::ThrowStatusWrapper* s) const { p->close(s); }
};
struct SoltarReferencia {
    template <class I>
    void operator()(I* p, Firebird::ThrowStatusWrapper*) const { p->release(); }
};

using Adjunto = Manejador<Firebird::IAttachment, Desconectar>;
using Transaccion = Manejador<Firebird::ITransaction, Confirmar>;
using Sentencia = Manejador<Firebird::IStatement, Liberar>;
using Cursor = Manejador<Firebird::IResultSet, CerrarCursor>;
using Blob = Manejador<Firebird::IBlob, CerrarBlob>;
using Metadatos = Manejador<Firebird::IMessageMetadata, SoltarReferencia>;

// A parameter block builder (DPB or TPB), disposed on scope exit.
class Bloque {
public:
    explicit Bloque(unsigned tipo);
    ~Bloque() { constructor_->dispose(); }
    Bloque(const Bloque&) = delete;
    Bloque& operator=(const Bloque&) = delete;
    Firebird::IXpbBuilder* operator->() const { return constructor_; }
    unsigned largo();
    const unsigned char* datos();

private:
    Firebird::IXpbBuilder* constructor_;
};

}  // namespace autorep::bd::fb
