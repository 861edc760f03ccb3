#pragma once
#include <QComboBox>

namespace autorep::principal {

// A choose-from-the-list box whose list drops down by itself when the user
// types a character.
class ListaDesplegable final : public QComboBox {
    Q_OBJECT
public:
    explicit ListaDesplegable(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace autorep::principal
