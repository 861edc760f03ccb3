#include "db/firebird.h"

#include <vector>

#include "db/cliente_fb.h"
#include "platform/sistema.h"

namespace autorep::bd::fb {

Firebird::IMaster* maestro() {
    // A failed load raises, and the next call tries again.
    static Firebird::IMaster* m = cargarClienteFirebird();
    return m;
}

Firebird::IUtil* util() { return maestro()->getUtilInterface(); }

std::string textoDeError(const Firebird::FbException& e) {
    std::vector<char> buf(8192);
    util()->formatStatus(buf.data(), static_cast<unsigned>(buf.size()), e.getStatus());
    std::string crudo(buf.data());
    while (!crudo.empty() && (crudo.back() == '\n' || crudo.back() == '\r')) crudo.pop_back();
    std::string r;
    r.reserve(crudo.size() + 8);
    for (char c : crudo) {
        if (c == '\n') r += "\r\n";
        else r += c;
    }
    // The engine speaks the system's encoding: a path it quotes comes back as the program wrote it.
    return plataforma::deSistema(r);
}

Bloque::Bloque(unsigned tipo) {
    Estado st;
    constructor_ = util()->getXpbBuilder(&st, tipo, nullptr, 0);
}

unsigned Bloque::largo() {
    Estado st;
    return constructor_->getBufferLength(&st);
}

const unsigned char* Bloque::datos() {
    Estado st;
    return constructor_->getBuffer(&st);
}

}  // namespace autorep::bd::fb
