// Ending the window program from outside: SIGTERM, SIGHUP and Ctrl-C end it
// as closing the window does, and a run they cut short ends it with status
// 130 after cleaning up.
#include <gtest/gtest.h>

#include <signal.h>

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>

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
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

class Terminacion : public ::testing::Test {
protected:
    std::unique_ptr<principal::Tfprincipalautorep> crear() {
        return std::make_unique<principal::Tfprincipalautorep>(principal::EntornoPrincipal{
            {}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [this] { ++terminaciones; }, &interrupcion});
    }
    Escenario e;
    plataforma::RelojFijo reloj{{{2016, 10, 20}, {12, 0, 0, 0}}};
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
    conciliacion::Interrupcion interrupcion;
    int terminaciones = 0;
};

TEST_F(Terminacion, UnaCorridaCortadaTerminaSinMensajeYLimpia) {
    e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "1")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
    auto v = crear();
    prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
    v->activar();
    auto& c = v->controles();
    emit c.LCiaOri->activated(0);
    c.CiaDes->setText("002");
    // The signal lands while the run reads its audit rows.
    v->DbCia.ponerObservador([this](const std::string& sql) {
        if (sql.find(" FROM AUDITORIA WHERE ") != std::string::npos) interrupcion.pedir();
    });
    QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(terminaciones, 1);
    EXPECT_TRUE(v->corridaInterrumpida());
    EXPECT_TRUE(avisador.mensajes.empty()) << "a stop asked for is no error to show";
    EXPECT_TRUE(c.Panel3->isHidden());
    EXPECT_TRUE(c.Edit1->isHidden());
    EXPECT_FALSE(v->DbCia.conectada());
    EXPECT_FALSE(v->DBEnvio.conectada());
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/ERRORES.TXT"));
}

// "Cancelar" during a run stops it as a termination signal does, then closes
// the window; any other input during the run is not heard.
TEST_F(Terminacion, CancelarDuranteUnaCorridaLaDetieneYCierra) {
    constexpr long filas = 3000;
    prueba::llenar(e, filas, 21);
    auto v = crear();
    prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
    v->activar();
    v->show();
    auto& c = v->controles();
    emit c.LCiaOri->activated(0);
    c.CiaDes->setText("002");
    // Clicked at the run's first redraw after it asked for the audit rows.
    bool armado = false;
    v->DbCia.ponerObservador([&](const std::string& sql) {
        if (armado || sql.find(" FROM AUDITORIA WHERE ") == std::string::npos) return;
        armado = true;
        QTimer::singleShot(0, v.get(), [&c] {
            QTest::keyClicks(c.CiaDes, "9");
            QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
            QTest::mouseClick(c.SpeedButton2, Qt::LeftButton);
        });
    });
    QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
    ASSERT_TRUE(armado);
    EXPECT_FALSE(v->isVisible()) << "the window closes once the run has stopped";
    EXPECT_EQ(terminaciones, 1);
    EXPECT_TRUE(v->corridaInterrumpida());
    EXPECT_TRUE(avisador.mensajes.empty()) << "a stop asked for is no error to show";
    EXPECT_EQ(c.CiaDes->text(), "002") << "typing during the run is not heard";
    EXPECT_FALSE(v->DbCia.conectada());
    EXPECT_FALSE(v->DBEnvio.conectada());
    const std::string reporte = prueba::contenido(e.aplicacion() + "/comparacion21.txt");
    const auto lineas = std::count(reporte.begin(), reporte.end(), '\n');
    EXPECT_LT(lineas, filas / 2) << "the run stopped early";
    EXPECT_TRUE(reporte.empty() || reporte.ends_with("\r\n")) << "every line whole";
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/ERRORES.TXT"));
}

TEST_F(Terminacion, SinCorridaTerminaComoAlCerrarLaVentana) {
    auto v = crear();
    interrupcion.pedir();
    v->alPedirTerminacion();
    EXPECT_EQ(terminaciones, 1);
    EXPECT_FALSE(v->corridaInterrumpida());
}

// The real program: after an unattended run its message box waits for a
// click; a termination signal still ends it at once.
TEST_F(Terminacion, LaSenalTerminaElProgramaTrasUnaCorridaDesatendida) {
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary) << prueba::textoRegistro(e.aplicacion(), "dd/MM/yyyy");
    for (int senal : {SIGTERM, SIGHUP, SIGINT}) {
        fs::remove(e.aplicacion() + "/errorenvio.txt");
        prueba::Proceso ventana(AUTOREP_VENTANA, {e.servidorOrigen(), "admin", "", "001"},
                                {{"AUTOREP_REGISTRO", reg}, {"QT_QPA_PLATFORM", "offscreen"}});
        // The run connected the origin company and failed at the destination.
        for (int i = 0; i < 1500 && prueba::contenido(e.aplicacion() + "/errorenvio.txt").empty(); ++i) usleep(10000);
        ASSERT_FALSE(prueba::contenido(e.aplicacion() + "/errorenvio.txt").empty()) << ventana.error();
        usleep(200000);
        ventana.senal(senal);
        ASSERT_TRUE(ventana.esperar(10)) << "signal " << senal << " did not end the program";
        EXPECT_EQ(ventana.estado(), 0) << "signal " << senal;
    }
}

}  // namespace

namespace {

// A clock that asks for a stop when the run reads it: here, as the run logs a
// destination it cannot reach, after its last check and before an error.
class RelojQueDetiene final : public plataforma::Reloj {
public:
    explicit RelojQueDetiene(conciliacion::Interrupcion& i) : interrupcion_(i) {}
    plataforma::FechaHora ahora() const override {
        if (armado) interrupcion_.pedir();
        return {{2016, 10, 20}, {12, 0, 0, 0}};
    }
    bool armado = false;

private:
    conciliacion::Interrupcion& interrupcion_;
};

TEST(TerminacionSinComprobacion, UnaParadaQueLaCorridaNoOyoTambienTermina) {
    Escenario e;
    conciliacion::Interrupcion interrupcion;
    RelojQueDetiene reloj(interrupcion);
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
    int terminaciones = 0;
    principal::Tfprincipalautorep v({{}, reloj, regional, avisador, [&] { return e.aplicacion(); },
                                     [&] { ++terminaciones; }, &interrupcion});
    prueba::conDialogo([&](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
    v.activar();
    emit v.controles().LCiaOri->activated(0);
    v.controles().CiaDes->setText("999");  // no such destination: the run fails
    reloj.armado = true;
    QTest::mouseClick(v.controles().SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(terminaciones, 1) << "the stop asked for during the run still ends the program";
}

}  // namespace
