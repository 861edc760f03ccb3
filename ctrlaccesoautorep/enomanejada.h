#pragma once
#include <functional>
#include <string>

#include "app/avisador.h"
#include "platform/regional.h"
#include "platform/reloj.h"

namespace autorep::acceso {

// The application-wide handler of unhandled errors: one record in
// "\ERRORES.TXT" (date, time, origin user, the message exactly as carried),
// then one message box with the Spanish text. A log that cannot be written
// loses its record; the message is shown all the same.
class ENoManejada {
public:
    ENoManejada(app::Avisador& avisador, const plataforma::Regional& regional, const plataforma::Reloj& reloj,
                std::function<std::string()> directorio, std::function<std::string()> usuario);

    void operator()(const std::string& mensaje) const;

private:
    app::Avisador& avisador_;
    const plataforma::Regional& regional_;
    const plataforma::Reloj& reloj_;
    std::function<std::string()> directorio_;
    std::function<std::string()> usuario_;
};

}  // namespace autorep::acceso
