#include "principalautorep/selector_compania.h"

#include <algorithm>

#include <QHeaderView>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTableView>

#include "ctrlaccesoautorep/texto_qt.h"

namespace autorep::principal {

namespace {
struct Columna {
    const char* titulo;
    int ancho, minimo, maximo;
};
constexpr Columna columnas[2] = {{"Código", 60, 50, 60}, {"Nombre", 150, 100, 220}};
}  // namespace

SelectorCompania::SelectorCompania(QWidget* parent) : QComboBox(parent) {
    // A plain list under the box rather than a menu of every row (see
    // ListaDesplegable); set before the view, which takes its scroll bar
    // policy from the mode.
    setStyleSheet("combobox-popup: 0");
    auto* modelo = new QStandardItemModel(0, 2, this);
    for (int c = 0; c < 2; ++c) modelo->setHorizontalHeaderItem(c, new QStandardItem(QString::fromUtf8(columnas[c].titulo)));
    setModel(modelo);
    setModelColumn(1);

    auto* vista = new QTableView(this);
    vista->setSelectionBehavior(QAbstractItemView::SelectRows);
    vista->setSelectionMode(QAbstractItemView::SingleSelection);
    vista->setShowGrid(true);
    vista->verticalHeader()->hide();
    vista->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setView(vista);
    for (int c = 0; c < 2; ++c) vista->setColumnWidth(c, columnas[c].ancho);
    // Each column keeps its own minimum and maximum width while the user resizes it.
    connect(vista->horizontalHeader(), &QHeaderView::sectionResized, this, [vista](int c, int, int nuevo) {
        if (c < 0 || c > 1) return;
        const int ajustado = std::clamp(nuevo, columnas[c].minimo, columnas[c].maximo);
        if (ajustado != nuevo) vista->setColumnWidth(c, ajustado);
    });
    vista->setMinimumWidth(columnas[0].ancho + columnas[1].ancho + 4);
    setMaxVisibleItems(7);

    connect(this, &QComboBox::activated, this, [this](int fila) {
        if (fila >= 0 && static_cast<std::size_t>(fila) < filas_.size()) {
            clave_ = filas_[static_cast<std::size_t>(fila)].codigo;
            actualizar();
        }
    });
}

void SelectorCompania::ponerFilas(const std::vector<Compania>& filas) {
    filas_ = filas;
    auto* modelo = static_cast<QStandardItemModel*>(model());
    const QSignalBlocker bloqueo(this);
    modelo->setRowCount(0);
    for (const auto& f : filas_)
        modelo->appendRow({new QStandardItem(acceso::aPantalla(f.codigo)), new QStandardItem(acceso::aPantalla(f.nombre))});
    setCurrentIndex(-1);
    actualizar();
}

void SelectorCompania::ponerClave(const std::string& clave) {
    clave_ = clave;
    actualizar();
}

void SelectorCompania::actualizar() {
    int fila = -1;
    for (std::size_t i = 0; i < filas_.size(); ++i)
        if (filas_[i].codigo == clave_) {
            fila = static_cast<int>(i);
            break;
        }
    {
        const QSignalBlocker bloqueo(this);
        setCurrentIndex(fila);
    }
    const std::string nuevo = fila >= 0 ? filas_[static_cast<std::size_t>(fila)].nombre : std::string{};
    if (nuevo == mostrado_) return;
    mostrado_ = nuevo;
    emit textoCambiado();
}

void SelectorCompania::showPopup() {
    QComboBox::showPopup();
    // The box sizes its list by the rows' cells, which leave out the grid line
    // under each row; fit the list to whole rows so the last one is not cut
    // and the next does not peek in.
    auto* vista = static_cast<QTableView*>(view());
    QWidget* lista = vista->window();
    const int filas = std::min(count(), maxVisibleItems());
    if (!lista->isVisible() || filas == 0) return;
    int alto = 0;
    for (int f = 0; f < filas; ++f) alto += vista->rowHeight(f);
    const int falta = alto - vista->viewport()->height();
    if (falta == 0) return;
    QRect marco = lista->geometry();
    // A list opened above the box grows upwards, keeping its bottom on the box.
    if (marco.top() < mapToGlobal(QPoint(0, 0)).y()) marco.setTop(marco.top() - falta);
    else marco.setBottom(marco.bottom() + falta);
    lista->setGeometry(marco);
}

void SelectorCompania::keyPressEvent(QKeyEvent* e) {
    // Typing a character opens the list by itself while it has rows.
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && !filas_.empty()) {
        showPopup();
        return;
    }
    QComboBox::keyPressEvent(e);
}

}  // namespace autorep::principal
