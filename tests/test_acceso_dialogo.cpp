// The login dialog, driven with keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <fstream>

#include "app/clave.h"
#include "ctrlaccesoautorep/faccesoautorep.h"
#include "principalautorep/principalautorep.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_faccesoautorep.h"
#include "ui_principalautorep.h"

using namespace autorep;

namespace {

class Dialogo : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(e.aplicacion() + "/SERVIDORES.cfg", std::ios::binary)
            << e.servidorOrigen() << "\r\n" << e.servidorDestino() << "\r\n";
    }
    std::unique_ptr<acceso::Tfaccesoautorep> crear() {
        auto d = std::make_unique<acceso::Tfaccesoautorep>(acceso::EntornoAcceso{
            DbGeneral, valores, [this] { return e.aplicacion(); }, [this](const std::string& m) { errores.push_back(m); },
            [this] { ++terminaciones; }});
        d->show();
        QApplication::setActiveWindow(d.get());
        return d;
    }
    static Ui::Tfaccesoautorep& ui(acceso::Tfaccesoautorep& d) { return d.controles(); }

    prueba::Escenario e;
    bd::Conexion DbGeneral{"DbGeneral"};
    app::ValoresIngreso valores;
    std::vector<std::string> errores;
    int terminaciones = 0;
};

TEST_F(Dialogo, LaListaDeServidoresLlenaLasDosCajas) {
    auto d = crear();
    auto& u = ui(*d);
    EXPECT_EQ(u.Servidor->count(), 2);
    EXPECT_EQ(u.Servidor->currentText().toStdString(), e.servidorOrigen());
    EXPECT_EQ(u.ServDest->currentText().toStdString(), e.servidorOrigen());
    EXPECT_EQ(d->windowTitle(), "Control de acceso");
    EXPECT_TRUE(u.Panel2->isHidden());
}

// Types the text key by key as a keyboard does; QTest::keyClicks takes ASCII
// only. A Latin-1 letter's key code is its capital's code point.
void teclear(QWidget* campo, const QString& texto) {
    for (const QChar c : texto)
        QTest::sendKeyEvent(QTest::Click, campo, Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
}

// A grab that is one colour throughout shows no picture (an empty grab neither).
bool variasTintas(const QImage& imagen) {
    for (int y = 0; y < imagen.height(); ++y)
        for (int x = 0; x < imagen.width(); ++x)
            if (imagen.pixel(x, y) != imagen.pixel(0, 0)) return true;
    return false;
}

TEST_F(Dialogo, LasDosImagenesSeVenConSuTamanio) {
    auto d = crear();
    auto& u = ui(*d);
    const struct {
        QLabel* etiqueta;
        QRect lugar;
    } casos[] = {{u.Image1, {16, 16, 120, 90}}, {u.Image2, {25, 119, 100, 100}}};
    const auto rectangulo = [](const QRect& r) { return std::array{r.x(), r.y(), r.width(), r.height()}; };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.etiqueta->objectName().toStdString());
        EXPECT_FALSE(c.etiqueta->pixmap().isNull());
        EXPECT_EQ(rectangulo(c.etiqueta->geometry()), rectangulo(c.lugar));
        EXPECT_TRUE(variasTintas(c.etiqueta->grab().toImage()));
    }
}

TEST_F(Dialogo, EnterPasaAlCampoSiguienteYNuncaEntra) {
    auto d = crear();
    auto& u = ui(*d);
    u.Servidor->setFocus();
    const QList<QWidget*> orden = {u.Tusua, u.TClave, u.ServDest, u.Usrdest, u.Clavedest, u.Servidor, u.Tusua};
    for (QWidget* siguiente : orden) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QWidget* foco = QApplication::focusWidget();
        EXPECT_TRUE(foco == siguiente || foco->parentWidget() == siguiente) << siguiente->objectName().toStdString();
    }
    EXPECT_FALSE(DbGeneral.conectada());
    EXPECT_TRUE(errores.empty());
    EXPECT_EQ(d->result(), 0);
}

TEST_F(Dialogo, F2YEscapeSoloSinModificadores) {
    auto d = crear();
    auto& u = ui(*d);
    u.Tusua->setFocus();
    for (auto mod : {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(u.Tusua, Qt::Key_F2, mod);
        QTest::keyClick(u.Tusua, Qt::Key_Escape, mod);
    }
    EXPECT_FALSE(DbGeneral.conectada());
    EXPECT_EQ(terminaciones, 0);
    EXPECT_TRUE(d->isVisible());
    QTest::keyClick(u.Tusua, Qt::Key_Escape);
    EXPECT_EQ(terminaciones, 1);
    EXPECT_FALSE(d->isVisible());
}

TEST_F(Dialogo, F2EntraYGuardaLosValores) {
    auto d = crear();
    auto& u = ui(*d);
    u.Tusua->setText("admin");
    u.TClave->setFocus();
    teclear(u.TClave, QString::fromUtf8("cláve1"));  // embedded Firebird takes any password
    u.ServDest->setEditText(QString::fromStdString(e.servidorDestino()));
    u.Usrdest->setText("otro");
    u.Clavedest->setText("Cl4ve");
    QTest::keyClick(u.Tusua, Qt::Key_F2);
    EXPECT_TRUE(errores.empty()) << errores.front();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_TRUE(DbGeneral.conectada());
    EXPECT_EQ(DbGeneral.parametros().valor("User_Name"), "admin") << "connects with the user as typed";
    EXPECT_EQ(DbGeneral.parametros().valor("password"), std::string("cl\xE1ve1")) << "the typed password in Windows-1252";
    EXPECT_EQ(valores.ClaveOrigen, app::Encriptar("cl\xE1ve1"));
    EXPECT_EQ(valores.UsuarioOrigen, "ADMIN");
    EXPECT_EQ(valores.ServidorOrigen, e.servidorOrigen());
    EXPECT_EQ(valores.ServidorDestino, e.servidorDestino());
    EXPECT_EQ(valores.UsuarioDestino, "OTRO");
    EXPECT_EQ(valores.ClaveDestino, "Cl4ve");
    EXPECT_TRUE(u.Panel2->isHidden());
}

TEST_F(Dialogo, UnFalloDejaElDialogoAbiertoConElTextoDeEstado) {
    auto d = crear();
    auto& u = ui(*d);
    u.Servidor->setEditText(QString::fromStdString(e.dir.str() + "/no-hay"));
    u.Tusua->setText("admin");
    QTest::keyClick(u.Tusua, Qt::Key_F2);
    ASSERT_EQ(errores.size(), 1u);
    EXPECT_NE(errores[0].find("I/O error"), std::string::npos);
    EXPECT_TRUE(d->isVisible());
    EXPECT_FALSE(u.Panel2->isHidden());
    EXPECT_EQ(u.Panel2->text(), "Conectando con el servidor origen");
    EXPECT_EQ(u.Tusua->text(), "admin");
}

TEST_F(Dialogo, UnUsuarioConComillaEntraIgual) {
    auto d = crear();
    auto& u = ui(*d);
    u.Tusua->setText("o'brien");
    QTest::keyClick(u.Tusua, Qt::Key_F2);
    EXPECT_TRUE(errores.empty()) << errores.front();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(valores.UsuarioOrigen, "O'BRIEN");
    EXPECT_FALSE(DbGeneral.parametros().valor("password").has_value()) << "an empty password is left out";
}

class PrimeraActivacion : public ::testing::Test {
protected:
    plataforma::RelojFijo reloj{{{2016, 10, 7}, {9, 0, 0, 0}}};
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
    prueba::Escenario e;
    int terminaciones = 0;
};

TEST_F(PrimeraActivacion, CancelarElDialogoTerminaSinMasPasos) {
    principal::Tfprincipalautorep v({{}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [this] { ++terminaciones; }});
    prueba::conDialogo([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); });
    v.activar();
    EXPECT_GE(terminaciones, 1);
    EXPECT_TRUE(v.controles().SerOri1->text().isEmpty());
    EXPECT_FALSE(v.DbGeneral.conectada());
}

TEST_F(PrimeraActivacion, AceptarAbreLaListaDeCompanias) {
    principal::Tfprincipalautorep v({{}, reloj, regional, avisador, [this] { return e.aplicacion(); }, [this] { ++terminaciones; }});
    prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin"); });
    v.activar();
    EXPECT_EQ(terminaciones, 0);
    EXPECT_EQ(v.controles().SerOri1->text().toStdString(), e.servidorOrigen());
    EXPECT_EQ(v.controles().LCiaOri->count(), 2);
    EXPECT_TRUE(v.controles().LCiaOri->textoMostrado().empty()) << "the user picks the company";
}

}  // namespace
