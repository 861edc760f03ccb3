#include "app/diraplicacion.h"
#include "app/ingreso.h"
#include "ctrlaccesoautorep/aplicacion.h"
#include "ctrlaccesoautorep/avisador_qt.h"
#include "ctrlaccesoautorep/texto_qt.h"
#include "platform/cp1252.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "platform/senales.h"
#include "platform/sistema.h"
#include "principalautorep/principalautorep.h"
#include "reconcile/interrupcion.h"

using namespace autorep;

int main(int argc, char** argv) {
    // Before any thread starts, so that the Firebird engine never takes SIGTERM
    // or Ctrl-C: the window decides what they do.
    plataforma::atenderSenalesDeTerminacion([](int) { conciliacion::Interrupcion::delPrograma().pedir(); });
    acceso::Aplicacion aplicacion(argc, argv);
    acceso::AvisadorQt avisador;
    plataforma::RelojSistema reloj;

    // The regional settings are read once, at start.
    plataforma::Regional regional;
    try {
        regional = plataforma::leerRegional(*plataforma::registroDelSistema());
    } catch (const std::exception& e) {
        regional = plataforma::regionalDeLocale();
        avisador.mensaje(e.what());
    }

    for (int i = 1; i < argc && i <= 4; ++i)
        if (!plataforma::representable(argv[i])) {
            avisador.mensaje(plataforma::ansi("El argumento ") + std::to_string(i) +
                             plataforma::ansi(" tiene letras que el programa no puede representar (Windows-1252)."));
            return 2;
        }
    principal::Tfprincipalautorep fprincipalautorep({app::argumentosInicio(argc, argv), reloj, regional, avisador,
                                                     [&avisador] { return app::diraplicacion(avisador); },
                                                     // Leaves every event loop, a message box's too.
                                                     [] { QCoreApplication::exit(0); }, &conciliacion::Interrupcion::delPrograma()});
    aplicacion.alRecibirSenal([&fprincipalautorep] { fprincipalautorep.alPedirTerminacion(); });
    fprincipalautorep.show();
    const int estado = aplicacion.exec();
    // A run cut short ends the program with the status autorep-lote gives it.
    return fprincipalautorep.corridaInterrumpida() ? 130 : estado;
}
