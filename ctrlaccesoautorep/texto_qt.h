#pragma once
#include <QIcon>
#include <QString>
#include <QWidget>
#include <string>

namespace autorep::acceso {

// Windows-1252 bytes to screen text and back; typed characters that the code
// page lacks become '?'.
QString aPantalla(const std::string& bytes);
std::string dePantalla(const QString& texto);

// Labels take the size of their caption, as the windows were designed. A
// label without a caption is the place of a picture, set before or after this
// call, and keeps its designed size: fitted to no text it would shrink to a
// few pixels and clip the picture away.
void ajustarEtiquetas(QWidget* ventana);

// A button picture whose lower-left pixel's colour is drawn as transparent.
QIcon iconoTransparente(const QString& recurso);

}  // namespace autorep::acceso
