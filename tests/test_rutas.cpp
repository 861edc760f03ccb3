// Two database paths that Windows would open as one file.
#include <gtest/gtest.h>

#include "platform/rutas.h"

using autorep::plataforma::mismaRuta;

namespace {

struct CasoRuta {
    const char* a;
    const char* b;
    bool misma;
};

TEST(MismaRuta, ComoLaLeeWindows) {
    const CasoRuta casos[] = {
        {"srv:C:\\datos\\001\\quorix.fdb", "srv:C:\\datos\\001\\quorix.fdb", true},
        {"SRV:C:\\Datos\\001\\QUORIX.FDB", "srv:c:\\datos\\001\\quorix.fdb", true},
        {"srv:C:/datos/001/quorix.fdb", "srv:C:\\datos\\001\\quorix.fdb", true},
        {"srv:C:/datos/001/quorix.fdb", "srv:C:/datos/002/quorix.fdb", false},
        {"srv:C:/datos/001/quorix.fdb", "otro:C:/datos/001/quorix.fdb", false},
        {"srv:C:/datos/01/quorix.fdb", "srv:C:/datos/001/quorix.fdb", false},
        // Only ASCII letters fold: an accented letter stays itself.
        {"srv:C:/d\xC1tos/001/quorix.fdb", "srv:C:/d\xE1tos/001/quorix.fdb", false},
        {"", "", true},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(mismaRuta(c.a, c.b), c.misma) << c.a << " | " << c.b;
        EXPECT_EQ(mismaRuta(c.b, c.a), c.misma) << c.b << " | " << c.a;
    }
}

}  // namespace
