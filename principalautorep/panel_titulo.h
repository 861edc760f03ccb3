#pragma once
#include <QFrame>
#include <QString>

namespace autorep::principal {

// A raised panel whose caption is drawn centred, behind its children. It is
// opaque: it lies over the inputs while a run works.
class PanelTitulo final : public QFrame {
    Q_OBJECT
public:
    explicit PanelTitulo(QWidget* parent = nullptr) : QFrame(parent) { setAutoFillBackground(true); }
    void ponerTitulo(const QString& titulo);
    const QString& titulo() const { return titulo_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString titulo_;
};

}  // namespace autorep::principal
