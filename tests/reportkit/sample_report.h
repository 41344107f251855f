#pragma once

#include "reportkit/mem_table.h"
#include "reportkit/report.h"

#include <QString>
#include <memory>
#include <ostream>

// The sample template (fixtures/sample.fr3) with its two data sources: "Header"
// (one row: TITLE, HEAD) and "Lines" (NUM, NAME, VALUE per row).
struct SampleReport {
    reportkit::MemTable header{QStringLiteral("Header"),
                               {{QStringLiteral("TITLE"), reportkit::FieldType::Text, 100},
                                {QStringLiteral("HEAD"), reportkit::FieldType::Text, 100}}};
    reportkit::MemTable lines{QStringLiteral("Lines"),
                              {{QStringLiteral("NUM"), reportkit::FieldType::Text, 10},
                               {QStringLiteral("NAME"), reportkit::FieldType::Text, 0},
                               {QStringLiteral("VALUE"), reportkit::FieldType::Text, 100}}};
    reportkit::Report report;

    SampleReport();
    void addLine(const QString& num, const QString& name, const QString& value);
    // Rows "1" ... "n" named "Строка i" with the value "Значение i".
    void addLines(int n);
};

QString fixturePath(const char* name);

// Readable failure messages for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
