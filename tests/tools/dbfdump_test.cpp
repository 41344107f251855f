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
    const DumpResult r = dbfdump({QStringLiteral("--index"), QStringLiteral("t.mdx"), table});
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
    const DumpResult all = dbfdump(base + QStringList{table});
    EXPECT_EQ(all.code, 0) << all.err.toStdString();
    EXPECT_EQ(all.out, QStringLiteral("DELETED,NAME,ID\n,анна,2\n,Борис,3\n,Вика,1\n,гоша,5\n"));

    const DumpResult range =
        dbfdump(base + QStringList{QStringLiteral("--low"), QStringLiteral("Б"),
                                   QStringLiteral("--high"), QStringLiteral("В\\xFF"), table});
    EXPECT_EQ(range.out, QStringLiteral("DELETED,NAME,ID\n,Борис,3\n,Вика,1\n"));

    const DumpResult ids =
        dbfdump({QStringLiteral("--no-header"), QStringLiteral("--index"), QStringLiteral("T.MDX"),
                 QStringLiteral("--tag"), QStringLiteral("ID"), QStringLiteral("--low"),
                 QStringLiteral("2"), QStringLiteral("--high"), QStringLiteral("3"), table});
    EXPECT_EQ(ids.out, QStringLiteral("DELETED,NAME,ID\n,анна,2\n,Борис,3\n"));
}

TEST_F(DbfdumpIndex, ReportsAMissingIndexOrTag) {
    const DumpResult missing =
        dbfdump({QStringLiteral("--index"), QStringLiteral("NO.MDX"), table});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("NO.MDX"))) << missing.err.toStdString();
    const DumpResult noTag = dbfdump({QStringLiteral("--index"), QStringLiteral("T.MDX"),
                                      QStringLiteral("--tag"), QStringLiteral("X"), table});
    EXPECT_EQ(noTag.code, 1);
    EXPECT_TRUE(noTag.err.contains(QStringLiteral("нет тега X"))) << noTag.err.toStdString();
    EXPECT_EQ(dbfdump({QStringLiteral("--tag"), QStringLiteral("ID"), table}).code, 2);
}

} // namespace
