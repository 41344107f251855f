#pragma once

#include "data_source.h"
#include "prepared.h"
#include "report_template.h"

#include <QDate>
#include <QHash>
#include <QString>

namespace reportkit {

struct PrintOptions {
    bool showDialog = true; // the print dialog comes before printing
    int copies = 1;
    QString printerName; // empty: the system's default printer
};

// A template bound to data sources by name, prepared into pages on demand.
// Data sources are not owned; they stay registered until replaced or removed.
class Report {
public:
    // False, and the report left as it was, when no file exists at path; Error
    // when the file is damaged.
    bool loadFromFile(const QString& path);
    void saveToFile(const QString& path);
    const QString& fileName() const { return m_fileName; }
    void setFileName(const QString& path) { m_fileName = path; }

    Template& model() { return m_model; }
    const Template& model() const { return m_model; }
    void setModel(Template model) { m_model = std::move(model); }

    // Names are matched without regard to case; nullptr removes a source.
    void setDataSource(const QString& name, DataSource* source);
    DataSource* dataSource(const QString& name) const;
    QStringList dataSourceNames() const;

    // What [Date] prints; today unless set.
    void setReportDate(const QDate& date) { m_date = date; }
    QDate reportDate() const { return m_date.isValid() ? m_date : QDate::currentDate(); }

    PrintOptions& printOptions() { return m_printOptions; }
    const PrintOptions& printOptions() const { return m_printOptions; }

    // Lays the report out afresh and hands the pages to the sink one by one;
    // nothing of a page is kept after the sink has it. Error for an expression
    // that names an unknown data source or field.
    void render(PageSink& sink) const;
    PreparedReport prepare() const;

private:
    QString m_fileName;
    Template m_model = Template::blank();
    QHash<QString, DataSource*> m_sources; // key: lower-case name
    QHash<QString, QString> m_sourceNames; // lower-case name -> name as registered
    QDate m_date;
    PrintOptions m_printOptions;
};

} // namespace reportkit
