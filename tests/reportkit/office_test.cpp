#include "reportkit/rtf_output.h"
#include "sample_report.h"
#include "tool_run.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace reportkit;

namespace {

// Converts with LibreOffice in its own profile, so that a running office or a
// parallel test does not get in the way. Returns the converted file's path.
QString convert(const QString& rtfPath, const QString& format, const QTemporaryDir& dir) {
    runTool(QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=") +
                 QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString(),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), format,
             QStringLiteral("--outdir"), dir.path(), rtfPath},
            240000);
    return dir.filePath(QStringLiteral("report.") + format);
}

// An ODF length attribute ("8.2681in", "21.001cm") in millimetres; -1 if absent.
double lengthMm(const QString& xml, const QString& attribute) {
    const QRegularExpressionMatch m =
        QRegularExpression(attribute + QStringLiteral("=\"([0-9.]+)(in|cm|mm)\"")).match(xml);
    if (!m.hasMatch()) {
        return -1;
    }
    const double factor = m.captured(2) == u"in" ? 25.4 : m.captured(2) == u"cm" ? 10 : 1;
    return m.captured(1).toDouble() * factor;
}

void expectInOrder(const QString& haystack, const QStringList& needles) {
    qsizetype from = 0;
    for (const QString& needle : needles) {
        const qsizetype at = haystack.indexOf(needle, from);
        ASSERT_GE(at, 0) << "missing or out of order: " << needle.toStdString();
        from = at + needle.size();
    }
}

} // namespace

// One document, two conversions: to flat ODF (the word processor's own view:
// tables, page size, text) and to PDF (what it prints).
TEST(RtfInLibreOffice, OpensWithTextTablesAndA4) {
    QTemporaryDir dir;
    SampleReport s;
    s.addLine(QStringLiteral("1"), QStringLiteral("Полное наименование {в скобках} \\ и ё"),
              QStringLiteral("ГБУЗ «Больница №1»"));
    for (int i = 2; i <= 60; ++i) {
        s.addLine(QString::number(i), QStringLiteral("Строка %1").arg(i),
                  QStringLiteral("Значение %1").arg(i));
    }
    const QString rtfPath = dir.filePath(QStringLiteral("report.rtf"));
    RtfOutput rtf(rtfPath);
    s.report.render(rtf);

    QStringList expected = {QStringLiteral("Уведомление о включении в реестр"),
                            QStringLiteral("Полное наименование {в скобках} \\ и ё"),
                            QStringLiteral("ГБУЗ «Больница №1»")};
    for (int i = 2; i <= 60; ++i) {
        expected << QStringLiteral("Строка %1").arg(i) << QStringLiteral("Значение %1").arg(i);
    }
    expected << QStringLiteral("Руководитель: Иванов Иван Иванович");

    QFile fodt(convert(rtfPath, QStringLiteral("fodt"), dir));
    ASSERT_TRUE(fodt.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(fodt.readAll());
    EXPECT_GE(xml.count(QStringLiteral("<table:table-row")), 60);
    EXPECT_NEAR(lengthMm(xml, QStringLiteral("fo:page-width")), 210, 0.5);
    EXPECT_NEAR(lengthMm(xml, QStringLiteral("fo:page-height")), 297, 0.5);
    QString body = xml.mid(xml.indexOf(QStringLiteral("<office:body>")));
    body.replace(QRegularExpression(QStringLiteral("<text:s[^>]*/>")), QStringLiteral(" "));
    body.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    body.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    body.replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    expectInOrder(body, expected);

    const QString pdf = convert(rtfPath, QStringLiteral("pdf"), dir);
    EXPECT_TRUE(pdfInfo(pdf).contains(QStringLiteral("(A4)")));
    expectInOrder(pdfText(pdf), expected);
}
