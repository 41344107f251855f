#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace demo {

// A comma-separated file with a header row: values quoted where they hold a
// comma, a quote (doubled) or a line break.
struct CsvTable {
    QStringList header;
    std::vector<QStringList> rows;
};

// Throws std::runtime_error naming `source` and the line of an unclosed quote
// or a row whose number of values differs from the header's.
CsvTable parseCsv(const QString& text, const QString& source);

} // namespace demo
