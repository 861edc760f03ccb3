#pragma once
#include <QComboBox>
#include <string>
#include <vector>

#include "principalautorep/companias.h"

namespace autorep::principal {

// The company picker: rows of code and name in a titled two-column drop-down;
// its value is a key (the company code) and its shown text the name of the
// row whose code equals the key exactly. textoCambiado is emitted, at once,
// only when the shown text changes.
class SelectorCompania final : public QComboBox {
    Q_OBJECT
public:
    explicit SelectorCompania(QWidget* parent = nullptr);

    void ponerFilas(const std::vector<Compania>& filas);
    void ponerClave(const std::string& clave);
    const std::string& clave() const { return clave_; }
    // The shown text as Windows-1252 bytes.
    const std::string& textoMostrado() const { return mostrado_; }
    void showPopup() override;

signals:
    void textoCambiado();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void actualizar();
    std::vector<Compania> filas_;
    std::string clave_;
    std::string mostrado_;
};

}  // namespace autorep::principal
