// The main window, driven as a user or the command line would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <utility>

#include "principalautorep/editor_fecha.h"
#include "principalautorep/panel_titulo.h"
#include "principalautorep/patron_fecha.h"
#include "principalautorep/principalautorep.h"
#include "principalautorep/selector_compania.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_principalautorep.h"

using namespace autorep;
namespace fs = std::filesystem;

namespace {

QStringList elementos(const QComboBox* c) {
    QStringList r;
    for (int i = 0; i < c->count(); ++i) r << c->itemText(i);
    return r;
}

class Ventana : public ::testing::Test {
protected:
    std::unique_ptr<principal::Tfprincipalautorep> crear(app::ArgumentosInicio argumentos = {}) {
        return std::make_unique<principal::Tfprincipalautorep>(principal::EntornoPrincipal{
            argumentos, reloj, regional, avisador, [this] { return directorio; }, [this] { ++terminaciones; }});
    }
    plataforma::RelojFijo reloj{{{2016, 1, 31}, {17, 45, 0, 0}}};
    plataforma::Regional regional = prueba::regionalPrueba();
    prueba::AvisadorGrabador avisador;
    std::string directorio = "/nonexistent-autorep";
    int terminaciones = 0;
};

TEST_F(Ventana, PrimeraVista) {
    auto v = crear();
    auto& c = v->controles();
    EXPECT_EQ(v->windowTitle(), QString::fromUtf8("Envío de información "));
    EXPECT_EQ(c.NroOp->text(), "21");
    EXPECT_TRUE(c.CiaDes->text().isEmpty());
    EXPECT_TRUE(c.EUltenvio->text().isEmpty());
    EXPECT_TRUE(c.SerOri1->text().isEmpty());
    EXPECT_TRUE(c.LCiaOri->textoMostrado().empty());
    EXPECT_EQ(c.CboAgencia->count(), 0);
    EXPECT_TRUE(c.Panel3->isHidden());
    EXPECT_TRUE(c.Edit1->isHidden());
    EXPECT_EQ(c.FecIni->valor(), (plataforma::FechaHora{{2016, 1, 1}, {0, 0, 0, 0}}));
    EXPECT_EQ(c.FecFin->valor(), (plataforma::FechaHora{{2016, 1, 31}, {23, 59, 59, 999}}));
    EXPECT_EQ(c.FecIni->text(), "01/01/2016");
    EXPECT_EQ(c.SpeedButton1->text(), "Enviar");
    EXPECT_EQ(c.SpeedButton1->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(c.Label5->geometry().right() + 1, 531);
    EXPECT_EQ(c.ProgressBar1->minimum(), 0);
    EXPECT_EQ(c.ProgressBar1->maximum(), 100);
    EXPECT_EQ(c.Panel3->parentWidget(), v.get());
    EXPECT_EQ(v->size(), QSize(581, 209));
}

TEST_F(Ventana, OrdenDeTabulacion) {
    auto v = crear();
    auto& c = v->controles();
    const QList<QWidget*> esperado = {c.LCiaOri, c.SerOri1, c.CboAgencia, c.EUltenvio, c.NroOp, c.FecIni, c.CiaDes, c.FecFin};
    QWidget* w = c.LCiaOri;
    for (int i = 1; i < esperado.size(); ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || !esperado.contains(w)) {
            if (esperado.contains(w)) break;
            w = w->nextInFocusChain();
        }
        EXPECT_EQ(w, esperado[i]) << i;
    }
}

TEST(PatronFecha, OrdenDeCamposYAnchoDelAnio) {
    struct {
        const char* formato;
        const char* separador;
        const char* patron;
    } casos[] = {{"dd/MM/yyyy", "/", "dd/MM/yyyy"}, {"M/d/yy", "/", "MM/dd/yy"},   {"yyyy-MM-dd", "-", "yyyy-MM-dd"},
                 {"yy.MM.dd", ".", "yy.MM.dd"},     {"MMM d, yyyy", ",", "MM,dd,yyyy"}, {"'Q' ", "/", "dd/MM/yy"},
                 {"d/M/y", "/", "dd/MM/yy"},         {"dd/MM/yyy", "/", "dd/MM/yyyy"}};
    for (const auto& c : casos) EXPECT_EQ(principal::patronEditorFecha(c.formato, c.separador), c.patron) << c.formato;
}

TEST_F(Ventana, ElEditorDeFechaSigueElFormatoRegional) {
    regional.fechaCorta = "M/d/yy";
    auto v = crear();
    EXPECT_EQ(v->controles().FecFin->displayFormat(), "MM/dd/yy");
    EXPECT_EQ(v->controles().FecFin->text(), "01/31/16");
    v->controles().FecFin->ponerValor(std::nullopt);
    EXPECT_FALSE(v->controles().FecFin->valor().has_value());
}

TEST_F(Ventana, PonerElMismoTextoNoDisparaElCambio) {
    auto v = crear();
    v->controles().SerOri1->setText("srv-que-no-esta");
    ASSERT_EQ(avisador.mensajes.size(), 1u) << "the change handler ran, and its error was reported";
    v->controles().SerOri1->setText("srv-que-no-esta");
    EXPECT_EQ(avisador.mensajes.size(), 1u);
}

TEST_F(Ventana, ElPanelDeEstadoTapaLosControlesQueCubre) {
    auto v = crear();
    auto& c = v->controles();
    c.CboAgencia->addItem("Todas");
    c.EUltenvio->setText("texto que no debe verse");
    c.Panel3->ponerTitulo("Revisando");
    c.Panel3->setVisible(true);
    c.Panel3->raise();
    v->show();
    // The window as it shows the panel's place, against the panel drawn alone:
    // a see-through panel lets the agency box and the text box below show.
    const QImage enLaVentana = v->grab(c.Panel3->geometry()).toImage();
    const QImage solo = c.Panel3->grab().toImage();
    ASSERT_EQ(enLaVentana.size(), solo.size());
    EXPECT_EQ(enLaVentana.convertToFormat(QImage::Format_RGB32), solo.convertToFormat(QImage::Format_RGB32));
}

TEST_F(Ventana, AgrandarDejaElPanelInferiorDe60YTodoEnSuLugar) {
    auto v = crear();
    auto& c = v->controles();
    v->show();
    const QRect nroOp = c.NroOp->geometry(), boton = c.SpeedButton2->geometry(), panel3 = c.Panel3->geometry();
    v->resize(900, 500);
    EXPECT_EQ(c.Panel2->geometry(), QRect(0, 440, 900, 60));
    EXPECT_EQ(c.Panel1->geometry(), QRect(0, 0, 900, 440));
    EXPECT_EQ(c.NroOp->geometry(), nroOp);
    EXPECT_EQ(c.SpeedButton2->geometry(), boton);
    EXPECT_EQ(c.Panel3->geometry(), panel3);
}

TEST_F(Ventana, CancelarCierraSinPreguntar) {
    auto v = crear();
    v->show();
    QTest::mouseClick(v->controles().SpeedButton2, Qt::LeftButton);
    EXPECT_FALSE(v->isVisible());
    EXPECT_TRUE(avisador.mensajes.empty());
}

// Rows of the open list whose whole height is inside its viewport, and rows
// showing at all.
std::pair<int, int> filasALaVista(const QComboBox& lista) {
    const QAbstractItemView* vista = lista.view();
    const QRect area = vista->viewport()->rect();
    std::pair<int, int> filas{0, 0};
    for (int i = 0; i < lista.count(); ++i) {
        const QRect fila = vista->visualRect(lista.model()->index(i, lista.modelColumn()));
        filas.first += fila.top() >= area.top() && fila.bottom() <= area.bottom();
        filas.second += fila.bottom() >= area.top() && fila.top() <= area.bottom();
    }
    return filas;
}

TEST_F(Ventana, LasListasAbrenConSuNumeroDeFilas) {
    auto v = crear();
    auto& c = v->controles();
    v->show();
    std::vector<principal::Compania> companias;
    for (int i = 1; i <= 12; ++i) {
        c.CboAgencia->addItem(QString("Agencia %1").arg(i));
        companias.push_back({std::to_string(100 + i), "Empresa " + std::to_string(i)});
    }
    c.LCiaOri->ponerFilas(companias);
    const struct {
        QComboBox* lista;
        int filas;
    } casos[] = {{c.CboAgencia, 4}, {c.LCiaOri, 7}};
    // At the top of the screen the lists open under their box; on its bottom edge, above it.
    const QRect pantalla = v->screen()->geometry();
    for (const bool debajo : {true, false}) {
        for (const auto& caso : casos) {
            SCOPED_TRACE(caso.lista->objectName().toStdString() + (debajo ? " under" : " above"));
            v->move(0, debajo ? 0 : pantalla.bottom() - caso.lista->mapTo(v.get(), caso.lista->rect().bottomLeft()).y());
            caso.lista->showPopup();
            const QWidget* emergente = caso.lista->view()->window();
            ASSERT_TRUE(emergente->isVisible());
            EXPECT_EQ(filasALaVista(*caso.lista), std::pair(caso.filas, caso.filas));
            EXPECT_TRUE(caso.lista->view()->verticalScrollBar()->isVisible()) << "the other rows are a scroll away";
            // Qt lays the list's edge over the box's edge.
            const QRect caja(caso.lista->mapToGlobal(QPoint(0, 0)), caso.lista->size());
            if (debajo) EXPECT_EQ(emergente->geometry().top(), caja.bottom());
            else EXPECT_EQ(emergente->geometry().bottom(), caja.top());
            EXPECT_GE(emergente->width(), caso.lista->width());
            caso.lista->hidePopup();
        }
    }

    // The company list keeps its titled, ruled columns, each resized within its bounds.
    auto* tabla = qobject_cast<QTableView*>(c.LCiaOri->view());
    ASSERT_NE(tabla, nullptr);
    c.LCiaOri->showPopup();
    EXPECT_TRUE(tabla->horizontalHeader()->isVisible());
    EXPECT_EQ(tabla->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Código"));
    EXPECT_TRUE(tabla->showGrid());
    const struct {
        int columna, pedido, queda;
    } anchos[] = {{0, 10, 50}, {0, 90, 60}, {1, 10, 100}, {1, 400, 220}, {1, 180, 180}};
    for (const auto& a : anchos) {
        tabla->horizontalHeader()->resizeSection(a.columna, a.pedido);
        EXPECT_EQ(tabla->columnWidth(a.columna), a.queda) << a.columna << " " << a.pedido;
    }
    c.LCiaOri->hidePopup();
}

class Desatendido : public Ventana {
protected:
    void SetUp() override { directorio = e.aplicacion(); }
    prueba::Escenario e;
};

TEST_F(Desatendido, ArgumentosCompaniaYCorridaSinDestino) {
    auto v = crear({e.servidorOrigen(), "admin", "", "001"});
    v->activar();
    auto& c = v->controles();
    EXPECT_EQ(v->DbGeneral.parametros().valor("User_Name"), "admin");
    EXPECT_EQ(v->valoresIngreso().UsuarioOrigen, "ADMIN");
    EXPECT_EQ(c.SerOri1->text().toStdString(), e.servidorOrigen());
    EXPECT_EQ(c.LCiaOri->textoMostrado(), "Empresa Uno");
    EXPECT_EQ(elementos(c.CboAgencia), (QStringList{"Todas", "Centro", "Norte"}));
    EXPECT_EQ(c.CboAgencia->currentIndex(), 0);
    EXPECT_EQ(v->DbCia.parametros().valor("Database"), e.servidorOrigen() + "/datos/001/quorix.fdb");
    EXPECT_EQ(v->DbCia.parametros().valor("User_Name"), "ADMIN");
    EXPECT_FALSE(v->DbCia.parametros().valor("password").has_value());
    // No destination in this mode: "/datos/" + "" + "/quorix.fdb".
    EXPECT_EQ(v->DBEnvio.parametros().valor("Database"), "/datos//quorix.fdb");
    EXPECT_FALSE(v->DBEnvio.parametros().valor("User_Name").has_value());
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/errorenvio.txt").find("No se pudo conectar con el servidor /datos//quorix.fdb\r\n"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
    EXPECT_TRUE(c.Panel3->isHidden());
    ASSERT_EQ(avisador.mensajes.size(), 1u) << "the missing destination is said, not hidden";
    EXPECT_EQ(avisador.mensajes[0].rfind("Se presento el siguiente error: No se pudo conectar con el servidor de destino "
                                         "/datos//quorix.fdb: ", 0), 0u) << avisador.mensajes[0];
    EXPECT_NE(prueba::contenido(e.aplicacion() + "/ERRORES.TXT").find(",ADMIN,No se pudo conectar"), std::string::npos);
    EXPECT_EQ(terminaciones, 0) << "the program stays open after an unattended run";
    const auto antes = prueba::contenido(e.aplicacion() + "/errorenvio.txt");
    v->activar();
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/errorenvio.txt"), antes) << "a later activation does nothing";
}

TEST_F(Desatendido, UnCodigoQueDifiereEnMayusculasNoEligeNada) {
    prueba::ejecutar(e.rutaGeneral, {"INSERT INTO COMPANIA (COMP_COD, COM_NOMBRE) VALUES ('AbC', 'Mixta')"});
    auto v = crear({e.servidorOrigen(), "admin", "", "abc"});
    v->activar();
    EXPECT_TRUE(v->controles().LCiaOri->textoMostrado().empty());
    EXPECT_FALSE(v->DbCia.conectada());
    EXPECT_EQ(avisador.mensajes, (std::vector<std::string>{"Debe indicar la compa\xF1\xED" "a de origen."}));
}

TEST_F(Desatendido, UnaConexionFallidaSeRegistraConUsuarioVacioYNoSigue) {
    auto v = crear({e.dir.str() + "/no-hay", "admin", "x", "001"});
    v->activar();
    ASSERT_EQ(avisador.mensajes.size(), 1u);
    EXPECT_EQ(avisador.mensajes[0].rfind("Se presento el siguiente error: ", 0), 0u);
    const auto log = prueba::contenido(e.aplicacion() + "/ERRORES.TXT");
    EXPECT_EQ(log.rfind("31/01/2016,17:45:00,,", 0), 0u) << log;
    EXPECT_TRUE(v->controles().SerOri1->text().isEmpty());
}

TEST_F(Desatendido, ElegirOtraCompaniaListaSusAgencias) {
    prueba::crearCompania(e.servidorOrigen(), "002");
    auto v = crear({e.servidorOrigen(), "admin", "", "001"});
    v->activar();
    auto& c = v->controles();
    emit c.LCiaOri->activated(1);  // the user picks "Empresa Dos"
    EXPECT_EQ(c.LCiaOri->textoMostrado(), "Empresa Dos");
    EXPECT_EQ(elementos(c.CboAgencia), (QStringList{"Todas"}));
    EXPECT_EQ(v->DbCia.parametros().valor("Database"), e.servidorOrigen() + "/datos/002/quorix.fdb");
    c.CboAgencia->setCurrentIndex(0);
    EXPECT_EQ(c.LCiaOri->textoMostrado(), "Empresa Dos");
}

TEST_F(Desatendido, EnviarConDestinoEscribeElReporteYVuelveAListo) {
    e.enOrigen({prueba::Escenario::documento(21, 1, "AB", "000001", "12.50")});
    e.enDestino({prueba::Escenario::documento(21, 9, "AB", "000001", "12.50")});
    e.auditar("2016-01-05", "10:00:00", 21, 1, 'I', "AB000001");
    auto v = crear();
    prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
    v->activar();
    auto& c = v->controles();
    emit c.LCiaOri->activated(0);
    c.CiaDes->setText("002");
    QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), "AB000001,05/01/2016,12.5,12.5\r\n");
    EXPECT_EQ(c.ProgressBar1->maximum(), 1);
    EXPECT_EQ(c.ProgressBar1->value(), 1);
    EXPECT_TRUE(c.Panel3->isHidden());
    EXPECT_TRUE(c.Edit1->isHidden());
    EXPECT_EQ(c.Edit1->text(), "21,I,05/01/2016");
    EXPECT_FALSE(v->DbCia.conectada());
    EXPECT_TRUE(avisador.mensajes.empty());
}

// The login's default puts one server in both boxes; with the origin's own
// company code the run is refused before anything is written.
TEST_F(Desatendido, ElOrigenContraSiMismoSeRechazaSinEscribir) {
    e.auditar("2016-01-05", "10:00:00", 21, 1, 'I', "AB000001");
    auto v = crear();
    prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorOrigen()); });
    v->activar();
    auto& c = v->controles();
    emit c.LCiaOri->activated(0);
    c.CiaDes->setText("001");
    QTest::mouseClick(c.SpeedButton1, Qt::LeftButton);
    ASSERT_EQ(avisador.mensajes.size(), 1u);
    EXPECT_EQ(avisador.mensajes[0], "Se presento el siguiente error: La base de destino " + e.servidorOrigen() +
                                        "/datos/001/quorix.fdb es la misma base de la compa\xF1\xED"
                                        "a de origen: no hay nada que comparar.");
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/errorenvio.txt"));
    EXPECT_FALSE(v->DBEnvio.conectada());
    EXPECT_TRUE(c.Panel3->isHidden());
}

}  // namespace

namespace {

class EntradasMalas : public Ventana {
protected:
    void SetUp() override {
        directorio = e.aplicacion();
        e.enOrigen({prueba::Escenario::documento(21, 1, "AB", "000001", "12.50")});
        e.auditar("2016-01-05", "10:00:00", 21, 1, 'I', "AB000001");
        v = crear();
        prueba::conDialogo([this](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
        v->activar();
        emit v->controles().LCiaOri->activated(0);
        v->controles().CiaDes->setText("002");
    }
    void enviar() { QTest::mouseClick(v->controles().SpeedButton1, Qt::LeftButton); }
    prueba::Escenario e;
    std::unique_ptr<principal::Tfprincipalautorep> v;
};

TEST_F(EntradasMalas, TiposQueNoSonNumerosEnteros) {
    for (const char* tipo : {"", "abc", "21 OR 1=1", "99999999999999999999", "2 1", "../21", "21;"}) {
        avisador.mensajes.clear();
        v->controles().NroOp->setText(tipo);
        enviar();
        ASSERT_EQ(avisador.mensajes.size(), 1u) << tipo;
        EXPECT_EQ(avisador.mensajes[0], std::string("Se presento el siguiente error: El tipo a revisar \"") + tipo +
                                            "\" no es un n\xFAmero entero.");
        EXPECT_TRUE(v->controles().Panel3->isHidden());
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(e.aplicacion()), fs::directory_iterator{}), 1)
        << "only ERRORES.TXT: nothing connected, logged to errorenvio.txt or reported";
    EXPECT_FALSE(v->DBEnvio.conectada());
}

TEST_F(EntradasMalas, UnTipoConBlancosYFechasAlReves) {
    v->controles().NroOp->setText(" 21 ");
    v->controles().FecIni->ponerValor(plataforma::FechaHora{{2016, 1, 31}, {}});
    v->controles().FecFin->ponerValor(plataforma::FechaHora{{2016, 1, 1}, {23, 59, 59, 999}});
    enviar();
    EXPECT_TRUE(avisador.mensajes.empty());
    EXPECT_TRUE(fs::exists(e.aplicacion() + "/comparacion 21 .txt"));
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion 21 .txt"), "");
    EXPECT_EQ(v->controles().ProgressBar1->maximum(), 0);
}

TEST_F(EntradasMalas, UnaFechaVacia) {
    v->controles().FecIni->ponerValor(std::nullopt);
    enviar();
    ASSERT_EQ(avisador.mensajes.size(), 1u);
    EXPECT_EQ(avisador.mensajes[0], "Se presento el siguiente error: La fecha inicial est\xE1 vac\xED" "a: indique una fecha.");
    EXPECT_FALSE(fs::exists(e.aplicacion() + "/comparacion21.txt"));
    EXPECT_TRUE(v->controles().Panel3->isHidden());
    v->controles().FecIni->ponerValor(plataforma::FechaHora{{2016, 1, 1}, {}});
    enviar();
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), "AB000001,05/01/2016,12.5,No encontrado\r\n");
}

TEST_F(EntradasMalas, UnaColumnaQueFaltaYUnaCarpetaSinArchivosNuevos) {
    e.enOrigen({"ALTER TABLE FACTURAS_COMPRA DROP FACO_TOTAL"});
    enviar();
    ASSERT_EQ(avisador.mensajes.size(), 1u);
    EXPECT_NE(avisador.mensajes[0].find("FACO_TOTAL"), std::string::npos) << avisador.mensajes[0];
    EXPECT_TRUE(v->controles().Panel3->isHidden());
    e.enOrigen({"ALTER TABLE FACTURAS_COMPRA ADD FACO_TOTAL NUMERIC(15,2)"});
    enviar();
    EXPECT_EQ(avisador.mensajes.size(), 1u) << avisador.mensajes.back();
    EXPECT_EQ(prueba::contenido(e.aplicacion() + "/comparacion21.txt"), "AB000001,05/01/2016,,No encontrado\r\n");

    directorio = "/proc/self";  // takes no new files, whoever asks
    enviar();
    ASSERT_EQ(avisador.mensajes.size(), 2u);
    EXPECT_EQ(avisador.mensajes[1].rfind("Se presento el siguiente error: No se pudo abrir el reporte /proc/self/comparacion21.txt", 0),
              0u)
        << avisador.mensajes[1];
    EXPECT_TRUE(v->controles().Panel3->isHidden());
}

}  // namespace
