// The batch command writes the same report bytes as the window program.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "principalautorep/editor_fecha.h"
#include "principalautorep/principalautorep.h"
#include "principalautorep/selector_compania.h"
#include "tests/apoyo/entorno_prueba.h"
#include "tests/apoyo/escenario.h"
#include "tests/apoyo/lote_prueba.h"
#include "tests/apoyo/qt_prueba.h"
#include "ui_principalautorep.h"

using namespace autorep;
using prueba::Escenario;

namespace {

TEST(LoteYVentana, MismosBytesParaLasMismasEntradas) {
    Escenario e;
    const std::string reg = e.dir.str() + "/registro.reg";
    std::ofstream(reg, std::ios::binary)
        << prueba::textoRegistro(e.aplicacion()) +
               "\r\n[HKEY_CURRENT_USER\\Control Panel\\International]\r\n\"sShortDate\"=\"dd-MM-yyyy\"\r\n"
               "\"sDecimal\"=\",\"\r\n";
    e.enOrigen({Escenario::documento(21, 1, "A'B", "000001", "12.50"), Escenario::documento(21, 2, "\xD1U", "000002", "-0.05"),
                Escenario::documento(21, 3, "C,D", "000003", "100.00"), Escenario::documento(21, 4, "", "4", "7")});
    e.enDestino({Escenario::documento(21, 9, "A'B", "000001", "12.40"), Escenario::documento(21, 8, "\xD1U", "000002", "-0.05"),
                 Escenario::documento(21, 7, "", "4", "7"), Escenario::documento(21, 6, "", "4", "8")});
    e.auditar("2016-10-05", "10:00:00", 21, 1, 'I', "A'B000001");
    e.auditar("2016-10-06", "10:00:00", 21, 2, 'I', "\xD1U000002");
    e.auditar("2016-10-07", "10:00:00", 21, 3, 'U', "C,D000003");
    e.auditar("2016-10-08", "10:00:00", 21, 4, 'I', "4");
    e.auditar("2016-10-09", "10:00:00", 21, 5, 'I', "X000005");

    // The window program, as a user works it.
    prueba::VariableEntorno registro("AUTOREP_REGISTRO", reg);
    const plataforma::Regional regional = plataforma::leerRegional(*plataforma::registroDelSistema());
    const plataforma::RelojFijo reloj{{{2016, 10, 20}, {12, 0, 0, 0}}};
    prueba::AvisadorGrabador avisador;
    {
        principal::Tfprincipalautorep v({{}, reloj, regional, avisador, [&] { return e.aplicacion(); }, [] {}});
        prueba::conDialogo([&](QWidget* d) { prueba::ingresar(d, e.servidorOrigen(), "admin", e.servidorDestino()); });
        v.activar();
        emit v.controles().LCiaOri->activated(0);
        v.controles().CiaDes->setText("002");
        QTest::mouseClick(v.controles().SpeedButton1, Qt::LeftButton);
        ASSERT_TRUE(avisador.mensajes.empty()) << avisador.mensajes.front();
    }
    const std::string ventana = prueba::contenido(e.aplicacion() + "/comparacion21.txt");
    ASSERT_EQ(ventana,
              "A'B000001,05-10-2016,12,5,12,4\r\n\xD1U000002,06-10-2016,-0,05,-0,05\r\n"
              "C,D000003,07-10-2016,100,No encontrado\r\n4,08-10-2016,7,7\r\n");

    // The batch command, into another application directory.
    const std::string otra = e.dir.str() + "/app2";
    std::filesystem::create_directory(otra);
    const auto r = prueba::correrLote({"--origen", e.servidorOrigen(), "--usuario", "admin", "--compania", "001", "--destino",
                                       e.servidorDestino(), "--compania-destino", "002", "--desde", "2016-10-01", "--hasta",
                                       "2016-10-31", "--directorio", otra},
                                      {{"AUTOREP_REGISTRO", reg}});
    EXPECT_EQ(r.estado, 1) << r.error;
    EXPECT_EQ(prueba::contenido(otra + "/comparacion21.txt"), ventana);
}

}  // namespace
