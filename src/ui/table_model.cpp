#include "table_model.h"

#include "xbase/field_codec.h"

#include <QPainter>
#include <QPixmap>

namespace ui {
namespace {

// Rows kept decoded: a few screens of a grid.
constexpr std::size_t kCachedRows = 512;

bool isEditing(const xbase::Table& t) {
    return t.state() == xbase::Table::State::Edit || t.state() == xbase::Table::State::Insert;
}

// The row indicator: a small black triangle pointing at the current row.
QPixmap indicator() {
    static const QPixmap pixmap = [] {
        QPixmap p(8, 10);
        p.fill(Qt::transparent);
        QPainter painter(&p);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        const QPointF tip[3] = {{1, 1}, {7, 5}, {1, 9}};
        painter.drawPolygon(tip, 3);
        return p;
    }();
    return pixmap;
}

int fieldDisplayWidth(const xbase::FieldDef& f) {
    return f.type == xbase::FieldType::Date ? 10 : f.length;
}

} // namespace

TableModel::TableModel(xbase::Table& table, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(std::move(columns)) {
    connect(&m_table, &xbase::Table::layoutReset, this, [this] {
        beginResetModel();
        try {
            reload();
        } catch (...) {
            // The table could not be listed: the grid shows no rows, the
            // operation that changed the table reports the error.
            m_records.clear();
            m_rowOf.clear();
            endResetModel();
            throw;
        }
        endResetModel();
        followCurrent();
    });
    connect(&m_table, &xbase::Table::currentChanged, this, &TableModel::followCurrent);
    connect(&m_table, &xbase::Table::recordChanged, this, &TableModel::followRecord);
    reload();
}

const GridColumn& TableModel::column(int column) const {
    return m_columns.at(static_cast<std::size_t>(column));
}

int TableModel::widthInCharacters(int column) const {
    const GridColumn& c = this->column(column);
    if (c.width > 0)
        return c.width;
    const auto& f = m_fields.at(static_cast<std::size_t>(column));
    return f ? fieldDisplayWidth(*f) : static_cast<int>(c.title.size());
}

void TableModel::reload() {
    m_cache.clear();
    m_cacheOrder.clear();
    m_records.clear();
    m_rowOf.clear();
    m_fields.assign(m_columns.size(), std::nullopt);
    m_insertRow = false;
    m_currentRow = -1;
    if (!m_table.isOpen())
        return;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const int index = m_table.fieldIndex(m_columns[i].field);
        if (index >= 0)
            m_fields[i] = m_table.fields()[static_cast<std::size_t>(index)];
    }
    m_records = m_table.visibleRecords();
    m_rowOf.reserve(static_cast<qsizetype>(m_records.size()));
    for (std::size_t row = 0; row < m_records.size(); ++row)
        m_rowOf.insert(m_records[row], static_cast<int>(row));
    m_insertRow = m_table.state() == xbase::Table::State::Insert;
    m_currentRow = rowOfCurrent();
}

int TableModel::rowOfCurrent() const {
    if (!m_table.isOpen())
        return -1;
    if (m_table.state() == xbase::Table::State::Insert)
        return m_insertRow ? static_cast<int>(m_records.size()) : -1;
    return m_rowOf.value(m_table.recNo(), -1);
}

void TableModel::followCurrent() {
    const bool insertRow = m_table.isOpen() && m_table.state() == xbase::Table::State::Insert;
    if (insertRow != m_insertRow) {
        // A started record appears or disappears as the last row.
        const int row = static_cast<int>(m_records.size());
        if (insertRow)
            beginInsertRows({}, row, row);
        else
            beginRemoveRows({}, row, row);
        m_insertRow = insertRow;
        if (insertRow)
            endInsertRows();
        else
            endRemoveRows();
    }
    const int previous = m_currentRow;
    m_currentRow = rowOfCurrent();
    if (previous >= 0 && previous < rowCount()) {
        emit dataChanged(index(previous, 0), index(previous, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, previous, previous);
    }
    if (m_currentRow >= 0)
        emit headerDataChanged(Qt::Vertical, m_currentRow, m_currentRow);
    if (previous != m_currentRow)
        emit currentRowChanged(m_currentRow);
}

void TableModel::followRecord(std::uint32_t recNo) {
    if (m_cache.erase(recNo) > 0)
        m_cacheOrder.erase(std::find(m_cacheOrder.begin(), m_cacheOrder.end(), recNo));
    const int row = recNo == 0 ? rowOfCurrent() : m_rowOf.value(recNo, -1);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TableModel::setCurrentRow(int row) {
    if (row == m_currentRow || row < 0 || row >= static_cast<int>(m_records.size()))
        return;
    m_table.go(m_records[static_cast<std::size_t>(row)]);
}

std::uint32_t TableModel::recordOf(int row) const {
    return row >= 0 && row < static_cast<int>(m_records.size())
               ? m_records[static_cast<std::size_t>(row)]
               : 0;
}

int TableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_records.size()) + (m_insertRow ? 1 : 0);
}

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QString TableModel::cellFromBuffer(int column) const {
    const auto& f = m_fields[static_cast<std::size_t>(column)];
    return f ? m_table.text(f->name) : QString();
}

const QStringList& TableModel::rowTexts(std::uint32_t recNo) const {
    if (const auto it = m_cache.find(recNo); it != m_cache.end())
        return it->second;
    if (m_cache.size() >= kCachedRows) {
        m_cache.erase(m_cacheOrder.front());
        m_cacheOrder.pop_front();
    }
    const QByteArray image = m_table.storedRecord(recNo);
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(m_fields.size()));
    for (const auto& f : m_fields) {
        if (f && !image.isEmpty())
            texts.append(xbase::decodeText(*f, xbase::fieldBytes(image, *f), m_table.translate()));
        else
            texts.append(QString());
    }
    m_cacheOrder.push_back(recNo);
    return m_cache.emplace(recNo, std::move(texts)).first->second;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || !m_table.isOpen())
        return {};
    // Views ask while painting, where no error may escape: a row that cannot be
    // read shows blank.
    try {
        return cell(index.row(), index.column());
    } catch (const std::exception&) {
        return {};
    }
}

QString TableModel::cell(int row, int column) const {
    if (row == m_currentRow && (isEditing(m_table) || row >= static_cast<int>(m_records.size())))
        return cellFromBuffer(column);
    if (row >= static_cast<int>(m_records.size()))
        return {};
    return rowTexts(m_records[static_cast<std::size_t>(row)]).value(column);
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section >= 0 && section < columnCount())
            return column(section).title;
        return {};
    }
    if (role == Qt::DecorationRole && section == m_currentRow)
        return indicator();
    if (role == Qt::DisplayRole)
        return QString();
    return {};
}

} // namespace ui
