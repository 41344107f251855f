#include "csv_reader.h"

#include <stdexcept>

namespace demo {

CsvTable parseCsv(const QString& text, const QString& source) {
    std::vector<QStringList> records;
    QStringList record;
    QString value;
    bool quoted = false;
    bool any = false;
    int line = 1;
    int quoteLine = 0;
    const auto endRecord = [&] {
        if (any || !value.isEmpty() || !record.isEmpty()) {
            record << value;
            records.push_back(record);
        }
        record.clear();
        value.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text[i + 1] == u'"') {
                    value += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n')
                    ++line;
                value += c;
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            quoteLine = line;
            any = true;
        } else if (c == u',') {
            record << value;
            value.clear();
            any = true;
        } else if (c == u'\n') {
            endRecord();
            ++line;
        } else if (c != u'\r') {
            value += c;
        }
    }
    if (quoted)
        throw std::runtime_error(
            QStringLiteral("%1:%2: кавычка не закрыта").arg(source).arg(quoteLine).toStdString());
    endRecord();
    if (records.empty())
        throw std::runtime_error(
            QStringLiteral("%1: нет строки заголовка").arg(source).toStdString());

    CsvTable table;
    table.header = records.front();
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (records[r].size() != table.header.size())
            throw std::runtime_error(QStringLiteral("%1: в строке данных %2 значений %3, а в "
                                                    "заголовке %4")
                                         .arg(source)
                                         .arg(r)
                                         .arg(records[r].size())
                                         .arg(table.header.size())
                                         .toStdString());
        table.rows.push_back(records[r]);
    }
    return table;
}

} // namespace demo
