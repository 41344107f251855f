#include "sample_report.h"

SampleReport::SampleReport() {
    report.loadFromFile(fixturePath("sample.fr3"));
    report.setReportDate(QDate(2021, 5, 17));
    report.setDataSource(QStringLiteral("Header"), &header);
    report.setDataSource(QStringLiteral("Lines"), &lines);
    header.open();
    header.append();
    header.setText(QStringLiteral("TITLE"), QStringLiteral("Уведомление о включении в реестр"));
    header.setText(QStringLiteral("HEAD"), QStringLiteral("Иванов Иван Иванович"));
    header.post();
    lines.open();
}

void SampleReport::addLine(const QString& num, const QString& name, const QString& value) {
    lines.append();
    lines.setText(QStringLiteral("NUM"), num);
    lines.setText(QStringLiteral("NAME"), name);
    lines.setText(QStringLiteral("VALUE"), value);
    lines.post();
}

void SampleReport::addLines(int n) {
    for (int i = 1; i <= n; ++i) {
        addLine(QString::number(i), QStringLiteral("Строка %1").arg(i),
                QStringLiteral("Значение %1").arg(i));
    }
}

QString fixturePath(const char* name) {
    return QStringLiteral(REPORTKIT_FIXTURES "/") + QString::fromLatin1(name);
}
