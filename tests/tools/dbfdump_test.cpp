#include "xbase/test_support.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace xbase;
using namespace xbase::test;

namespace {

struct DumpResult {
    int code;
    QString out;
    QString err;
};

DumpResult dbfdump(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(DBFDUMP_PATH), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(Dbfdump, PrintsFieldsAndRecordsAsCsvWithTheDeletionMark) {
    TempDir dir;
    auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"),
                           {FieldDef::character("NAME", 12), FieldDef::numeric("ID", 4)});
    for (const QString& name :
         {QStringLiteral("Ёлкино"), QStringLiteral("a, \"b\""), QStringLiteral("gone")}) {
        t->append();
        t->setText(u"NAME", name);
        t->setInteger(u"ID", name.size());
        t->post();
    }
    t->deleteRecord();
    t->close();

    const DumpResult all = dbfdump({t->filePath()});
    EXPECT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains(QStringLiteral("# records: 3 (header says 3)")));
    EXPECT_TRUE(all.out.contains(QStringLiteral("#   NAME C 12\n#   ID N 4\n")));
    EXPECT_TRUE(all.out.endsWith(QStringLiteral("DELETED,NAME,ID\n"
                                                ",Ёлкино,6\n"
                                                ",\"a, \"\"b\"\"\",6\n"
                                                "*,gone,4\n")))
        << all.out.toStdString();

    const DumpResult some = dbfdump({QStringLiteral("--no-header"), QStringLiteral("--records"),
                                     QStringLiteral("2-3"), t->filePath()});
    EXPECT_EQ(some.out, QStringLiteral("DELETED,NAME,ID\n,\"a, \"\"b\"\"\",6\n*,gone,4\n"));
}

TEST(Dbfdump, ReportsADamagedFile) {
    TempDir dir;
    writeFile(dir.file(QStringLiteral("X.DBF")), QByteArray(40, 'x'));
    const DumpResult r = dbfdump({dir.file(QStringLiteral("X.DBF"))});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("не является таблицей dBase")))
        << r.err.toStdString();
}

} // namespace
