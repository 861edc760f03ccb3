#pragma once
#include <QWidget>
#include <functional>
#include <string>

namespace autorep::prueba {

// Works on the modal dialog once it is up; a dialog that never comes up, or
// stays, is closed after a few seconds so that a fault cannot hang the suite.
void conDialogo(std::function<void(QWidget*)> trabajo);

// Fills the login dialog and presses F2.
void ingresar(QWidget* dialogo, const std::string& servidor, const std::string& usuario,
              const std::string& servidorDestino = {});

}  // namespace autorep::prueba
