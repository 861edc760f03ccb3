#include <gtest/gtest.h>

#include "platform/regional.h"
#include "platform/rutas.h"

using namespace autorep::plataforma;

namespace {

TEST(Regional, PatronesDeFechaYHora) {
    Regional r;
    r.separadorFecha = "/";
    r.separadorHora = ":";
    const FechaHora m{{2016, 10, 7}, {13, 5, 9, 0}};
    const FechaHora manana{{2016, 1, 2}, {0, 7, 3, 0}};
    struct {
        const char* patron;
        FechaHora valor;
        const char* esperado;
    } casos[] = {
        {"dd/MM/yyyy", m, "07/10/2016"},
        {"yyyy/MM/dd", m, "2016/10/07"},
        {"M/d/yy", m, "10/7/16"},
        {"d/M/yyyy", manana, "2/1/2016"},
        {"h:mm:ss tt", m, "1:05:09 PM"},
        {"hh:mm:ss t", manana, "12:07:03 A"},
        {"HH:mm:ss", manana, "00:07:03"},
        {"H:m:s", manana, "0:7:3"},
        {"dd-MM-yyyy", m, "07-10-2016"},
        {"'Dia' dd", m, "Dia 07"},
        {"yyyy.MM.dd", m, "2016.10.07"},
    };
    for (const auto& c : casos) EXPECT_EQ(formatearFechaHora(c.patron, c.valor, r), c.esperado) << c.patron;
}

TEST(Regional, LaBarraYLosDosPuntosSonLosSeparadoresRegionales) {
    Regional r;
    r.separadorFecha = "-";
    r.separadorHora = ".";
    EXPECT_EQ(formatearFechaHora("dd/MM/yyyy HH:mm", {{2016, 10, 7}, {9, 5, 0, 0}}, r), "07-10-2016 09.05");
}

TEST(Regional, SeLeenDelRegistroCuandoEstan) {
    const auto reg = RegistroArchivo::desdeTexto(
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\Control Panel\\International]\r\n\"sShortDate\"=\"yyyy/MM/dd\"\r\n"
        "\"sTimeFormat\"=\"h:mm:ss tt\"\r\n\"sDecimal\"=\",\"\r\n\"sDate\"=\"/\"\r\n\"sTime\"=\":\"\r\n",
        "r.reg");
    const Regional r = leerRegional(reg);
    EXPECT_EQ(r.fechaCorta, "yyyy/MM/dd");
    EXPECT_EQ(r.horaLarga, "h:mm:ss tt");
    EXPECT_EQ(r.separadorDecimal, ",");
    EXPECT_EQ(textoFecha({2016, 10, 5}, r), "2016/10/05");
}

TEST(Rutas, LaBarraInicialEsElSeparadorDelSistema) {
#ifdef _WIN32
    EXPECT_EQ(rutaArchivo("C:\\erp", "\\ERRORES.TXT"), "C:\\erp\\ERRORES.TXT");
    EXPECT_EQ(rutaArchivo("C:\\erp\\", "\\ERRORES.TXT"), "C:\\erp\\\\ERRORES.TXT");
    EXPECT_EQ(rutaArchivo("", "\\comparacion21.txt"), "\\comparacion21.txt");
#else
    EXPECT_EQ(rutaArchivo("/srv/erp", "\\ERRORES.TXT"), "/srv/erp/ERRORES.TXT");
    EXPECT_EQ(rutaArchivo("/srv/erp/", "\\ERRORES.TXT"), "/srv/erp//ERRORES.TXT");
    EXPECT_EQ(rutaArchivo("", "\\comparacion21.txt"), "/comparacion21.txt");
#endif
}

}  // namespace

namespace {

TEST(Fecha, SumarMinutosCruzaDiasMesesYAnios) {
    using autorep::plataforma::FechaHora;
    struct {
        FechaHora desde;
        long minutos;
        FechaHora hasta;
    } casos[] = {
        {{{2016, 10, 31}, {12, 0, 30, 250}}, -60, {{2016, 10, 31}, {11, 0, 30, 250}}},
        {{{2017, 1, 1}, {0, 10, 0, 0}}, -30, {{2016, 12, 31}, {23, 40, 0, 0}}},
        {{{2024, 2, 28}, {23, 0, 0, 0}}, 120, {{2024, 2, 29}, {1, 0, 0, 0}}},
        {{{2023, 3, 1}, {0, 0, 0, 0}}, -1, {{2023, 2, 28}, {23, 59, 0, 0}}},
        {{{1969, 12, 31}, {23, 59, 0, 0}}, 2, {{1970, 1, 1}, {0, 1, 0, 0}}},
    };
    for (const auto& c : casos) EXPECT_EQ(autorep::plataforma::sumarMinutos(c.desde, c.minutos), c.hasta) << c.minutos;
    EXPECT_EQ(autorep::plataforma::diasDesde1970({1970, 1, 1}), 0);
    EXPECT_EQ(autorep::plataforma::diasDesde1970({1969, 12, 31}), -1);
}

}  // namespace
