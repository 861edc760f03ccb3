#include "principalautorep/selector_compania.h"

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

void SelectorCompania::keyPressEvent(QKeyEvent* e) {
    // Typing a character opens the list by itself while it has rows.
    if (!e->text().isEmpty() && e->text().at(0).isPrint() && !filas_.empty()) {
        showPopup();
        return;
    }
    QComboBox::keyPressEvent(e);
}

}  // namespace autorep::principal
