#include "reportkit/rtf_output.h"
#include "sample_report.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace reportkit;

TEST(RtfOutput, EncodesTextWithUnicodeAndCp1251Fallback) {
    EXPECT_EQ(RtfOutput::encodeText(QStringLiteral("Ая ё №{x}\\\t")),
              QByteArray("\\u1040\\'c0\\u1103\\'ff \\u1105\\'b8 \\u8470\\'b9\\{x\\}\\\\\\tab "));
    EXPECT_EQ(RtfOutput::encodeText(QStringLiteral("€✓")), QByteArray("\\u8364\\'88\\u10003?"));
}

TEST(RtfOutput, WritesA4TableRowsPageBreaksAndReplacesTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.rtf"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    SampleReport s;
    s.addLines(60);
    RtfOutput rtf(path);
    QList<int> progress;
    rtf.setProgress([&](int done, int total) { progress << done << total; });
    s.report.render(rtf);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("{\\rtf1\\ansi\\ansicpg1251"));
    EXPECT_TRUE(bytes.endsWith("}\n"));
    EXPECT_TRUE(
        bytes.contains("\\paperw11906\\paperh16838\\margl567\\margr567\\margt567\\margb567"));
    EXPECT_EQ(bytes.count("\\row\n"), 60); // one table row per data row
    EXPECT_EQ(bytes.count("\\page\n"), 1);
    EXPECT_EQ(bytes.count("\\clbrdrt\\brdrs"), 180);
    EXPECT_FALSE(bytes.contains("xxxxxxxx"));
    EXPECT_EQ(progress, QList<int>({1, 2, 2, 2}));
}
