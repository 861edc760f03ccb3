#pragma once
#include "app/avisador.h"

namespace autorep::acceso {

// Message boxes titled with the application's title, over the active window.
class AvisadorQt final : public app::Avisador {
public:
    void mensaje(const std::string& texto) override;
    void informacion(const std::string& texto) override;
};

}  // namespace autorep::acceso
