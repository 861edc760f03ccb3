#include "app/ingreso.h"

#include "platform/sistema.h"

namespace autorep::app {

ArgumentosInicio argumentosInicio(int argc, const char* const* argv) {
    ArgumentosInicio a;
    for (int i = 1; i < argc && i <= 4; ++i) a[static_cast<std::size_t>(i - 1)] = plataforma::deSistema(argv[i]);
    return a;
}

}  // namespace autorep::app
