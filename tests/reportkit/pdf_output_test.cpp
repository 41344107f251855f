#include "reportkit/error.h"
#include "reportkit/paint_output.h"
#include "sample_report.h"
#include "tool_run.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace reportkit;

namespace {

// Each needle found after the one before it.
void expectInOrder(const QString& haystack, const QStringList& needles) {
    qsizetype from = 0;
    for (const QString& needle : needles) {
        const qsizetype at = haystack.indexOf(needle, from);
        ASSERT_GE(at, 0) << "missing or out of order: " << needle.toStdString() << "\nin:\n"
                         << haystack.toStdString();
        from = at + needle.size();
    }
}

} // namespace

TEST(PdfOutput, TextComesBackInOrderWithCyrillic) {
    QTemporaryDir dir;
    SampleReport s;
    s.addLines(60);
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    PdfOutput pdf(path, QStringLiteral("Уведомление"));
    s.report.render(pdf);

    const QString info = pdfInfo(path);
    EXPECT_TRUE(info.contains(QStringLiteral("(A4)"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages: +2\n"))))
        << info.toStdString();
    const QString text = pdfText(path);
    QStringList expected = {QStringLiteral("Страница 1 из 2"),
                            QStringLiteral("Уведомление о включении в реестр")};
    for (int i = 1; i <= 60; ++i) {
        expected << QStringLiteral("Строка %1").arg(i) << QStringLiteral("Значение %1").arg(i);
    }
    expected << QStringLiteral("Руководитель: Иванов Иван Иванович");
    expectInOrder(text, expected);
    expectInOrder(text, {QStringLiteral("Страница 1 из 2"), QStringLiteral("Строка 1\n"),
                         QStringLiteral("Страница 2 из 2"), QStringLiteral("Строка 60")});
}

TEST(PdfOutput, UnwritablePathIsAnErrorAndLeavesNoFile) {
    QTemporaryDir dir;
    SampleReport s;
    const QString path = dir.filePath(QStringLiteral("missing/report.pdf"));
    PdfOutput pdf(path);
    EXPECT_THROW(s.report.render(pdf), Error);
    EXPECT_FALSE(QFile::exists(path));
}
