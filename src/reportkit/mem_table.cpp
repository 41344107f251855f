#include "mem_table.h"

#include "error.h"

#include <QCollator>
#include <algorithm>
#include <numeric>
#include <optional>
#include <utility>

namespace reportkit {

MemTable::MemTable(QString name, QList<FieldDef> fields)
    : m_name(std::move(name)), m_fields(std::move(fields)) {}

void MemTable::open() {
    if (m_state == State::Inactive) {
        m_state = State::Browse;
    }
    m_current = 0;
    m_bof = true;
}

void MemTable::close() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_buffer.clear();
    m_state = State::Inactive;
    m_current = 0;
    m_bof = true;
}

void MemTable::requireOpen() const {
    if (m_state == State::Inactive) {
        throw Error(QStringLiteral("Набор данных %1 закрыт").arg(m_name));
    }
}

void MemTable::postIfEditing() {
    if (m_state == State::Edit || m_state == State::Insert) {
        post();
    }
}

void MemTable::first() {
    if (m_state == State::Inactive) {
        return;
    }
    postIfEditing();
    m_current = 0;
    m_bof = true;
}

void MemTable::next() {
    if (m_state == State::Inactive) {
        return;
    }
    postIfEditing();
    if (m_current < m_rows.size()) {
        ++m_current;
    }
    m_bof = false;
}

void MemTable::prior() {
    if (m_state == State::Inactive) {
        return;
    }
    postIfEditing();
    if (m_current == 0) {
        m_bof = true;
    } else {
        m_current = std::min(m_current, m_rows.size()) - 1;
        m_bof = false;
    }
}

void MemTable::last() {
    if (m_state == State::Inactive) {
        return;
    }
    postIfEditing();
    m_current = m_rows.empty() ? 0 : m_rows.size() - 1;
    m_bof = m_rows.empty();
}

bool MemTable::eof() const {
    return m_state == State::Inactive || m_current >= m_rows.size();
}

int MemTable::recNo() const {
    if (m_rows.empty() || m_state == State::Inactive) {
        return -1;
    }
    return static_cast<int>(std::min(m_current, m_rows.size() - 1));
}

void MemTable::append() {
    requireOpen();
    postIfEditing();
    m_buffer = Row(m_fields.size());
    m_state = State::Insert;
}

void MemTable::edit() {
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert) {
        return;
    }
    if (m_current >= m_rows.size()) {
        throw Error(
            QStringLiteral("Набор данных %1: нет текущей строки для изменения").arg(m_name));
    }
    m_buffer = m_rows[m_current];
    m_state = State::Edit;
}

void MemTable::post() {
    requireOpen();
    if (m_state == State::Insert) {
        m_rows.push_back(std::move(m_buffer));
        m_current = m_rows.size() - 1;
        m_bof = false;
    } else if (m_state == State::Edit) {
        m_rows[m_current] = std::move(m_buffer);
    }
    m_buffer.clear();
    m_state = State::Browse;
}

void MemTable::cancel() {
    if (m_state == State::Edit || m_state == State::Insert) {
        m_buffer.clear();
        m_state = State::Browse;
    }
}

void MemTable::deleteRecord() {
    requireOpen();
    cancel();
    if (m_current >= m_rows.size()) {
        throw Error(QStringLiteral("Набор данных %1: нет текущей строки для удаления").arg(m_name));
    }
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(m_current));
    if (m_current >= m_rows.size() && !m_rows.empty()) {
        m_current = m_rows.size() - 1;
    }
}

int MemTable::fieldIndex(const QString& field) const {
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].name.compare(field, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    throw Error(QStringLiteral("Набор данных %1: нет поля %2").arg(m_name, field));
}

int MemTable::typedIndex(const QString& field, FieldType type) const {
    const int index = fieldIndex(field);
    if (m_fields[index].type != type) {
        throw Error(QStringLiteral("Набор данных %1: поле %2 другого типа").arg(m_name, field));
    }
    return index;
}

const MemTable::Row& MemTable::currentValues() const {
    if (m_state == State::Edit || m_state == State::Insert) {
        return m_buffer;
    }
    static const Row none;
    return m_current < m_rows.size() ? m_rows[m_current] : none;
}

void MemTable::setValue(int index, QVariant value) {
    if (m_state != State::Edit && m_state != State::Insert) {
        throw Error(QStringLiteral("Набор данных %1 не в режиме изменения").arg(m_name));
    }
    m_buffer[index] = std::move(value);
}

void MemTable::setText(const QString& field, const QString& value) {
    const int index = typedIndex(field, FieldType::Text);
    const int width = m_fields[index].width;
    setValue(index, width > 0 && value.size() > width ? value.left(width) : value);
}

void MemTable::setDate(const QString& field, const QDate& value) {
    setValue(typedIndex(field, FieldType::Date), value.isValid() ? QVariant(value) : QVariant());
}

void MemTable::setInteger(const QString& field, qint64 value) {
    setValue(typedIndex(field, FieldType::Integer), value);
}

void MemTable::clearValue(const QString& field) {
    setValue(fieldIndex(field), QVariant());
}

QString MemTable::text(const QString& field) const {
    const int index = typedIndex(field, FieldType::Text);
    const Row& row = currentValues();
    return index < row.size() ? row[index].toString() : QString();
}

QDate MemTable::date(const QString& field) const {
    const int index = typedIndex(field, FieldType::Date);
    const Row& row = currentValues();
    return index < row.size() ? row[index].toDate() : QDate();
}

qint64 MemTable::integer(const QString& field) const {
    const int index = typedIndex(field, FieldType::Integer);
    const Row& row = currentValues();
    return index < row.size() ? row[index].toLongLong() : 0;
}

bool MemTable::isNull(const QString& field) const {
    const int index = fieldIndex(field);
    const Row& row = currentValues();
    return index >= row.size() || row[index].isNull() ||
           (m_fields[index].type == FieldType::Text && row[index].toString().isEmpty());
}

QStringList MemTable::fieldNames() const {
    QStringList names;
    for (const FieldDef& f : m_fields) {
        names << f.name;
    }
    return names;
}

QString MemTable::valueText(const QString& field) const {
    const int index = fieldIndex(field);
    const Row& row = currentValues();
    if (index >= row.size() || row[index].isNull()) {
        return {};
    }
    switch (m_fields[index].type) {
    case FieldType::Date:
        return QLocale::system().toString(row[index].toDate(), QLocale::ShortFormat);
    case FieldType::Integer:
        return QString::number(row[index].toLongLong());
    case FieldType::Text:
        break;
    }
    return row[index].toString();
}

namespace {

// One sort key per row and field, computed once so that a sort of many rows
// does not collate the same text again for every comparison.
struct SortValue {
    bool null = true;
    std::optional<QCollatorSortKey> textKey;
    qint64 number = 0;
};

int compareValues(const SortValue& a, const SortValue& b) {
    if (a.null || b.null) {
        return int(b.null) - int(a.null);
    }
    if (a.textKey) {
        return a.textKey->compare(*b.textKey);
    }
    return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
}

bool lessRow(const std::vector<SortValue>& a, const std::vector<SortValue>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (const int c = compareValues(a[i], b[i]); c != 0) {
            return c < 0;
        }
    }
    return false;
}

} // namespace

void MemTable::sort(const QStringList& fields, Qt::CaseSensitivity caseSensitivity) {
    requireOpen();
    postIfEditing();
    QList<int> indexes;
    for (const QString& f : fields) {
        indexes << fieldIndex(f);
    }
    QCollator collator(m_collationLocale);
    collator.setCaseSensitivity(caseSensitivity);

    std::vector<std::vector<SortValue>> keys(m_rows.size());
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
        for (const int index : indexes) {
            const QVariant& v = m_rows[r][index];
            SortValue key;
            key.null = v.isNull();
            if (!key.null) {
                switch (m_fields[index].type) {
                case FieldType::Text:
                    key.null = v.toString().isEmpty();
                    key.textKey = collator.sortKey(v.toString());
                    break;
                case FieldType::Date:
                    key.number = v.toDate().toJulianDay();
                    break;
                case FieldType::Integer:
                    key.number = v.toLongLong();
                    break;
                }
            }
            keys[r].push_back(key);
        }
    }
    std::vector<std::size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::size_t a, std::size_t b) { return lessRow(keys[a], keys[b]); });
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const std::size_t r : order) {
        sorted.push_back(std::move(m_rows[r]));
    }
    m_rows = std::move(sorted);
    m_current = 0;
    m_bof = true;
}

} // namespace reportkit
