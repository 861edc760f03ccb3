#include "ctrlaccesoautorep/avisador_qt.h"

#include <QApplication>
#include <QMessageBox>

#include "ctrlaccesoautorep/texto_qt.h"

namespace autorep::acceso {

void AvisadorQt::mensaje(const std::string& texto) {
    QMessageBox::warning(QApplication::activeWindow(), QApplication::applicationName(), aPantalla(texto));
}

void AvisadorQt::informacion(const std::string& texto) {
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), aPantalla(texto));
}

}  // namespace autorep::acceso
