#include "ctrlaccesoautorep/texto_qt.h"

#include <QBitmap>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "platform/cp1252.h"

namespace autorep::acceso {

QString aPantalla(const std::string& bytes) { return QString::fromStdString(plataforma::cp1252AUtf8(bytes)); }

std::string dePantalla(const QString& texto) { return plataforma::utf8ACp1252(texto.toStdString()); }

void ajustarEtiquetas(QWidget* ventana) {
    for (QLabel* etiqueta : ventana->findChildren<QLabel*>())
        if (!etiqueta->text().isEmpty() && etiqueta->frameShape() == QFrame::NoFrame) etiqueta->adjustSize();
}

QIcon iconoTransparente(const QString& recurso) {
    QPixmap mapa(recurso);
    if (mapa.isNull()) return {};
    const QImage imagen = mapa.toImage();
    const QRgb fondo = imagen.pixel(0, imagen.height() - 1);
    mapa.setMask(QBitmap::fromImage(imagen.createMaskFromColor(fondo, Qt::MaskInColor)));
    return QIcon(mapa);
}

}  // namespace autorep::acceso
