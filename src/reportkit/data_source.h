#pragma once

#include <QString>
#include <QStringList>

namespace reportkit {

// What a report reads from a data set: its field names, a forward walk over its
// rows and the current row's values as text. MemTable implements it; other data
// sets can be adapted.
class DataSource {
public:
    virtual ~DataSource() = default;

    virtual QStringList fieldNames() const = 0;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    // The value of a field (name matched without regard to case) of the current
    // row as printed; Error for a field the source does not have.
    virtual QString valueText(const QString& field) const = 0;
};

} // namespace reportkit
