#include <QApplication>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Tests never need a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication aplicacion(argc, argv);
    aplicacion.setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
