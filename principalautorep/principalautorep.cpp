#include "principalautorep/principalautorep.h"

#include <QApplication>
#include <QCloseEvent>
#include <QResizeEvent>
#include <QTimer>

#include "app/inicio.h"
#include "app/manejador_global.h"
#include "ctrlaccesoautorep/faccesoautorep.h"
#include "ctrlaccesoautorep/texto_qt.h"
#include "reconcile/corrida.h"
#include "ui_principalautorep.h"

static void iniciarRecursosPrincipal() { Q_INIT_RESOURCE(recursos_principal); }

namespace autorep::principal {

using acceso::aPantalla;
using acceso::dePantalla;

Tfprincipalautorep::Tfprincipalautorep(EntornoPrincipal entorno, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::Tfprincipalautorep>()),
      entorno_(std::move(entorno)),
      eNoManejada_(entorno_.avisador, entorno_.regional, entorno_.reloj, entorno_.directorio,
                   [this] { return valores_.UsuarioOrigen; }) {
    iniciarRecursosPrincipal();
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose);
    ui->SpeedButton1->setIcon(acceso::iconoTransparente(":/principal/imagenes/enviar.png"));
    ui->SpeedButton2->setIcon(acceso::iconoTransparente(":/principal/imagenes/cancelar.png"));
    acceso::ajustarEtiquetas(this);
    ui->Label5->move(531 - ui->Label5->width(), 1);
    ui->FecIni->aplicarRegional(entorno_.regional);
    ui->FecFin->aplicarRegional(entorno_.regional);
    ui->Panel3->raise();

    configurarConexionCompania(DbCia);
    configurarConexionCompania(DBEnvio);
    DbGeneral.ponerParametro("SQLDialect", "3");

    connect(ui->SerOri1, &QLineEdit::textChanged, this, [this] { app::protegido([this] { SerOri1Change(); }); });
    connect(ui->LCiaOri, &SelectorCompania::textoCambiado, this, [this] { app::protegido([this] { LCiaOriChange(); }); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this, [this] { app::protegido([this] { SpeedButton1Click(); }); });
    connect(ui->SpeedButton2, &QToolButton::clicked, this, [this] { app::protegido([this] { SpeedButton2Click(); }); });

    FormCreate();
    ui->LCiaOri->setFocus();
}

Tfprincipalautorep::~Tfprincipalautorep() { app::instalarManejadorErrores({}); }

void Tfprincipalautorep::FormCreate() {
    app::instalarManejadorErrores([this](const std::string& mensaje) { eNoManejada_(mensaje); });
    PrimeraActivacion = true;
    const auto rango = app::rangoDelMesActual(entorno_.reloj);
    ui->FecIni->ponerValor(rango.inicio);
    ui->FecFin->ponerValor(rango.fin);
}

void Tfprincipalautorep::activar() {
    app::protegido([this] { FormActivate(); });
}

bool Tfprincipalautorep::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) activar();
    return QWidget::event(e);
}

void Tfprincipalautorep::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // Where the platform sends no activation (no window manager), the first
    // show stands in for it; the start-up work still runs once.
    if (PrimeraActivacion)
        QTimer::singleShot(0, this, [this] { activar(); });
}

void Tfprincipalautorep::FormActivate() {
    if (!PrimeraActivacion) return;
    PrimeraActivacion = false;
    const auto& argumentos = entorno_.argumentos;
    const bool lineaDeComandos = !argumentos[3].empty();
    if (lineaDeComandos) {
        valores_ = app::ingresarPorArgumentos(DbGeneral, argumentos);
        Ingresado = true;
    } else {
        acceso::Tfaccesoautorep dialogo(
            {DbGeneral, valores_, entorno_.directorio, [this](const std::string& m) { eNoManejada_(m); },
             entorno_.terminar},
            this);
        if (dialogo.exec() == QDialog::Accepted) {
            Ingresado = true;
        } else {
            entorno_.terminar();
            return;
        }
    }
    if (Ingresado) {
        Ingresado = false;
        ui->SerOri1->setText(aPantalla(valores_.ServidorOrigen));
        if (lineaDeComandos) {
            ui->LCiaOri->ponerClave(argumentos[3]);
            SpeedButton1Click();
        }
    }
}

void Tfprincipalautorep::SerOri1Change() {
    companias_.abrir(DbGeneral);
    ui->LCiaOri->ponerFilas(companias_.filas());
}

void Tfprincipalautorep::LCiaOriChange() {
    if (ui->LCiaOri->textoMostrado().empty()) return;
    const auto agencias = conectarCompania(DbCia, valores_, ui->LCiaOri->clave());
    ui->CboAgencia->clear();
    ui->CboAgencia->addItem("Todas");
    for (const auto& a : agencias) ui->CboAgencia->addItem(aPantalla(a));
    ui->CboAgencia->setCurrentIndex(0);
}

void Tfprincipalautorep::SpeedButton1Click() {
    // A run never starts while another one works.
    if (corriendo_) return;
    corriendo_ = true;
    // While the run works the window hears only "Cancelar" and the close box.
    qApp->installEventFilter(this);
    // However the run ends, a stop asked for while it worked ends the program:
    // the run may have returned or failed before its next check heard it.
    struct Fin {
        Tfprincipalautorep& ventana;
        ~Fin() {
            qApp->removeEventFilter(&ventana);
            ventana.corriendo_ = false;
            if (ventana.cerrarAlTerminar_) ventana.close();
            if (ventana.interrupcion().pedida()) ventana.entorno_.terminar();
        }
    } fin{*this};

    const conciliacion::EntradasCorrida entradas{ui->LCiaOri->textoMostrado(),
                                                 dePantalla(ui->CiaDes->text()),
                                                 dePantalla(ui->NroOp->text()),
                                                 ui->FecIni->valor(),
                                                 ui->FecFin->valor(),
                                                 valores_.ServidorDestino,
                                                 valores_.UsuarioDestino,
                                                 valores_.ClaveDestino};
    conciliacion::EntornoCorrida entorno{entorno_.regional, entorno_.reloj, entorno_.directorio, entorno_.avisador,
                                         *this, &interrupcion()};
    try {
        conciliacion::ejecutarCorrida(DbCia, DBEnvio, entradas, entorno);
    } catch (const conciliacion::CorridaInterrumpida&) {
        // Not an error to show: the program was asked to end.
        corridaInterrumpida_ = true;
    }
}

void Tfprincipalautorep::alPedirTerminacion() {
    // A run hears the stop itself and ends the program when it has cleaned up.
    if (corriendo_) return;
    entorno_.terminar();
}

void Tfprincipalautorep::SpeedButton2Click() { close(); }

void Tfprincipalautorep::closeEvent(QCloseEvent* e) {
    if (!corriendo_) {
        QWidget::closeEvent(e);
        return;
    }
    // The run stops at its next row or statement, as on a termination signal,
    // and the window closes once it has cleaned up.
    e->ignore();
    cerrarAlTerminar_ = true;
    interrupcion().pedir();
}

bool Tfprincipalautorep::eventFilter(QObject* objeto, QEvent* e) {
    const bool entrada = e->isInputEvent() || e->type() == QEvent::Shortcut || e->type() == QEvent::ShortcutOverride;
    if (!corriendo_ || !entrada) return false;
    const bool raton = e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease ||
                       e->type() == QEvent::MouseMove;
    if (raton && objeto == ui->SpeedButton2) return false;
    // The platform's window hands its input on to the widgets, judged here in
    // turn; what any other widget would get is dropped, not kept for later.
    return objeto->isWidgetType();
}

void Tfprincipalautorep::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const int ancho = e->size().width();
    const int alto = e->size().height();
    ui->Panel2->setGeometry(0, alto - 60, ancho, 60);
    ui->Panel1->setGeometry(0, 0, ancho, alto - 60);
}

void Tfprincipalautorep::repintar() {
    // Input is let through to the event filter, which keeps only a close.
    QApplication::processEvents();
    repaint();
    ultimoRepintado_.restart();
}

void Tfprincipalautorep::mostrarEstado(const std::string& titulo) {
    ui->Panel3->ponerTitulo(aPantalla(titulo));
    ui->Panel3->setVisible(true);
    ui->Panel3->raise();
    repintar();
}

void Tfprincipalautorep::ocultarEstado() {
    ui->Panel3->setVisible(false);
    repintar();
}

void Tfprincipalautorep::iniciarProgreso(std::size_t total) {
    ui->ProgressBar1->setMaximum(static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
    ui->ProgressBar1->setMinimum(0);
    ui->ProgressBar1->setValue(0);
}

void Tfprincipalautorep::conocerTotal(std::size_t total, std::size_t hechos) {
    ui->ProgressBar1->setRange(0, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
    ui->ProgressBar1->setValue(static_cast<int>(std::min<std::size_t>(hechos, INT_MAX)));
}

void Tfprincipalautorep::mostrarRegistro() { ui->Edit1->setVisible(true); }

void Tfprincipalautorep::ocultarRegistro() { ui->Edit1->setVisible(false); }

void Tfprincipalautorep::avisarEspera(const std::string& reporte) {
    // The panel holds a short caption; the record box, the file, its name in sight.
    ui->Panel3->ponerTitulo(QString::fromUtf8("Otra corrida usa el reporte: esperando ... "));
    ui->Edit1->setText(aPantalla(reporte));
    ui->Edit1->end(false);
    repintar();
}

void Tfprincipalautorep::fase(conciliacion::Fase fase, std::size_t hechos, std::size_t total) {
    using conciliacion::Fase;
    if (fase == Fase::Escribiendo) return;  // the bar of the lines follows
    // While the audit rows arrive their count is unknown: the bar says the
    // run is busy; the destination's lookups then move it.
    const int maximo = static_cast<int>(std::min<std::size_t>(total, INT_MAX));
    if (ui->ProgressBar1->maximum() != maximo) ui->ProgressBar1->setRange(0, maximo);
    if (maximo > 0) ui->ProgressBar1->setValue(static_cast<int>(std::min<std::size_t>(hechos, INT_MAX)));
    if (!ultimoRepintado_.isValid() || ultimoRepintado_.elapsed() >= 20) repintar();
}

void Tfprincipalautorep::avanzar(const std::string& textoRegistro) {
    ui->Edit1->setText(aPantalla(textoRegistro));
    // The screen is redrawn at most every 20 ms; faster than that nobody sees it.
    if (!ultimoRepintado_.isValid() || ultimoRepintado_.elapsed() >= 20) repintar();
    ui->ProgressBar1->setValue(ui->ProgressBar1->value() + 1);
}

}  // namespace autorep::principal
