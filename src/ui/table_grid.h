#pragma once

#include <QTableView>

namespace ui {

class TableModel;

// A read-only data grid over a TableModel: column titles, a row indicator in the
// vertical header, column and row lines, resizable columns, no editing. The
// current row follows the cursor and moving through the grid moves the cursor.
class TableGrid : public QTableView {
    Q_OBJECT

public:
    explicit TableGrid(QWidget* parent = nullptr);

    // Shows `model`, which must outlive the grid or be replaced first.
    void setTableModel(TableModel* model);

signals:
    // A double click anywhere in the grid, on a row or not.
    void gridDoubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void showModelRow(int row);
    void applyColumnWidths();

    TableModel* m_model = nullptr;
    bool m_following = false;
};

} // namespace ui
