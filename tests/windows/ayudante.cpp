// What the tests need measured in a fresh process of its own:
//   ayudante cliente-fb  loads the Firebird client as the program does (a DLL
//                        already loaded is found again by its bare name) and
//                        prints the file the master interface came from, or
//                        the error, exiting 2;
//   ayudante regional    prints the regional settings from the user's locale,
//                        one per line (Windows reads them once per process).
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "db/cliente_fb.h"
#include "db/error_bd.h"
#include "platform/regional.h"
#include "platform/win32/ancho.h"

using namespace autorep;

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "cliente-fb") == 0) {
        try {
            const void* maestro = bd::fb::cargarClienteFirebird();
            HMODULE modulo = nullptr;
            wchar_t ruta[MAX_PATH] = L"";
            GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(maestro), &modulo);
            GetModuleFileNameW(modulo, ruta, MAX_PATH);
            std::fputs(plataforma::deAncho(ruta).c_str(), stdout);
            return 0;
        } catch (const bd::ErrorBaseDatos& e) {
            std::fputs(e.what(), stdout);
            return 2;
        }
    }
    if (argc == 2 && std::strcmp(argv[1], "regional") == 0) {
        const plataforma::Regional r = plataforma::regionalDeLocale();
        for (const std::string* v : {&r.fechaCorta, &r.horaLarga, &r.separadorFecha, &r.separadorHora,
                                     &r.separadorDecimal, &r.designadorAm, &r.designadorPm})
            std::printf("%s\n", v->c_str());
        return 0;
    }
    std::fputs("uso: ayudante cliente-fb | regional\n", stderr);
    return 2;
}
