#pragma once
#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "app/avisador.h"
#include "app/ingreso.h"
#include "ctrlaccesoautorep/enomanejada.h"
#include "db/conexion.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "principalautorep/companias.h"
#include "reconcile/interrupcion.h"
#include "reconcile/vista_corrida.h"

namespace Ui {
class Tfprincipalautorep;
}

namespace autorep::principal {

// What the main window is given at start.
struct EntornoPrincipal {
    app::ArgumentosInicio argumentos;
    const plataforma::Reloj& reloj;
    const plataforma::Regional& regional;
    app::Avisador& avisador;
    std::function<std::string()> directorio;  // the application directory, read afresh each time
    std::function<void()> terminar;           // ends the program
    // The stop that a termination signal asks for, heard by a run at its next
    // check; "Cancelar" asks for it too. The window's own when null.
    conciliacion::Interrupcion* interrupcion = nullptr;
};

// The main window: origin server and company, destination company code,
// document type and date range, "Enviar" and "Cancelar", and the run display.
// It owns the three connections and the sign-in values.
class Tfprincipalautorep final : public QWidget, private conciliacion::VistaCorrida {
    Q_OBJECT
public:
    explicit Tfprincipalautorep(EntornoPrincipal entorno, QWidget* parent = nullptr);
    ~Tfprincipalautorep() override;

    Ui::Tfprincipalautorep& controles() { return *ui; }
    const app::ValoresIngreso& valoresIngreso() const { return valores_; }
    std::string diraplicacion() const { return entorno_.directorio(); }

    bd::Conexion DbGeneral{"DbGeneral"};
    bd::Conexion DbCia{"DbCia"};
    bd::Conexion DBEnvio{"DBEnvio"};

    // The activation of the window, as the platform delivers it.
    void activar();

    // A termination signal arrived (its Interrupcion is already set): the
    // program ends as when the window closes; a run in progress first stops
    // at its next check, with whole lines on disk and both companies
    // disconnected.
    void alPedirTerminacion();
    // Whether a run was cut short that way: the program then ends with a
    // status that says so.
    bool corridaInterrumpida() const { return corridaInterrumpida_; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* objeto, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void FormCreate();
    void FormActivate();
    void SpeedButton1Click();
    void SerOri1Change();
    void LCiaOriChange();
    void SpeedButton2Click();

    // The run display.
    void mostrarEstado(const std::string& titulo) override;
    void ocultarEstado() override;
    void iniciarProgreso(std::size_t total) override;
    void conocerTotal(std::size_t total, std::size_t hechos) override;
    void mostrarRegistro() override;
    void ocultarRegistro() override;
    void avanzar(const std::string& textoRegistro) override;
    void avisarEspera(const std::string& reporte) override;
    void seguirEsperando() override { repintar(); }
    void fase(conciliacion::Fase fase, std::size_t hechos, std::size_t total) override;
    // Redraws what changed; of the input, only a close is handled.
    void repintar();
    conciliacion::Interrupcion& interrupcion() { return entorno_.interrupcion ? *entorno_.interrupcion : propia_; }

    std::unique_ptr<Ui::Tfprincipalautorep> ui;
    EntornoPrincipal entorno_;
    acceso::ENoManejada eNoManejada_;
    ListaCompanias companias_;
    app::ValoresIngreso valores_;
    bool PrimeraActivacion = false;
    bool Ingresado = false;
    bool corriendo_ = false;
    bool corridaInterrumpida_ = false;
    // Closing was asked for during a run: the window closes once the run has stopped.
    bool cerrarAlTerminar_ = false;
    conciliacion::Interrupcion propia_;
    QElapsedTimer ultimoRepintado_;
};

}  // namespace autorep::principal
