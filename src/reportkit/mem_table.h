#pragma once

#include "data_source.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QVariant>
#include <vector>

namespace reportkit {

enum class FieldType { Text, Date, Integer };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int width = 0; // text fields: longest value kept, in characters; 0 = no limit
};

// An in-memory data set: typed fields, rows kept in the order of appending until
// sorted, a current row, and edit/append/post/cancel as on a table cursor.
// Closing discards every row. Every misuse (editing a closed set, an unknown
// field, a value of the wrong type) is an Error.
class MemTable : public DataSource {
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit MemTable(QString name, QList<FieldDef> fields);

    const QString& name() const { return m_name; }
    const QList<FieldDef>& fields() const { return m_fields; }
    State state() const { return m_state; }
    bool isOpen() const { return m_state != State::Inactive; }

    void open();
    // Discards every row and a pending edit.
    void close();

    // Moving the cursor while editing posts first, as on a table cursor.
    void first() override;
    void next() override;
    void prior();
    void last();
    bool eof() const override;
    bool bof() const { return m_bof; }
    int recordCount() const { return static_cast<int>(m_rows.size()); }
    // 0-based position of the current row; -1 while the set is empty.
    int recNo() const;

    // Starts a new row that is added after the last one on post().
    void append();
    void edit();
    void post();
    void cancel();
    // Removes the current row; the row after it becomes current (the new last
    // row when the last one was removed).
    void deleteRecord();

    void setText(const QString& field, const QString& value);
    void setDate(const QString& field, const QDate& value);
    void setInteger(const QString& field, qint64 value);
    void clearValue(const QString& field);
    QString text(const QString& field) const;
    QDate date(const QString& field) const;
    qint64 integer(const QString& field) const;
    bool isNull(const QString& field) const;

    // Stable sort, ascending on the fields in the order given. Texts compare in
    // the collation of collationLocale(), without regard to letter case unless
    // caseSensitivity says otherwise; empty values come first. Posts a pending
    // edit first; the first row becomes current.
    void sort(const QStringList& fields, Qt::CaseSensitivity caseSensitivity = Qt::CaseInsensitive);
    void setCollationLocale(const QLocale& locale) { m_collationLocale = locale; }
    const QLocale& collationLocale() const { return m_collationLocale; }

    QStringList fieldNames() const override;
    // Text as stored, an integer as its decimal digits, a date in the locale's
    // short format; an empty value as an empty text.
    QString valueText(const QString& field) const override;

private:
    using Row = QList<QVariant>;

    int fieldIndex(const QString& field) const;
    int typedIndex(const QString& field, FieldType type) const;
    void requireOpen() const;
    void postIfEditing();
    const Row& currentValues() const;
    void setValue(int index, QVariant value);

    QString m_name;
    QList<FieldDef> m_fields;
    QLocale m_collationLocale = QLocale::system();
    std::vector<Row> m_rows;
    Row m_buffer;
    State m_state = State::Inactive;
    std::size_t m_current = 0;
    bool m_bof = true;
};

} // namespace reportkit
