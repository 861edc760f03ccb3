#pragma once
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ingreso.h"
#include "app/manejador_global.h"
#include "db/conexion.h"

namespace Ui {
class Tfaccesoautorep;
}

namespace autorep::acceso {

// What the login dialog needs of the main window.
struct EntornoAcceso {
    bd::Conexion& DbGeneral;
    app::ValoresIngreso& valores;
    std::function<std::string()> directorio;  // the application directory
    app::ManejadorErrores manejador;           // ENoManejada
    std::function<void()> terminar;            // ends the program
};

// The login dialog: origin and destination server, user and password; it
// connects the general database of the origin and stores the sign-in values.
class Tfaccesoautorep final : public QDialog {
    Q_OBJECT
public:
    Tfaccesoautorep(EntornoAcceso entorno, QWidget* parent = nullptr);
    ~Tfaccesoautorep() override;

    Ui::Tfaccesoautorep& controles() { return *ui; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* objeto, QEvent* e) override;

private:
    void FormCreate();
    void FormActivate();
    void SpeedButton1Click();
    void SpeedButton2Click();
    // F2 and Escape, only without Shift, Ctrl and Alt; the key is not consumed.
    void FormKeyDown(int tecla, Qt::KeyboardModifiers modificadores);
    void repintar();

    std::unique_ptr<Ui::Tfaccesoautorep> ui;
    EntornoAcceso entorno_;
    std::vector<std::string> servidores_;
};

}  // namespace autorep::acceso
