#include "app/diraplicacion.h"
#include "app/ingreso.h"
#include "ctrlaccesoautorep/aplicacion.h"
#include "ctrlaccesoautorep/avisador_qt.h"
#include "ctrlaccesoautorep/texto_qt.h"
#include "platform/regional.h"
#include "platform/reloj.h"
#include "principalautorep/principalautorep.h"

using namespace autorep;

int main(int argc, char** argv) {
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

    principal::Tfprincipalautorep fprincipalautorep({app::argumentosInicio(argc, argv), reloj, regional, avisador,
                                                     [&avisador] { return app::diraplicacion(avisador); },
                                                     [] { QCoreApplication::quit(); }});
    fprincipalautorep.show();
    return aplicacion.exec();
}
