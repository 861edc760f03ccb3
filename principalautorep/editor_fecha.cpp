#include "principalautorep/editor_fecha.h"

#include "principalautorep/patron_fecha.h"

namespace autorep::principal {

namespace {
// The editor's lowest date stands for "no value" and is shown empty.
const QDate sinValor(1752, 9, 14);
}  // namespace

EditorFecha::EditorFecha(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    setMinimumDate(sinValor);
    setSpecialValueText(" ");
}

void EditorFecha::aplicarRegional(const plataforma::Regional& regional) {
    setDisplayFormat(QString::fromStdString(patronEditorFecha(regional.fechaCorta, regional.separadorFecha)));
}

void EditorFecha::ponerValor(const std::optional<plataforma::FechaHora>& v) {
    if (!v) {
        setDate(sinValor);
        return;
    }
    hora_ = v->hora;
    setDate(QDate(v->fecha.anio, static_cast<int>(v->fecha.mes), static_cast<int>(v->fecha.dia)));
}

std::optional<plataforma::FechaHora> EditorFecha::valor() const {
    const QDate d = date();
    if (!d.isValid() || d == sinValor) return std::nullopt;
    return plataforma::FechaHora{{d.year(), static_cast<unsigned>(d.month()), static_cast<unsigned>(d.day())}, hora_};
}

}  // namespace autorep::principal
