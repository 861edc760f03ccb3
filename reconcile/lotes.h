#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "db/conexion.h"
#include "platform/regional.h"
#include "reconcile/buscador.h"
#include "reconcile/desenlace.h"
#include "reconcile/empaque.h"
#include "reconcile/interrupcion.h"
#include "reconcile/reglas.h"
#include "reconcile/valores.h"
#include "reconcile/vista_corrida.h"

// The batched run of a type with a rule. The origin answers inside the audit
// query itself: each rule's origin lookup rides along as a correlated
// subquery with the rule's own predicate. The destination is asked for the
// keys of each stretch of rows on a connection and a thread of its own while
// the audit rows still arrive. What a row needs that the batches could not
// tell (a key a block cannot carry, a stretch whose batch met a database
// error) is left to the row-by-row rule, which then meets the same answer or
// the same error at the same row.
namespace autorep::conciliacion {

class LecturaPorLotes {
public:
    // What the run does with each audit row, in the audit order: the row and
    // what its rule finds, or nothing when the rule must run for it.
    using Entrega = std::function<void(const FilaAuditoria&, std::optional<Desenlace>)>;

    // The batches of `consultaAuditoria` (the audit query, whose SELECT * is
    // widened here). Null when the type has no rule the batches can stand
    // for: the run then goes row by row, as the rules are written.
    static std::unique_ptr<LecturaPorLotes> crear(bd::Conexion& origen, bd::Conexion& destino,
                                                  const std::string& consultaAuditoria, std::int64_t tipo,
                                                  const plataforma::Regional& regional, const Conteo& conteo,
                                                  const Interrupcion* interrupcion,
                                                  std::vector<std::unique_ptr<bd::Conexion>>* libres = nullptr);
    ~LecturaPorLotes();

    // Reads the audit rows with their lookups and hands each stretch to
    // `entrega` once its lookups are done, then forgets it: memory stays
    // that of the stretches in flight, however long the run. False when the
    // audit query broke off or turned out unfit for the batches (a row the
    // subqueries cannot stand for, a subquery's error): the rows before that
    // point, entregadas() of them, were handed all the same, and the rest is
    // the row-by-row rule's.
    // The reading stages are shown only with `fases`, and only until the
    // first stretch is handed over: after that the bar counts lines.
    bool leer(VistaCorrida& vista, bool fases, const Entrega& entrega);
    // Ends the lookup threads, once the rows are read, and hands over their
    // connections still open, for the caller to close beside its own: each
    // goodbye is a round trip or two on a slow link. Those not handed over
    // are closed when the reading ends.
    std::vector<std::unique_ptr<bd::Conexion>> terminar();
    std::size_t entregadas() const { return recibidas_; }

private:
    struct Regla;
    struct Trozo;
    enum class Origen : std::uint8_t { Hallado, Ausente, Dudoso, SinPreguntar };
    // An audit row in few bytes: repeated texts (dates, operations) are kept
    // once, amounts in ValoresCompactos.
    struct Fila {
        std::string codigo;
        plataforma::FechaHora momento;
        std::int64_t idDoc = 0;
        std::uint32_t fecha = 0, tipo = 0, oper = 0;  // places in textos_
        std::uint32_t clave = 0;                      // the key's place in its stretch
        Origen origen = Origen::SinPreguntar;
        bool conClave = false;
        bool idNulo = false;
    };

    LecturaPorLotes(bd::Conexion& origen, bd::Conexion& destino, const plataforma::Regional& regional,
                    const Conteo& conteo, const Interrupcion* interrupcion);
    FilaAuditoria fila(const Fila& f) const;
    std::optional<Desenlace> desenlace(const Trozo& t, std::size_t i, const FilaAuditoria& fila) const;
    // Hands over the stretches whose lookups are done, in order, waiting
    // while more than `enVuelo` stretches are still pending.
    void entregar(VistaCorrida& vista, const Entrega& entrega, std::size_t enVuelo);
    bool preparar(const std::string& consultaAuditoria, std::int64_t tipo);
    // Finds the audit columns in the widened query's; false when one is missing.
    bool conColumnas(const std::vector<std::string>& nombres);
    // The audit rows several to a fetched row, when the query lends itself;
    // the columns' places are then those of a packed row.
    std::optional<ConsultaEmpacada> empacada();
    // One audit row: its columns at the places found above.
    void recibir(const bd::Valor* v);
    void cerrarTrozo();
    void iniciarHilo();
    struct Destino;
    void buscarEnDestino(bd::Conexion& conexion);
    Trozo* siguienteTrozo();
    Trozo* tomarTrozo();  // with mutex_ held
    void terminarTrozo(Trozo& t);
    void guardarFalla();
    // How the lookups of a stretch went: statements answered and failed, and
    // the first failure's text.
    struct Intento {
        std::size_t logradas = 0, fallidas = 0;
        std::string error;
    };
    // The lookups of a stretch; a stop is heard through `oido`.
    Intento buscar(Trozo& t, Destino& destino, const Interrupcion* oido);
    // A thread whose failure no key explains leaves its stretch to the others.
    void retirarse(Trozo& t, const std::string& error);
    // The notices of retired threads, shown from the run's own thread.
    void avisar(VistaCorrida& vista);
    // The origin's answer for rows whose subquery yielded nothing.
    void resolverDudosos(const std::vector<Trozo*>& trozos);
    void buscarSumasDeOrigen(Trozo& t);
    std::uint32_t texto(const bd::Valor& v);
    std::string textoDe(const bd::Valor& v) const;

    bd::Conexion& origen_;
    bd::Conexion& destino_;
    const plataforma::Regional& regional_;
    const Conteo& conteo_;
    const Interrupcion* interrupcion_;
    std::unique_ptr<Regla> regla_;
    std::string consulta_;
    std::size_t columnasAuditoria_ = 0;
    std::string consultaSola_;  // the audit query without the subqueries
    // The audit query asks for one type by number, and the packed rows leave
    // out TIDO_COD, a whole number: every row's is this.
    std::optional<std::int64_t> tipoEnConsulta_;
    std::optional<std::uint32_t> textoTipoFijo_;  // its place in textos_, once the packed rows leave it out
    std::size_t iFecha_ = 0, iHora_ = 0, iTipo_ = 0, iIdDoc_ = 0, iOper_ = 0, iCodigo_ = 0;

    // The rows of the stretch being read.
    std::vector<Fila> filas_;
    ValoresCompactos origenValores_;  // columnasOrigen per row
    // Vouchers read packed: the origin sums came with each row (answered,
    // debit, credit), and no stretch asks for them.
    bool sumasEnLectura_ = false;
    bool dudaEnLectura_ = false;  // the block asks the rows in doubt
    ValoresCompactos sumasLeidas_;
    std::size_t recibidas_ = 0;
    std::vector<std::string> textos_;
    std::unordered_map<std::string, std::uint32_t> textoIndice_;
    std::vector<std::int64_t> tipos_;  // TIDO_COD as an integer, per place in textos_ of a type

    // The stretches of rows and their destination lookups.
    std::deque<Trozo> trozos_;
    std::unordered_map<std::string, std::uint32_t> clavesDelTrozo_;
    std::vector<std::vector<std::string>> clavesPendientes_;

    std::mutex mutex_;
    std::condition_variable cambio_;
    bool sinMasTrozos_ = false;
    std::size_t siguiente_ = 0;      // the next stretch a thread takes
    std::size_t entregados_ = 0;     // stretches handed to the run
    bool fases_ = true;
    std::unique_ptr<Destino> propio_;  // the run's own lookups, on its destination connection
    // The origin's second askings, prepared once for every stretch: a
    // statement prepared per stretch costs more than its lookups.
    std::unique_ptr<Buscador> origenDudosos_, origenSumas_;
    std::deque<Trozo*> devueltos_;   // left by a retired thread, taken first
    std::vector<std::string> avisos_;
    std::size_t filasBuscadas_ = 0;
    std::exception_ptr falla_;
    std::vector<std::unique_ptr<bd::Conexion>> conexionesPropias_;
    // Lookup connections a run before left signed in, taken before new ones.
    std::vector<std::unique_ptr<bd::Conexion>>* libres_ = nullptr;
    std::size_t hilosVivos_ = 0;
    bool enlaceLento_ = false;  // a destination round trip takes long: up to maximoHilos
    Interrupcion parada_;  // stops the lookup threads when the run ends early
    std::vector<std::unique_ptr<Interrupcion::Registro>> registros_;
    std::vector<std::thread> hilos_;
};

}  // namespace autorep::conciliacion
