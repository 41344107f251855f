#include "table_grid.h"

#include "error_guard.h"
#include "table_model.h"

#include <QHeaderView>

namespace ui {

TableGrid::TableGrid(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(12);
    verticalHeader()->setHighlightSections(false);
}

void TableGrid::setTableModel(TableModel* model) {
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    setModel(model);
    if (!model)
        return;
    connect(model, &TableModel::currentRowChanged, this, &TableGrid::showModelRow);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        showModelRow(m_model->currentRow());
    });
    applyColumnWidths();
    showModelRow(model->currentRow());
}

// As wide as the given number of characters, and never narrower than the title.
void TableGrid::applyColumnWidths() {
    const QFontMetrics cell = fontMetrics();
    const QFontMetrics title = horizontalHeader()->fontMetrics();
    for (int c = 0; c < m_model->columnCount(); ++c) {
        const int chars = m_model->widthInCharacters(c);
        const int width = std::max(chars * cell.horizontalAdvance(QLatin1Char('0')),
                                   title.horizontalAdvance(m_model->column(c).title) + 8);
        setColumnWidth(c, width + 4);
    }
}

void TableGrid::showModelRow(int row) {
    if (m_following)
        return;
    m_following = true;
    const int column = std::max(currentIndex().column(), 0);
    if (row < 0)
        selectionModel()->clearCurrentIndex();
    else
        selectionModel()->setCurrentIndex(m_model->index(row, column),
                                          QItemSelectionModel::ClearAndSelect);
    m_following = false;
}

void TableGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_following || !m_model || !current.isValid() || current.row() == m_model->currentRow())
        return;
    m_following = true;
    guard([&] { m_model->setCurrentRow(current.row()); });
    m_following = false;
    // The cursor may have refused to move (a record in use): show where it is.
    if (m_model->currentRow() != current.row())
        showModelRow(m_model->currentRow());
}

void TableGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit gridDoubleClicked();
}

} // namespace ui
