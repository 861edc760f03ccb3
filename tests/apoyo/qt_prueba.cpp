#include "tests/apoyo/qt_prueba.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <memory>

namespace autorep::prueba {

void conDialogo(std::function<void(QWidget*)> trabajo) {
    auto* reloj = new QTimer;
    auto inicio = std::make_shared<QElapsedTimer>();
    inicio->start();
    QObject::connect(reloj, &QTimer::timeout, [reloj, inicio, trabajo] {
        QWidget* d = QApplication::activeModalWidget();
        if (!d && inicio->elapsed() <= 5000) return;
        reloj->stop();
        reloj->deleteLater();
        if (!d) {
            ADD_FAILURE() << "the dialog did not come up";
            return;
        }
        const QPointer<QWidget> dialogo(d);
        trabajo(d);
        // Only this dialog is closed, and only if it is still open.
        QTimer::singleShot(5000, [dialogo] {
            if (dialogo && dialogo->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dialogo->close();
            }
        });
    });
    reloj->start(10);
}

void ingresar(QWidget* d, const std::string& servidor, const std::string& usuario, const std::string& servidorDestino) {
    d->findChild<QComboBox*>("Servidor")->setEditText(QString::fromStdString(servidor));
    d->findChild<QComboBox*>("ServDest")->setEditText(QString::fromStdString(servidorDestino));
    d->findChild<QLineEdit*>("Tusua")->setText(QString::fromStdString(usuario));
    QTest::keyClick(d->findChild<QLineEdit*>("Tusua"), Qt::Key_F2);
}

}  // namespace autorep::prueba
