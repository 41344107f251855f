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

DumpResult run(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(DBFDUMP_PATH), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class DbfdumpIndex : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = createAndOpen(dir.path(), QStringLiteral("T.DBF"),
                               {FieldDef::character("NAME", 12), FieldDef::numeric("ID", 4)});
        for (const char* name : {"Вика", "анна", "Борис", "Вера", "гоша"}) {
            t->append();
            t->setText(u"NAME", QString::fromUtf8(name));
            t->setInteger(u"ID", t->physicalRecordCount() + 1);
            t->post();
        }
        t->createIndex(QStringLiteral("T.MDX"),
                       {{QStringLiteral("ID"), QStringLiteral("ID")},
                        {QStringLiteral("NAME"), QStringLiteral("Upper(NAME)")}});
        t->go(4);
        t->deleteRecord();
        table = t->filePath();
    }

    TempDir dir;
    QString table;
};

TEST_F(DbfdumpIndex, ListsTheTagsWithTheirKeys) {
    const DumpResult r = run({QStringLiteral("--index"), QStringLiteral("t.mdx"), table});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("#   tag ID: numeric 12, key ID\n"
                                              "#   tag NAME: character 12, key Upper(NAME)\n")))
        << r.out.toStdString();
    // Without --tag the records come in file order, deleted ones flagged.
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("*,Вера,4\n,гоша,5\n"))) << r.out.toStdString();
}

TEST_F(DbfdumpIndex, PrintsTheVisibleRecordsInTagOrderWithinARange) {
    const QStringList base = {QStringLiteral("--no-header"), QStringLiteral("--index"),
                              QStringLiteral("T.MDX"), QStringLiteral("--tag"),
                              QStringLiteral("name")};
    const DumpResult all = run(base + QStringList{table});
    EXPECT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, QStringLiteral("DELETED,NAME,ID\n,анна,2\n,Борис,3\n,Вика,1\n,гоша,5\n"));

    const DumpResult range =
        run(base + QStringList{QStringLiteral("--low"), QStringLiteral("Б"),
                               QStringLiteral("--high"), QStringLiteral("В\\xFF"), table});
    EXPECT_EQ(range.out, QStringLiteral("DELETED,NAME,ID\n,Борис,3\n,Вика,1\n"));

    const DumpResult ids =
        run({QStringLiteral("--no-header"), QStringLiteral("--index"), QStringLiteral("T.MDX"),
             QStringLiteral("--tag"), QStringLiteral("ID"), QStringLiteral("--low"),
             QStringLiteral("2"), QStringLiteral("--high"), QStringLiteral("3"), table});
    EXPECT_EQ(ids.out, QStringLiteral("DELETED,NAME,ID\n,анна,2\n,Борис,3\n"));
}

TEST_F(DbfdumpIndex, ReportsAMissingIndexOrTag) {
    const DumpResult missing = run({QStringLiteral("--index"), QStringLiteral("NO.MDX"), table});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("NO.MDX"))) << missing.err.toStdString();
    const DumpResult noTag = run({QStringLiteral("--index"), QStringLiteral("T.MDX"),
                                  QStringLiteral("--tag"), QStringLiteral("X"), table});
    EXPECT_EQ(noTag.code, 1);
    EXPECT_TRUE(noTag.err.contains(QStringLiteral("нет тега X"))) << noTag.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("--tag"), QStringLiteral("ID"), table}).code, 2);
}

} // namespace
