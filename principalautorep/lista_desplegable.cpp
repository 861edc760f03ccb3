#include "principalautorep/lista_desplegable.h"

#include <QKeyEvent>

namespace autorep::principal {

void ListaDesplegable::keyPressEvent(QKeyEvent* e) {
    QComboBox::keyPressEvent(e);
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && count() > 0) showPopup();
}

}  // namespace autorep::principal
