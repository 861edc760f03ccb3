#pragma once
#include <QDateEdit>
#include <optional>

#include "platform/fecha.h"
#include "platform/regional.h"

namespace autorep::principal {

// A date editor with a drop-down calendar. It holds a date and time, or no
// value (shown empty); it shows only the date, in the field order of the
// regional short date format.
class EditorFecha final : public QDateEdit {
    Q_OBJECT
public:
    explicit EditorFecha(QWidget* parent = nullptr);

    void aplicarRegional(const plataforma::Regional& regional);
    void ponerValor(const std::optional<plataforma::FechaHora>& valor);
    std::optional<plataforma::FechaHora> valor() const;

private:
    plataforma::Hora hora_{};
};

}  // namespace autorep::principal
