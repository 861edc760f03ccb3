// Folders whose names hold accented letters, as Spanish-speaking users name
// them: the program's texts are Windows-1252, the file system's UTF-8.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "app/clave.h"
#include "app/ingreso.h"
#include "platform/cp1252.h"
#include "principalautorep/principalautorep.h"
#include "principalautorep/selector_compania.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_principalautorep.h"

using namespace autorep;
using prueba::Escenario;
namespace fs = std::filesystem;

namespace {

class RutasConAcentos : public ::testing::Test {
protected:
    void SetUp() override {
        e.enOrigen({Escenario::documento(21, 1, "AB", "000001", "12.50"), Escenario::documento(21, 2, "AB", "000002", "3")});
        e.enDestino({Escenario::documento(21, 9, "AB", "000001", "12.5")});
        e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "AB000001");
        e.auditar("2016-10-06", "10:00:00", 21, 2, 'I', "AB000002");
    }
    // The folder as the program's texts hold it.
    std::string ansi(const std::string& utf8) { return plataforma::utf8ACp1252(utf8); }
    std::unique_ptr<principal::Tfprincipalautorep> crear(app::ArgumentosInicio argumentos = {}) {
        return std::make_unique<principal::Tfprincipalautorep>(principal::EntornoPrincipal{
            argumentos, reloj, regional, avisador, [this] { return ansi(e.aplicacion()); }, [] {}});
    }
    const std::string esperado = "AB000001,05/10/2016,12.5,12.5\r\nAB000002,06/10/2016,3,No encontrado\r\n";
    Escenario e{"Compañía/Año fiscal"};
    plataforma::RelojFijo reloj{{{2016, 10, 20}, {12, 0, 0, 0}}};
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
};

TEST_F(RutasConAcentos, LaVentanaLeeLosServidoresYEscribeElReporte) {
    // The server list names the folders in Windows-1252, as every file of the program.
    std::ofstream(e.aplicacion() + "/SERVIDORES.cfg", std::ios::binary)
        << ansi(e.servidorOrigen()) + "\r\n" + ansi(e.servidorDestino()) + "\r\n";
    auto v = crear();
    prueba::conDialogo([this](QWidget* d) {
        auto* servidor = d->findChild<QComboBox*>("Servidor");
        EXPECT_EQ(servidor->count(), 2);
        EXPECT_EQ(servidor->currentText().toStdString(), e.servidorOrigen());
        d->findChild<QComboBox*>("ServDest")->setCurrentIndex(1);
        QTest::keyClicks(d->findChild<QLineEdit*>("Tusua"), "admin");
        QTest::keyClick(d->findChild<QLineEdit*>("Tusua"), Qt::Key_F2);
    });
    v->activar();
    auto& c = v->controles();
    ASSERT_EQ(c.LCiaOri->count(), 2) << (avisador.mensajes.empty() ? "" : avisador.mensajes.front());
    emit c.LCiaOri->activated(0);
    c.CiaDes->setText("002");
    QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(avisador.mensajes.empty()) << avisador.mensajes.front();
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), esperado);
}

TEST_F(RutasConAcentos, UnaClaveConAcentoEsLaMismaTecleadaOEnLaLineaDeComandos) {
    const std::string servidor = e.servidorOrigen();
    const char* argv[] = {"autorep", servidor.c_str(), "admin", "cláve", "001"};
    const auto argumentos = app::argumentosInicio(5, argv);
    EXPECT_EQ(argumentos[0], ansi(e.servidorOrigen()));
    EXPECT_EQ(argumentos[2], "cl\xE1ve");
    auto desatendida = crear(argumentos);
    desatendida->activar();
    EXPECT_EQ(desatendida->controles().LCiaOri->textoMostrado(), "Empresa Uno")
        << "the company under the accented folder opened: " << (avisador.mensajes.empty() ? "" : avisador.mensajes.front());

    auto conDialogo = crear();
    prueba::conDialogo([this](QWidget* d) {
        d->findChild<QComboBox*>("Servidor")->setEditText(QString::fromStdString(e.servidorOrigen()));
        QTest::keyClicks(d->findChild<QLineEdit*>("Tusua"), "admin");
        auto* clave = d->findChild<QLineEdit*>("TClave");
        QTest::keyClicks(clave, "cl");
        QTest::sendKeyEvent(QTest::Click, clave, Qt::Key_Aacute, QString::fromUtf8("á"), Qt::NoModifier);
        QTest::keyClicks(clave, "ve");
        QTest::keyClick(d->findChild<QLineEdit*>("TClave"), Qt::Key_F2);
    });
    conDialogo->activar();
    EXPECT_EQ(conDialogo->valoresIngreso().ClaveOrigen, app::Encriptar("cl\xE1ve"));
    EXPECT_EQ(desatendida->valoresIngreso().ClaveOrigen, conDialogo->valoresIngreso().ClaveOrigen);
}

TEST_F(RutasConAcentos, ElLoteConArgumentosYConElRegistro) {
    const std::vector<std::string> base = {"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001",
                                           "--destino", e.servidorDestino(), "--compania-destino", "002",
                                           "--desde", "2016-10-01", "--hasta", "2016-10-31"};
    // The application directory given on the command line, in UTF-8 as a shell passes it.
    auto conArgumento = base;
    conArgumento.insert(conArgumento.end(), {"--directorio", e.aplicacion()});
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary) << prueba::textoRegistro(e.dir.str() + "/otra", "dd/MM/yyyy");
    const auto r = prueba::correrLote(conArgumento, {{"AUTOREP_REGISTRO", reg}});
    EXPECT_EQ(r.estado, 1) << r.error;
    EXPECT_NE(r.salida.find("reporte: " + e.aplicacion() + "/comparacion21.txt\n"), std::string::npos) << r.salida;
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), esperado);

    // The same directory from a REGEDIT4 file, in Windows-1252.
    fs::remove(e.aplicacion() + "/comparacion21.txt");
    std::ofstream(reg, std::ios::binary | std::ios::trunc) << prueba::textoRegistro(ansi(e.aplicacion()), "dd/MM/yyyy");
    const auto s = prueba::correrLote(base, {{"AUTOREP_REGISTRO", reg}});
    EXPECT_EQ(s.estado, 1) << s.error;
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), esperado);

    // A destination that is missing is named as the user wrote it.
    auto sinDestino = conArgumento;
    sinDestino.push_back("--compania-destino=777");
    sinDestino.erase(std::find(sinDestino.begin(), sinDestino.end(), "--compania-destino"),
                     std::find(sinDestino.begin(), sinDestino.end(), "--compania-destino") + 2);
    const auto t = prueba::correrLote(sinDestino, {{"AUTOREP_REGISTRO", reg}});
    EXPECT_EQ(t.estado, 2);
    EXPECT_NE(t.error.find("No se pudo conectar con el servidor de destino " + e.servidorDestino() +
                           "/datos/777/quorix.fdb: I/O error during \"open\" operation for file \"" + e.servidorDestino() +
                           "/datos/777/quorix.fdb\""),
              std::string::npos)
        << t.error;
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/errorenvio.txt").find(ansi(e.servidorDestino() + "/datos/777/quorix.fdb")),
              std::string::npos);
}

}  // namespace
