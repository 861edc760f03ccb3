#include "platform/reloj.h"

#include <chrono>
#include <ctime>

namespace autorep::plataforma {

FechaHora RelojSistema::ahora() const {
    using namespace std::chrono;
    const auto t = system_clock::now();
    const std::time_t segundos = system_clock::to_time_t(t);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &segundos);
#else
    localtime_r(&segundos, &local);
#endif
    const auto ms = duration_cast<milliseconds>(t.time_since_epoch()).count() % 1000;
    return {{local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday)},
            {static_cast<unsigned>(local.tm_hour), static_cast<unsigned>(local.tm_min),
             static_cast<unsigned>(local.tm_sec), static_cast<unsigned>(ms)}};
}

}  // namespace autorep::plataforma
