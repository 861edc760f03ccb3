#include "ctrlaccesoautorep/faccesoautorep.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "ctrlaccesoautorep/inicio_sesion.h"
#include "ctrlaccesoautorep/lista_servidores.h"
#include "ctrlaccesoautorep/texto_qt.h"
#include "platform/rutas.h"
#include "ui_faccesoautorep.h"

// The pictures live in this static library; register them before use.
static void iniciarRecursosAcceso() { Q_INIT_RESOURCE(recursos_acceso); }

namespace autorep::acceso {

Tfaccesoautorep::Tfaccesoautorep(EntornoAcceso entorno, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::Tfaccesoautorep>()), entorno_(std::move(entorno)) {
    iniciarRecursosAcceso();
    ui->setupUi(this);
    ajustarEtiquetas(this);
    ui->Image1->setPixmap(iconoTransparente(":/acceso/imagenes/servidores.png").pixmap(120, 90));
    ui->Image2->setPixmap(iconoTransparente(":/acceso/imagenes/candado.png").pixmap(100, 100));
    ui->SpeedButton1->setIcon(iconoTransparente(":/acceso/imagenes/entrar.png"));
    ui->SpeedButton2->setIcon(iconoTransparente(":/acceso/imagenes/salir.png"));
    // Passwords show every character as "*".
    ui->TClave->setStyleSheet("lineedit-password-character: 42");
    ui->Clavedest->setStyleSheet("lineedit-password-character: 42");

    connect(ui->SpeedButton1, &QToolButton::clicked, this, [this] { app::protegido([this] { SpeedButton1Click(); }); });
    connect(ui->SpeedButton2, &QToolButton::clicked, this, [this] { app::protegido([this] { SpeedButton2Click(); }); });
    // Key preview: the dialog sees every key before the focused control.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

    app::protegido([this] { FormCreate(); });
}

Tfaccesoautorep::~Tfaccesoautorep() = default;

void Tfaccesoautorep::FormCreate() {
    app::instalarManejadorErrores(entorno_.manejador);
    servidores_ = cargarListaServidores(plataforma::rutaArchivo(entorno_.directorio(), "\\SERVIDORES.cfg"));
    for (QComboBox* caja : {ui->Servidor, ui->ServDest}) {
        for (const auto& s : servidores_) caja->addItem(aPantalla(s));
        if (!servidores_.empty()) caja->setCurrentIndex(0);
    }
}

void Tfaccesoautorep::FormActivate() { ui->Tusua->setFocus(); }

bool Tfaccesoautorep::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) app::protegido([this] { FormActivate(); });
    return QDialog::event(e);
}

bool Tfaccesoautorep::eventFilter(QObject* objeto, QEvent* e) {
    if (e->type() != QEvent::KeyPress) return QDialog::eventFilter(objeto, e);
    const auto* tecla = static_cast<QKeyEvent*>(e);
    const bool sinModificadores = !(tecla->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    // The filter sees the key at the first widget that gets it; what it acts
    // on it keeps, so that the widgets behind do not act a second time.
    if (sinModificadores && (tecla->key() == Qt::Key_F2 || tecla->key() == Qt::Key_Escape)) {
        app::protegido([&] { FormKeyDown(tecla->key(), tecla->modifiers()); });
        return true;
    }
    if (tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter) {
        // Enter moves on to the next field, never signs in.
        app::protegido([this] { focusNextChild(); });
        return true;
    }
    return QDialog::eventFilter(objeto, e);
}

void Tfaccesoautorep::FormKeyDown(int tecla, Qt::KeyboardModifiers modificadores) {
    if (modificadores & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return;
    if (tecla == Qt::Key_F2) SpeedButton1Click();
    else if (tecla == Qt::Key_Escape) SpeedButton2Click();
}

void Tfaccesoautorep::repintar() {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void Tfaccesoautorep::SpeedButton1Click() {
    ui->Panel2->setText("Conectando con el servidor origen");
    ui->Panel2->setVisible(true);
    repintar();
    iniciarSesion(entorno_.DbGeneral,
                  {dePantalla(ui->Servidor->currentText()), dePantalla(ui->Tusua->text()), dePantalla(ui->TClave->text()),
                   dePantalla(ui->ServDest->currentText()), dePantalla(ui->Usrdest->text()),
                   dePantalla(ui->Clavedest->text())},
                  entorno_.valores);
    ui->Panel2->setVisible(false);
    repintar();
    accept();
}

void Tfaccesoautorep::SpeedButton2Click() {
    entorno_.terminar();
    reject();
}

}  // namespace autorep::acceso
