// The login dialog and the first activation against the loopback server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "ctrlaccesoautorep/enomanejada.h"
#include "ctrlaccesoautorep/faccesoautorep.h"
#include "principalautorep/principalautorep.h"
#include "principalautorep/selector_compania.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_faccesoautorep.h"
#include "ui_principalautorep.h"

using namespace autorep;

namespace {

class AccesoServidor : public ::testing::Test {
protected:
    void SetUp() override {
        prueba::exigirServidor();
        if (HasFatalFailure() || IsSkipped()) return;
    }
    // Signs in through the dialog with the real unhandled-error handler.
    std::unique_ptr<acceso::Tfaccesoautorep> firmar(const std::string& servidor, const std::string& usuario,
                                                    const std::string& clave) {
        auto d = std::make_unique<acceso::Tfaccesoautorep>(acceso::EntornoAcceso{
            DbGeneral, valores, [this] { return e.aplicacion(); }, [this](const std::string& m) { manejador(m); }, [] {}});
        d->show();
        QApplication::setActiveWindow(d.get());
        d->controles().Servidor->setEditText(QString::fromStdString(servidor));
        d->controles().Tusua->setText(QString::fromStdString(usuario));
        d->controles().TClave->setText(QString::fromStdString(clave));
        QTest::keyClick(d->controles().Tusua, Qt::Key_F2);
        return d;
    }
    std::string remoto() const { return "localhost:" + e.servidorOrigen(); }

    prueba::Escenario e;
    bd::Conexion DbGeneral{"DbGeneral"};
    app::ValoresIngreso valores;
    prueba::AvisadorGrabador avisador;
    plataforma::Regional regional = prueba::regionalPrueba();
    plataforma::RelojFijo reloj{{{2016, 10, 7}, {9, 0, 0, 0}}};
    acceso::ENoManejada manejador{avisador, regional, reloj, [this] { return e.aplicacion(); },
                                  [this] { return valores.UsuarioOrigen; }};
};

TEST_F(AccesoServidor, ClaveEquivocada) {
    auto d = firmar(remoto(), prueba::usuarioServidor(), "mala");
    EXPECT_EQ(avisador.mensajes, (std::vector<std::string>{"El nombre de Usuario o la clave son incorrectas."}));
    const auto log = prueba::contenido(e.aplicacion() + "/ERRORES.TXT");
    EXPECT_EQ(log.rfind("07/10/2016,09:00:00,,", 0), 0u) << log;
    EXPECT_NE(log.find("Your user name and password are not defined"), std::string::npos);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->controles().Panel2->text(), "Conectando con el servidor origen");
}

TEST_F(AccesoServidor, EquipoSinServidor) {
    auto d = firmar("127.0.0.1/3059:" + e.servidorOrigen(), prueba::usuarioServidor(), prueba::claveServidor());
    EXPECT_EQ(avisador.mensajes, (std::vector<std::string>{"No se encontr\xF3 el equipo servidor con nombre 127.0.0.1"}));
    EXPECT_TRUE(d->isVisible());
}

TEST_F(AccesoServidor, EntrarAbreLaListaDeCompanias) {
    principal::Tfprincipalautorep v({{}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [] {}});
    prueba::conDialogo([this](QWidget* d) {
        d->findChild<QLineEdit*>("TClave")->setText(prueba::claveServidor());
        prueba::ingresar(d, remoto(), prueba::usuarioServidor());
    });
    v.activar();
    EXPECT_TRUE(avisador.mensajes.empty()) << avisador.mensajes.front();
    EXPECT_EQ(v.controles().LCiaOri->count(), 2);
    emit v.controles().LCiaOri->activated(0);
    EXPECT_TRUE(v.DbCia.conectada());
    EXPECT_EQ(v.DbCia.parametros().valor("password"), prueba::claveServidor()) << "unscrambled for the company connection";
}

}  // namespace
