#pragma once

#include "xbase/table.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <optional>
#include <unordered_map>
#include <vector>

namespace ui {

// A grid column: the field it shows, its title and its width in characters
// (0: as wide as the field).
struct GridColumn {
    QString field;
    QString title;
    int width = 0;
};

// The grid adapter: a table model over one table cursor.
//
// Rows are the cursor's visible records in its order; a record started with
// append() shows as an extra last row until it is posted or cancelled. The
// current row and the cursor's current record stay the same: moving the cursor
// changes the current row (currentRowChanged), setCurrentRow() moves the cursor.
// The model follows the cursor's signals, so every change shows at once.
//
// Rows are read when a view asks for them and a window of them is cached, so a
// grid over a large table opens at once. The current record shows the cursor's
// record buffer, with whatever is being typed into it.
class TableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    TableModel(xbase::Table& table, std::vector<GridColumn> columns, QObject* parent = nullptr);

    const GridColumn& column(int column) const;
    // The width of a column in characters: the given one, else the field's.
    int widthInCharacters(int column) const;

    // The row of the cursor's current record; -1 when there is none.
    int currentRow() const { return m_currentRow; }
    // Moves the cursor to the record of `row` (which posts a pending edit). Throws
    // what the cursor throws; the current row then stays where it was.
    void setCurrentRow(int row);
    // The physical number of the record listed in `row`; 0 for none (also for the
    // row of a started record).
    std::uint32_t recordOf(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    void currentRowChanged(int row);

private:
    void reload();
    void followCurrent();
    void followRecord(std::uint32_t recNo);
    int rowOfCurrent() const;
    const QStringList& rowTexts(std::uint32_t recNo) const;
    QString cell(int row, int column) const;
    QString cellFromBuffer(int column) const;

    xbase::Table& m_table;
    std::vector<GridColumn> m_columns;
    std::vector<std::optional<xbase::FieldDef>> m_fields; // per column; none when missing
    std::vector<std::uint32_t> m_records;
    QHash<std::uint32_t, int> m_rowOf;
    bool m_insertRow = false;
    int m_currentRow = -1;

    mutable std::unordered_map<std::uint32_t, QStringList> m_cache;
    mutable std::deque<std::uint32_t> m_cacheOrder;
};

} // namespace ui
