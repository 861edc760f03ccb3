// Real faults in the middle of a run: the loopback server is killed (its
// guardian starts it again), a table or column is missing, the report cannot
// be written. Lines written before a fault stay whole on disk, the error is
// logged and shown or printed, and a run after the repair works.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <fstream>
#include <thread>

#include "lote/opciones_lote.h"
#include "lote/revision.h"
#include "principalautorep/panel_titulo.h"
#include "principalautorep/principalautorep.h"
#include "principalautorep/selector_compania.h"
#include "tests/apoyo/datos_masivos.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_principalautorep.h"

using namespace autorep;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

void esperarServidor() {
    for (int i = 0; i < 300 && !prueba::servidorEscuchando(); ++i) std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(prueba::servidorEscuchando()) << "the server did not come back";
    std::this_thread::sleep_for(500ms);
}

// Kills the server once the report has grown past `bytes`: lines are written
// as their lookups end, so the lookups of later lines are then in flight.
class Saboteador {
public:
    Saboteador(std::string reporte, std::size_t bytes)
        : hilo_([this, reporte, bytes] {
              auto llegado = [&] {
                  std::error_code ec;
                  return fs::file_size(reporte, ec) >= bytes && !ec;
              };
              for (int i = 0; i < 6000 && !fin_; ++i) {
                  if (llegado()) {
                      [[maybe_unused]] const int r = std::system("pkill -9 -x firebird");
                      hecho_ = true;
                      return;
                  }
                  std::this_thread::sleep_for(5ms);
              }
          }) {}
    ~Saboteador() {
        fin_ = true;
        hilo_.join();
    }
    bool hecho() const { return hecho_; }

private:
    std::atomic<bool> fin_{false}, hecho_{false};
    std::thread hilo_;
};

// Every line ends in CR LF and has the fields of the amount layout.
void lineasEnteras(const std::string& reporte) {
    ASSERT_FALSE(reporte.empty());
    ASSERT_EQ(reporte.substr(reporte.size() - 2), "\r\n") << "a half line at the end";
    std::size_t inicio = 0;
    for (std::size_t fin; (fin = reporte.find("\r\n", inicio)) != std::string::npos; inicio = fin + 2) {
        const std::string linea = reporte.substr(inicio, fin - inicio);
        EXPECT_EQ(std::count(linea.begin(), linea.end(), ','), 3) << linea;
    }
}

std::size_t contarLineas(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t p = 0; (p = s.find("\r\n", p)) != std::string::npos; p += 2) ++n;
    return n;
}

class Fallas : public ::testing::Test {
protected:
    void SetUp() override {
        prueba::exigirServidor();
        if (HasFatalFailure() || IsSkipped()) return;
    }
    std::string reporte() const { return e.aplicacion() + "/comparacion21.txt"; }
    std::string remoto(const std::string& carpeta) const { return "localhost:" + carpeta; }

    prueba::SalidaLote lote(const std::string& origen, const std::string& destino, bool filaAFila = false) {
        std::vector<std::string> a = {"--origen", origen, "--usuario", prueba::usuarioServidor(), "--compania", "001",
                                      "--destino", destino, "--compania-destino", "002", "--desde", "2016-10-01",
                                      "--hasta", "2016-10-31", "--directorio", e.aplicacion()};
        if (filaAFila) a.push_back("--fila-a-fila");
        return prueba::correrLote(a, {{"AUTOREP_CLAVE", prueba::claveServidor()}});
    }

    // The server is killed while the run works: row by row once some lines
    // are written, batched a third into its report, while the audit rows and
    // the lookups still arrive. Returns the report as it was left.
    std::string interrumpir(const std::string& origen, const std::string& destino, bool filaAFila) {
        std::string completo;
        if (!filaAFila) {
            fs::remove(reporte());
            EXPECT_EQ(lote(origen, destino).estado, 1);
            completo = prueba::contenido(reporte());
        }
        fs::remove(reporte());
        prueba::SalidaLote r;
        {
            Saboteador s(reporte(), filaAFila ? 3000 : completo.size() / 3);
            r = lote(origen, destino, filaAFila);
            EXPECT_TRUE(s.hecho()) << r.error;
        }
        // The destination's server comes back at once here: lookup threads
        // that lost it retire and new ones finish their stretches. That run
        // may pass, but only with the whole report, and saying so.
        if (!filaAFila && r.estado == 1) {
            EXPECT_EQ(prueba::contenido(reporte()), completo) << "a run that passes has every line";
            EXPECT_NE(r.error.find("Se retir"), std::string::npos) << r.error;
            esperarServidor();
            return completo;
        }
        EXPECT_EQ(r.estado, 2) << r.salida;
        EXPECT_NE(r.error.find("Se presento el siguiente error: "), std::string::npos) << r.error;
        EXPECT_TRUE(fs::exists(e.aplicacion() + "/ERRORES.TXT"));
        const std::string antes = prueba::contenido(reporte());
        if (!antes.empty()) lineasEnteras(antes);
        EXPECT_LT(contarLineas(antes), 100000u);
        esperarServidor();
        const auto otra = lote(origen, destino, filaAFila);
        EXPECT_EQ(otra.estado, 1) << otra.error;
        EXPECT_NE(otra.salida.find("registros: 100000\n"), std::string::npos) << otra.salida;
        const std::string despues = prueba::contenido(reporte());
        EXPECT_EQ(despues.substr(0, antes.size()), antes);
        lineasEnteras(despues);
        return antes;
    }

    prueba::Escenario e;
};

// Kills the server when the revision's first pair ends, once it is back
// lets the next pair run, and keeps the notices the pairs give.
class TableroQueDerriba final : public lote::TableroRevision {
public:
    void empezar(const std::string&, std::int64_t) override {}
    void avanzar(const std::string&, std::int64_t, conciliacion::Fase, std::size_t, std::size_t) override {}
    void avisar(const std::string&, std::int64_t, const std::string& texto) override {
        const std::lock_guard<std::mutex> guarda(mutex);
        avisos += texto + "\n";
    }
    void terminar(const conciliacion::ParRevision&) override {
        if (terminados++ > 0) return;
        [[maybe_unused]] const int r = std::system("pkill -9 -x firebird");
        for (int i = 0; i < 100 && prueba::servidorEscuchando(); ++i) std::this_thread::sleep_for(50ms);
        esperarServidor();
    }
    std::mutex mutex;
    std::string avisos;
    int terminados = 0;
};

// A revision keeps a company's lookup connections for its next pair: one
// whose server went away in between signs in again, with no notice of a
// retired lookup connection.
TEST_F(Fallas, UnaRevisionVuelveAConectarLasBusquedasQueSeCayeronEntrePares) {
    prueba::llenar(e, 20000);
    ::setenv("AUTOREP_CLAVE", prueba::claveServidor(), 1);
    const auto o = lote::leerOpcionesLote({"--origen", e.servidorOrigen(), "--usuario", prueba::usuarioServidor(),
                                           "--compania", "001", "--destino", remoto(e.servidorDestino()),
                                           "--compania-destino", "001=002", "--tipo", "21,31", "--desde", "2016-10-01",
                                           "--hasta", "2016-10-31", "--revision", e.dir.str() + "/revision"},
                                          {2016, 10, 31});
    const plataforma::Regional regional = prueba::regionalPrueba();
    const plataforma::RelojFijo reloj{{{2016, 10, 31}, {12, 0, 0, 0}}};
    TableroQueDerriba tablero;
    lote::EntornoRevision entorno{regional, reloj, e.aplicacion(), nullptr, tablero, std::chrono::seconds(5)};
    entorno.relojOrigen = [&reloj] { return reloj.ahora(); };
    const auto r = lote::ejecutarRevision(o, entorno);
    ASSERT_EQ(tablero.terminados, 2);
    ASSERT_EQ(r.revision.pares.size(), 2u);
    for (const auto& p : r.revision.pares) {
        EXPECT_EQ(p.error, "") << p.tipo;
        EXPECT_GT(p.resumen.lineas, 2048u) << p.tipo << ": long enough for lookup threads";
    }
    EXPECT_EQ(tablero.avisos, "");
}

TEST_F(Fallas, ElServidorDeOrigenSeDetieneAMitadDeLote) {
    prueba::llenar(e, 100000, 21);
    EXPECT_FALSE(interrumpir(remoto(e.servidorOrigen()), e.servidorDestino(), true).empty());
    interrumpir(remoto(e.servidorOrigen()), e.servidorDestino(), false);
}

TEST_F(Fallas, ElServidorDeDestinoSeDetieneAMitadDeLote) {
    prueba::llenar(e, 100000, 21);
    EXPECT_FALSE(interrumpir(e.servidorOrigen(), remoto(e.servidorDestino()), true).empty());
    interrumpir(e.servidorOrigen(), remoto(e.servidorDestino()), false);
}

// The window program through the same fault.
class FallasVentana : public Fallas {
protected:
    std::unique_ptr<principal::Tfprincipalautorep> ventana(const std::string& origen, const std::string& destino) {
        auto v = std::make_unique<principal::Tfprincipalautorep>(
            principal::EntornoPrincipal{{}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [] {}});
        prueba::conDialogo([origen, destino](QWidget* d) {
            d->findChild<QLineEdit*>("TClave")->setText(prueba::claveServidor());
            d->findChild<QLineEdit*>("Usrdest")->setText(prueba::usuarioServidor());
            d->findChild<QLineEdit*>("Clavedest")->setText(prueba::claveServidor());
            prueba::ingresar(d, origen, prueba::usuarioServidor(), destino);
        });
        v->activar();
        emit v->controles().LCiaOri->activated(0);
        v->controles().CiaDes->setText("002");
        auto& c = v->controles();
        c.FecIni->ponerValor(plataforma::FechaHora{{2016, 10, 1}, {}});
        c.FecFin->ponerValor(plataforma::FechaHora{{2016, 10, 31}, {23, 59, 59, 999}});
        return v;
    }
    // A whole run's report, which is removed for the next run.
    std::string unReporteEntero(principal::Tfprincipalautorep& v) {
        QTest::mouseClick(v.controles().SpeedButton1, Qt::LeftButton);
        EXPECT_TRUE(avisador.mensajes.empty()) << avisador.mensajes.front();
        const std::string completo = prueba::contenido(reporte());
        fs::remove(reporte());
        return completo;
    }
    // Ready for another run: the run display hidden, the destination closed.
    void listaParaOtra(principal::Tfprincipalautorep& v) {
        EXPECT_TRUE(v.controles().Panel3->isHidden());
        EXPECT_TRUE(v.controles().Edit1->isHidden());
        EXPECT_FALSE(v.DBEnvio.conectada());
    }
    plataforma::RelojFijo reloj{{{2016, 10, 20}, {9, 0, 0, 0}}};
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
};

TEST_F(FallasVentana, ElServidorDeOrigenSeDetieneAMitadDeCorrida) {
    prueba::llenar(e, 100000, 21);
    auto v = ventana(remoto(e.servidorOrigen()), e.servidorDestino());
    ASSERT_TRUE(avisador.mensajes.empty()) << avisador.mensajes.front();
    const std::size_t tercio = unReporteEntero(*v).size() / 3;
    {
        Saboteador s(reporte(), tercio);  // while the audit rows and the lookups arrive
        QTest::mouseClick(v->controles().SpeedButton1, Qt::LeftButton);
        ASSERT_TRUE(s.hecho());
    }
    ASSERT_EQ(avisador.mensajes.size(), 1u);
    EXPECT_EQ(avisador.mensajes[0].rfind("Se presento el siguiente error: ", 0), 0u) << avisador.mensajes[0];
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/ERRORES.TXT").find(",AUTOREP,"), std::string::npos);
    const std::string antes = prueba::contenido(reporte());
    if (!antes.empty()) lineasEnteras(antes);
    listaParaOtra(*v);

    esperarServidor();
    QTest::mouseClick(v->controles().SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(avisador.mensajes.size(), 1u) << avisador.mensajes.back();
    EXPECT_EQ(v->controles().ProgressBar1->maximum(), 100000);
    EXPECT_EQ(v->controles().ProgressBar1->value(), 100000);
    lineasEnteras(prueba::contenido(reporte()));
    listaParaOtra(*v);
}

TEST_F(FallasVentana, ElServidorDeDestinoSeDetieneAMitadDeCorrida) {
    prueba::llenar(e, 100000, 21);
    auto v = ventana(e.servidorOrigen(), remoto(e.servidorDestino()));
    const std::string completo = unReporteEntero(*v);
    {
        Saboteador s(reporte(), completo.size() / 3);
        QTest::mouseClick(v->controles().SpeedButton1, Qt::LeftButton);
        ASSERT_TRUE(s.hecho());
    }
    // The server comes back at once here: lookup threads that lost it retire
    // and new ones may finish their stretches. That run may pass, but only
    // with the whole report; else it fails with one message.
    const std::size_t mensajes = avisador.mensajes.size();
    if (mensajes == 0) {
        EXPECT_EQ(prueba::contenido(reporte()), completo) << "a run that passes has every line";
    } else {
        ASSERT_EQ(mensajes, 1u);
        if (!prueba::contenido(reporte()).empty()) lineasEnteras(prueba::contenido(reporte()));
    }
    listaParaOtra(*v);
    esperarServidor();
    QTest::mouseClick(v->controles().SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(avisador.mensajes.size(), mensajes) << avisador.mensajes.back();
    listaParaOtra(*v);
}

TEST_F(FallasVentana, ElDestinoRechazaOFaltaOEsInalcanzable) {
    struct {
        const char* que;
        std::string destino, compania, clave, mensaje;
    } casos[] = {
        {"clave equivocada", remoto(e.servidorDestino()), "002", "mala", "El nombre de Usuario o la clave son incorrectas."},
        {"equipo sin servidor", "127.0.0.1/3059:" + e.servidorDestino(), "002", prueba::claveServidor(),
         "No se encontr\xF3 el equipo servidor con nombre 127.0.0.1"},
        {"base de la compania inexistente", remoto(e.servidorDestino()), "777", prueba::claveServidor(),
         "Se presento el siguiente error: No se pudo conectar con el servidor de destino "},
    };
    for (const auto& c : casos) {
        avisador.mensajes.clear();
        principal::Tfprincipalautorep v(
            principal::EntornoPrincipal{{}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [] {}});
        // The origin signs in embedded; only the destination goes through the server.
        prueba::conDialogo([this, &c](QWidget* d) {
            d->findChild<QLineEdit*>("Usrdest")->setText(prueba::usuarioServidor());
            d->findChild<QLineEdit*>("Clavedest")->setText(QString::fromStdString(c.clave));
            prueba::ingresar(d, e.servidorOrigen(), "admin", c.destino);
        });
        v.activar();
        emit v.controles().LCiaOri->activated(0);
        v.controles().CiaDes->setText(QString::fromStdString(c.compania));
        const auto lineasAntes = contarLineas(prueba::contenido(e.aplicacion() + "/errorenvio.txt"));
        QTest::mouseClick(v.controles().SpeedButton1, Qt::LeftButton);
        ASSERT_EQ(avisador.mensajes.size(), 1u) << c.que;
        EXPECT_EQ(avisador.mensajes[0].rfind(c.mensaje, 0), 0u) << c.que << ": " << avisador.mensajes[0];
        EXPECT_EQ(contarLineas(prueba::contenido(e.aplicacion() + "/errorenvio.txt")), lineasAntes + 1) << c.que;
        EXPECT_FALSE(fs::exists(reporte())) << c.que;
        listaParaOtra(v);
    }
}

TEST_F(Fallas, UnaTablaOColumnaQueFaltaEnUnLado) {
    e.enOrigen({prueba::Escenario::documento(21, 1, "AB", "000001", "1")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    e.enDestino({"ALTER TABLE FACTURAS_COMPRA DROP FACO_TOTAL"});
    const auto r = lote(e.servidorOrigen(), e.servidorDestino());
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("FACO_TOTAL"), std::string::npos) << r.error;
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/ERRORES.TXT").find("FACO_TOTAL"), std::string::npos);
    e.enDestino({"ALTER TABLE FACTURAS_COMPRA ADD FACO_TOTAL NUMERIC(15,2)"});
    const auto otra = lote(e.servidorOrigen(), e.servidorDestino());
    EXPECT_EQ(otra.estado, 1) << otra.error;
    const std::string linea = prueba::contenido(reporte());
    EXPECT_EQ(linea.rfind("AB000001,", 0), 0u) << linea;
    EXPECT_EQ(linea.substr(linea.find(",", 9)), ",1,No encontrado\r\n") << linea;
}

TEST_F(Fallas, UnaCarpetaDondeNoSePuedeCrearElReporte) {
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    // /proc takes no new files, whoever asks.
    const auto r = prueba::correrLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001", "--destino",
                                       e.servidorDestino(), "--compania-destino", "002", "--directorio", "/proc/self"});
    EXPECT_EQ(r.estado, 2);
    EXPECT_NE(r.error.find("No se pudo abrir el reporte /proc/self/comparacion21.txt"), std::string::npos) << r.error;
}

}  // namespace
