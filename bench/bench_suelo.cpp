// The run against the engine's own floor, in one run on one fixture: the
// loopback server answers the set queries that yield the same answers (the
// audit rows with each document's origin amount as a correlated subquery; one
// destination lookup per document by prefix and number, likewise), fetched
// with the bare client API (each row into the statement's own output
// message, nothing converted), each alone and both at once as a run overlaps
// them; then autorep-lote runs through the same server. The ratio is the run
// against the overlapped floor. Prints the times and the run's peak memory.
// Needs scripts/servidor-prueba.sh.
// Usage: bench_suelo [--mezcla] [--conservar DIR] [N ...]   (default 100000 1000000)
//   --mezcla     the bulk fixture's mix of types (21, 31, 61, 11, 1) instead of type 21 alone
//   --conservar  keeps each fixture in DIR/<N>[-mezcla] and reuses it when there
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "bench/lote_medido.h"
#include "db/cliente_fb.h"
#include "tests/apoyo/base_prueba.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"

using namespace autorep;
namespace fs = std::filesystem;

namespace {

// The set queries of one type: on the origin, the audit rows with what the
// rule reads of the origin as correlated subqueries; on the destination, what
// the rule reads there, once per document of the destination's own.
struct Suelo {
    const char* tipo;
    std::string origen;
    std::string destino;
};

std::string auditoria(const char* tipo, const std::string& columnas) {
    return "SELECT A.*" + columnas + " FROM AUDITORIA A WHERE TIDO_COD = " + tipo +
           " AND ((AUDI_OPER = 'I') OR (AUDI_OPER = 'U')) AND AUDI_FECHA >= '2016-10-01' AND AUDI_FECHA <= "
           "'2016-10-31' ORDER BY AUDI_IDDOC, AUDI_FECHA, AUDI_HORA";
}

std::vector<Suelo> suelos(bool mezcla) {
    auto importe = [](const char* tipo, const char* tabla, const char* id, const char* numero, const char* monto) {
        const std::string t = tabla;
        return Suelo{tipo,
                     auditoria(tipo, ", (SELECT FIRST 1 " + std::string(monto) + " FROM " + t + " WHERE " + id +
                                         " = A.AUDI_IDDOC)"),
                     "SELECT (SELECT FIRST 1 X." + std::string(monto) + " FROM " + t + " X WHERE X.PREF_PRE = Y.PREF_PRE AND X." +
                         numero + " = Y." + numero + ") FROM " + t + " Y"};
    };
    std::vector<Suelo> r = {importe("21", "FACTURAS_COMPRA", "FACO_ID", "FACO_NUMERO", "FACO_TOTAL")};
    if (!mezcla) return r;
    r.push_back(importe("31", "FACTURAS", "FACT_ID", "FACT_NUMERO", "FACT_TOTAL"));
    r.push_back(importe("61", "RECIBOS_CAJA", "RECA_ID", "RECA_NUMERO", "RECA_MONTO"));
    r.push_back({"11",
                 auditoria("11", ", (SELECT SUM(ENDE_TOTAL) FROM ENTRADAS_DETALLE WHERE ENTR_ID = A.AUDI_IDDOC)"),
                 "SELECT (SELECT SUM(ENDE_TOTAL) FROM ENTRADAS_DETALLE ED, ENTRADAS E WHERE E.ENTR_ID = ED.ENTR_ID AND "
                 "E.PREF_PRE = Y.PREF_PRE AND E.ENTR_NUMERO = Y.ENTR_NUMERO) FROM ENTRADAS Y"});
    r.push_back({"1",
                 auditoria("1", ", (SELECT FIRST 1 TICO_COD FROM COMPROBANTE_ENCABEZADO WHERE ENCO_CONSEC = A.AUDI_IDDOC), "
                                "(SELECT SUM(CODE_DEBITO) FROM COMPROBANTE_DETALLE WHERE ENCO_CONSEC = A.AUDI_IDDOC), "
                                "(SELECT SUM(CODE_CREDITO) FROM COMPROBANTE_DETALLE WHERE ENCO_CONSEC = A.AUDI_IDDOC)"),
                 "SELECT (SELECT FIRST 1 X.ENCO_CONSEC FROM COMPROBANTE_ENCABEZADO X WHERE X.TICO_COD = Y.TICO_COD AND "
                 "X.PRCO_PREF = Y.PRCO_PREF AND X.ENCO_NUMERO = Y.ENCO_NUMERO), "
                 "(SELECT SUM(CODE_DEBITO) FROM COMPROBANTE_DETALLE D WHERE D.ENCO_CONSEC = Y.ENCO_CONSEC), "
                 "(SELECT SUM(CODE_CREDITO) FROM COMPROBANTE_DETALLE D WHERE D.ENCO_CONSEC = Y.ENCO_CONSEC) "
                 "FROM COMPROBANTE_ENCABEZADO Y"});
    return r;
}

// One set query fetched whole with the bare client API: signed in and
// prepared first, then timed from the cursor's opening to its last row. The
// latch lets two of them start together.
class Consulta {
public:
    Consulta(const std::string& base, const std::string& sql) : st_(maestro()->getStatus()) {
        using namespace Firebird;
        IUtil* util = maestro()->getUtilInterface();
        IXpbBuilder* dpb = util->getXpbBuilder(&st_, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertString(&st_, isc_dpb_user_name, prueba::usuarioServidor());
        dpb->insertString(&st_, isc_dpb_password, prueba::claveServidor());
        const std::string ruta = "127.0.0.1:" + base;
        IProvider* proveedor = maestro()->getDispatcher();
        att_ = proveedor->attachDatabase(&st_, ruta.c_str(), dpb->getBufferLength(&st_), dpb->getBuffer(&st_));
        proveedor->release();
        dpb->dispose();
        IXpbBuilder* tpb = util->getXpbBuilder(&st_, IXpbBuilder::TPB, nullptr, 0);
        for (const auto etiqueta : {isc_tpb_read, isc_tpb_read_committed, isc_tpb_rec_version}) tpb->insertTag(&st_, etiqueta);
        tra_ = att_->startTransaction(&st_, tpb->getBufferLength(&st_), tpb->getBuffer(&st_));
        tpb->dispose();
        stmt_ = att_->prepare(&st_, tra_, 0, sql.c_str(), 3, IStatement::PREPARE_PREFETCH_METADATA);
        meta_ = stmt_->getOutputMetadata(&st_);
        fila_.resize(meta_->getMessageLength(&st_));
    }
    ~Consulta() {
        Firebird::CheckStatusWrapper st(maestro()->getStatus());
        if (meta_) meta_->release();
        if (stmt_) stmt_->free(&st);
        if (tra_) tra_->commit(&st);
        if (att_) att_->detach(&st);
        st.dispose();
        st_.dispose();
    }
    Consulta(const Consulta&) = delete;
    Consulta& operator=(const Consulta&) = delete;

    // Seconds until the last row; the rows counted in `filas`.
    double recorrer(long& filas) {
        const auto t0 = std::chrono::steady_clock::now();
        Firebird::IResultSet* cursor = stmt_->openCursor(&st_, tra_, nullptr, nullptr, meta_, 0);
        filas = 0;
        while (cursor->fetchNext(&st_, fila_.data()) == Firebird::IStatus::RESULT_OK) ++filas;
        cursor->close(&st_);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }

private:
    static Firebird::IMaster* maestro() { return bd::fb::cargarClienteFirebird(); }
    Firebird::ThrowStatusWrapper st_;
    Firebird::IAttachment* att_ = nullptr;
    Firebird::ITransaction* tra_ = nullptr;
    Firebird::IStatement* stmt_ = nullptr;
    Firebird::IMessageMetadata* meta_ = nullptr;
    std::vector<unsigned char> fila_;
};

struct Suelos {
    double origen = 0, destino = 0, juntos = 0;
};

// Each query alone, then both at once on connections of their own.
Suelos medirSuelo(const std::string& origen, const std::string& sqlOrigen, const std::string& destino,
                  const std::string& sqlDestino) {
    Suelos r;
    long filas = 0;
    r.origen = Consulta(origen, sqlOrigen).recorrer(filas);
    r.destino = Consulta(destino, sqlDestino).recorrer(filas);
    Consulta o(origen, sqlOrigen), d(destino, sqlDestino);
    std::latch salida(3);
    long fo = 0, fd = 0;
    std::thread ho([&] { salida.arrive_and_wait(); o.recorrer(fo); });
    std::thread hd([&] { salida.arrive_and_wait(); d.recorrer(fd); });
    const auto t0 = std::chrono::steady_clock::now();
    salida.arrive_and_wait();
    ho.join();
    hd.join();
    r.juntos = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return r;
}

// The fixture of N rows: made afresh, or kept in (and taken from) a folder.
struct Fixture {
    std::unique_ptr<prueba::Escenario> escenario;
    std::string origen, destino, servidorOrigen, servidorDestino, aplicacion;
};

Fixture fixture(long n, bool mezcla, const std::string& conservar) {
    Fixture f;
    const fs::path guardada = conservar.empty() ? fs::path() : fs::path(conservar) / (std::to_string(n) + (mezcla ? "-mezcla" : ""));
    auto desde = [&](const fs::path& base) {
        f.servidorOrigen = (base / "origen").string();
        f.servidorDestino = (base / "destino").string();
        f.aplicacion = (base / "app").string();
        f.origen = f.servidorOrigen + "/datos/001/quorix.fdb";
        f.destino = f.servidorDestino + "/datos/002/quorix.fdb";
    };
    if (!guardada.empty() && fs::exists(guardada / "listo")) {
        desde(guardada);
        return f;
    }
    const auto t0 = std::chrono::steady_clock::now();
    f.escenario = std::make_unique<prueba::Escenario>();
    prueba::llenar(*f.escenario, n, mezcla ? 0 : 21);
    std::fprintf(stderr, "  fixture de %ld filas: %.1f s\n", n,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    desde(f.escenario->base());
    if (!guardada.empty()) {
        fs::create_directories(guardada);
        fs::copy(f.escenario->base(), guardada, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        for (const auto& p : fs::recursive_directory_iterator(guardada)) fs::permissions(p.path(), fs::perms::all);
        fs::permissions(guardada, fs::perms::all);
        std::FILE* listo = std::fopen((guardada / "listo").c_str(), "w");
        if (listo) std::fclose(listo);
        f.escenario.reset();
        desde(guardada);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    if (!prueba::servidorEscuchando()) {
        std::fprintf(stderr, "bench_suelo: no hay servidor Firebird en 127.0.0.1:3050 (scripts/servidor-prueba.sh)\n");
        return 2;
    }
    bool mezcla = false;
    std::string conservar;
    std::vector<long> tamanios;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mezcla") == 0) mezcla = true;
        else if (std::strcmp(argv[i], "--conservar") == 0 && i + 1 < argc) conservar = argv[++i];
        else tamanios.push_back(std::atol(argv[i]));
    }
    if (tamanios.empty()) tamanios = {100000, 1000000};

    std::printf("%9s %7s %5s %10s %10s %10s %10s %8s %9s\n", "N", "tipos", "tipo", "suelo orig", "suelo dest",
                "suelo junt", "corrida s", "veces", "pico MiB");
    for (long n : tamanios) {
        const Fixture f = fixture(n, mezcla, conservar);
        double totalSuelo = 0, totalCorrida = 0;
        long pico = 0;
        for (const auto& s : suelos(mezcla)) {
            Suelos suelo;
            try {
                suelo = medirSuelo(f.origen, s.origen, f.destino, s.destino);
            } catch (const Firebird::FbException& e) {
                char texto[512];
                bd::fb::cargarClienteFirebird()->getUtilInterface()->formatStatus(texto, sizeof texto, e.getStatus());
                std::fprintf(stderr, "bench_suelo: %s\n", texto);
                return 1;
            }
            const std::string via = "127.0.0.1:";
            const bench::Medida m = bench::correrLote({"--origen", via + f.servidorOrigen, "--usuario", prueba::usuarioServidor(),
                                         "--compania", "001", "--destino", via + f.servidorDestino, "--compania-destino",
                                         "002", "--tipo", s.tipo, "--desde", "2016-10-01", "--hasta", "2016-10-31",
                                         "--directorio", f.aplicacion},
                                        f.aplicacion + "/salida");
            if (m.estado != 0 && m.estado != 1) {
                std::fprintf(stderr, "autorep-lote terminó con %d:\n%s", m.estado, m.error.c_str());
                return 1;
            }
            std::printf("%9ld %7s %5s %10.2f %10.2f %10.2f %10.2f %8.2f %9ld\n", n, mezcla ? "mezcla" : "21", s.tipo,
                        suelo.origen, suelo.destino, suelo.juntos, m.segundos, m.segundos / suelo.juntos, m.memoriaMiB);
            std::fflush(stdout);
            totalSuelo += suelo.juntos;
            totalCorrida += m.segundos;
            pico = std::max(pico, m.memoriaMiB);
        }
        if (mezcla)
            std::printf("%9ld %7s %5s %10s %10s %10.2f %10.2f %8.2f %9ld\n", n, "mezcla", "todos", "", "", totalSuelo,
                        totalCorrida, totalCorrida / totalSuelo, pico);
    }
}
