#include "principalautorep/lista_desplegable.h"

#include <QKeyEvent>

namespace autorep::principal {

ListaDesplegable::ListaDesplegable(QWidget* parent) : QComboBox(parent) {
    // Styles that drop the whole list down as a menu ignore the number of
    // rows to show; as a plain list under the box they keep it.
    setStyleSheet("combobox-popup: 0");
    setMaxVisibleItems(4);
}

void ListaDesplegable::keyPressEvent(QKeyEvent* e) {
    QComboBox::keyPressEvent(e);
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && count() > 0) showPopup();
}

}  // namespace autorep::principal
