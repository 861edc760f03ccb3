#include "principalautorep/panel_titulo.h"

#include <QPainter>

namespace autorep::principal {

void PanelTitulo::ponerTitulo(const QString& titulo) {
    titulo_ = titulo;
    update();
}

void PanelTitulo::paintEvent(QPaintEvent* e) {
    QFrame::paintEvent(e);
    QPainter pintor(this);
    pintor.drawText(contentsRect(), Qt::AlignCenter, titulo_);
}

}  // namespace autorep::principal
